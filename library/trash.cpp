#include "library/trash.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>
#include <cstdio>

#include "library/file_move.h"

namespace {

QString fromBytes(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string toBytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

bool MoveToTrash(const std::string& path, TrashedFile& trashed, std::string& cause) {
  if (!PathTaken(path)) {
    cause = "No such file or directory";
    return false;
  }
  // Qt makes the user's trash only inside an existing data folder; without
  // one it would put the file into files/ of the current folder.
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (!data.isEmpty()) QDir().mkpath(data);
  QFile file(fromBytes(path));
  if (!file.moveToTrash()) {
    cause = file.errorString().toStdString();
    return false;
  }
  trashed.original = path;
  trashed.inTrash = toBytes(file.fileName());
  // The record lies in the info folder beside the files folder.
  const std::string trash = FolderOf(FolderOf(trashed.inTrash));
  trashed.info = trash + "/info/" + NameOf(trashed.inTrash) + ".trashinfo";
  if (trashed.inTrash.empty() || trashed.inTrash[0] != '/') {
    std::string ignored;
    MoveFile(trashed.inTrash, path, ignored);
    std::remove(trashed.info.c_str());
    cause = "There is no trash folder for this file";
    return false;
  }
  return true;
}

bool RestoreFromTrash(const TrashedFile& trashed, std::string& cause) {
  if (!MoveFile(trashed.inTrash, trashed.original, cause)) return false;
  std::remove(trashed.info.c_str());
  return true;
}
