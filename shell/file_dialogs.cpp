#include "shell/file_dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <set>

namespace {

FileDialogHandler currentHandler;
FolderDialogHandler currentFolderHandler;

QString runDialog(QWidget* parent, FileDialogKind kind, const QString& startDir,
                  const QString& suggested = QString()) {
  if (currentHandler) return currentHandler(kind, startDir);
  QFileDialog dialog(parent);
  if (!startDir.isEmpty() && QFileInfo(startDir).isDir()) dialog.setDirectory(startDir);
  dialog.setNameFilter(imageFileFilter());
  dialog.selectNameFilter(rimFileFilter());
  if (kind == FileDialogKind::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("rim"));
    if (!suggested.isEmpty()) dialog.selectFile(suggested);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

}  // namespace

QString rimFileFilter() { return QStringLiteral("Retrieval-aware Image Format (*.rim)"); }

QString allImagesFilter() {
  // Every suffix the readers know (tif and tiff alike), and RIM files.
  std::set<QString> suffixes = {QStringLiteral("rim")};
  for (const QByteArray& format : QImageReader::supportedImageFormats())
    suffixes.insert(QString::fromLatin1(format).toLower());
  QStringList patterns;
  for (const QString& suffix : suffixes) patterns << QStringLiteral("*.") + suffix;
  return QCoreApplication::translate("FileDialogs", "All images") + QStringLiteral(" (") +
         patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

QString imageFileFilter() {
  return allImagesFilter() + QStringLiteral(";;") +
         QStringLiteral(
             "Windows Bitmap (*.bmp);;"
             "Jpeg Image (*.jpg *.jpeg);;"
             "Tiff Image (*.tif *.tiff);;") +
         rimFileFilter() +
         QStringLiteral(
             ";;Png Image (*.png);;"
             "All Files (*)");
}

QString askOpenImagePath(QWidget* parent, const QString& startDir) {
  return runDialog(parent, FileDialogKind::Open, startDir);
}

QString askSaveImagePath(QWidget* parent, const QString& startDir, const QString& suggested) {
  return runDialog(parent, FileDialogKind::Save, startDir, suggested);
}

FileDialogHandler setFileDialogHandler(FileDialogHandler handler) {
  FileDialogHandler previous = std::move(currentHandler);
  currentHandler = std::move(handler);
  return previous;
}

QString askFolderPath(QWidget* parent, const QString& title, const QString& startDir) {
  if (currentFolderHandler) return currentFolderHandler(title, startDir);
  const QString start = QFileInfo(startDir).isDir() ? startDir : QDir::homePath();
  return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

FolderDialogHandler setFolderDialogHandler(FolderDialogHandler handler) {
  FolderDialogHandler previous = std::move(currentFolderHandler);
  currentFolderHandler = std::move(handler);
  return previous;
}
