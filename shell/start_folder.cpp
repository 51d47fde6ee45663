#include "shell/start_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString ChooseStartFolder(const QString& last, const QString& pictures, const QString& home) {
  for (const QString& folder : {last, pictures}) {
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return QFileInfo(folder).absoluteFilePath();
  }
  return home;
}

QString StartFolder(const QString& last) {
  return ChooseStartFolder(last, QStandardPaths::writableLocation(QStandardPaths::PicturesLocation),
                           QDir::homePath());
}
