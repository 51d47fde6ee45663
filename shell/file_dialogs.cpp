#include "shell/file_dialogs.h"

#include <QDir>
#include <QFileDialog>

namespace {

FileDialogHandler currentHandler;
FolderDialogHandler currentFolderHandler;

QString runDialog(QWidget* parent, FileDialogKind kind) {
  if (currentHandler) return currentHandler(kind);
  QFileDialog dialog(parent);
  dialog.setNameFilter(imageFileFilter());
  dialog.selectNameFilter(rimFileFilter());
  if (kind == FileDialogKind::Save) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("rim"));
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

QString imageFileFilter() {
  return QStringLiteral(
             "Windows Bitmap (*.bmp);;"
             "Jpeg Image (*.jpg *.jpeg);;"
             "Tiff Image (*.tiff);;") +
         rimFileFilter() +
         QStringLiteral(
             ";;Png Image (*.png);;"
             "All Files (*)");
}

QString askOpenImagePath(QWidget* parent) { return runDialog(parent, FileDialogKind::Open); }

QString askSaveImagePath(QWidget* parent) { return runDialog(parent, FileDialogKind::Save); }

FileDialogHandler setFileDialogHandler(FileDialogHandler handler) {
  FileDialogHandler previous = std::move(currentHandler);
  currentHandler = std::move(handler);
  return previous;
}

QString askFolderPath(QWidget* parent, const QString& title) {
  if (currentFolderHandler) return currentFolderHandler(title);
  return QFileDialog::getExistingDirectory(parent, title, QDir::homePath(),
                                           QFileDialog::ShowDirsOnly);
}

FolderDialogHandler setFolderDialogHandler(FolderDialogHandler handler) {
  FolderDialogHandler previous = std::move(currentFolderHandler);
  currentFolderHandler = std::move(handler);
  return previous;
}
