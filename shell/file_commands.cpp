#include "shell/file_commands.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "shell/file_dialogs.h"
#include "shell/folim_doc.h"
#include "shell/index_setting.h"
#include "shell/messages.h"
#include "shell/native_path.h"

namespace {

UrlOpener currentOpener;

bool openUrl(const QUrl& url) {
  return currentOpener ? currentOpener(url) : QDesktopServices::openUrl(url);
}

std::vector<std::string> nativePaths(const QStringList& files) {
  std::vector<std::string> paths;
  for (const QString& file : files) paths.push_back(toNativePath(file));
  return paths;
}

QString nameOf(const std::string& path) { return QFileInfo(fromNativePath(path)).fileName(); }

}  // namespace

UrlOpener setUrlOpener(UrlOpener opener) {
  UrlOpener previous = std::move(currentOpener);
  currentOpener = std::move(opener);
  return previous;
}

CFileCommands::CFileCommands(CFolimDoc& doc, QObject* parent) : QObject(parent), doc_(doc) {}

CFileCommands::~CFileCommands() = default;

FileOperations& CFileCommands::operations() {
  if (operations_) return *operations_;
  // Without an index the files are handled all the same; the next search
  // brings the index up to date.
  const IndexChoice choice = windowIndexChoice();
  auto index = std::make_unique<SignatureIndex>();
  std::string notice, error;
  if (!choice.path.empty() && index->Open(choice.path, choice.owner, notice, error))
    index_ = std::move(index);
  operations_ = std::make_unique<FileOperations>(
      index_.get(), signatureParametersKey(currentSignatureParameters()));
  return *operations_;
}

void CFileCommands::OpenWithDefault(const QStringList& files) {
  for (const QString& file : files) {
    if (!openUrl(QUrl::fromLocalFile(file)))
      showMessage(tr("No program opens %1.").arg(QDir::toNativeSeparators(file)));
  }
}

void CFileCommands::ShowInFileManager(const QString& file) {
  const QString folder = QFileInfo(file).absolutePath();
  if (!openUrl(QUrl::fromLocalFile(folder)))
    showMessage(tr("No file manager opens %1.").arg(folder));
}

void CFileCommands::CopyPath(const QStringList& files) {
  if (QClipboard* clipboard = QGuiApplication::clipboard())
    clipboard->setText(files.join(QLatin1Char('\n')));
}

void CFileCommands::CopyTo(const QStringList& files, QWidget* parent) {
  if (files.isEmpty()) return;
  const QString folder = askFolderPath(parent, tr("Copy to Folder"), doc_.currentDir());
  if (!folder.isEmpty()) CopyInto(files, folder);
}

void CFileCommands::MoveTo(const QStringList& files, QWidget* parent) {
  if (files.isEmpty()) return;
  const QString folder = askFolderPath(parent, tr("Move to Folder"), doc_.currentDir());
  if (!folder.isEmpty()) MoveInto(files, folder);
}

void CFileCommands::Rename(const QString& file) {
  if (file.isEmpty()) return;
  const QString name =
      askText(tr("New name of %1:").arg(QFileInfo(file).fileName()), QFileInfo(file).fileName());
  if (!name.isEmpty()) RenameTo(file, name);
}

ConflictChoice CFileCommands::askConflict(const std::string& existing) {
  const int choice = askChoice(
      tr("%1 already holds a file named %2.")
          .arg(fromNativePath(existing).section(QLatin1Char('/'), 0, -2), nameOf(existing)),
      {tr("Replace"), tr("Keep Both"), tr("Skip")});
  switch (choice) {
    case 0:
      return ConflictChoice::Replace;
    case 1:
      return ConflictChoice::KeepBoth;
    default:
      return ConflictChoice::Skip;
  }
}

void CFileCommands::CopyInto(const QStringList& files, const QString& folder) {
  finish(operations().Copy(
      nativePaths(files), toNativePath(folder),
      [this](const std::string&, const std::string& existing) { return askConflict(existing); }));
}

void CFileCommands::MoveInto(const QStringList& files, const QString& folder) {
  finish(operations().Move(
      nativePaths(files), toNativePath(folder),
      [this](const std::string&, const std::string& existing) { return askConflict(existing); }));
}

void CFileCommands::RenameTo(const QString& file, const QString& newName) {
  finish(operations().Rename(
      toNativePath(file), toNativePath(newName),
      [this](const std::string&, const std::string& existing) { return askConflict(existing); }));
}

void CFileCommands::MoveToTrash(const QStringList& files) { TrashFiles(files); }

FileOperationReport CFileCommands::TrashFiles(const QStringList& files) {
  if (files.isEmpty()) return FileOperationReport();
  FileOperationReport report = operations().Trash(nativePaths(files));
  finish(report);
  return report;
}

bool CFileCommands::CanUndo() const { return operations_ && operations_->CanUndo(); }

void CFileCommands::Undo() {
  if (CanUndo()) finish(operations_->Undo());
}

void CFileCommands::IndexChanged() {
  operations_.reset();
  index_.reset();
  emit undoAvailable(false);
}

void CFileCommands::finish(const FileOperationReport& report) {
  if (!report.failures.empty()) {
    QStringList lines;
    for (const FileFailure& failure : report.failures)
      lines << tr("%1: %2").arg(fromNativePath(failure.path),
                                QString::fromStdString(failure.cause));
    showMessage(tr("These files could not be handled:") + QLatin1Char('\n') +
                lines.join(QLatin1Char('\n')));
  }
  if (!report.done.empty() && !doc_.currentDir().isEmpty()) {
    // The page shown stays, as far as the folder still reaches it.
    const int page = doc_.paging().page;
    doc_.Refresh();
    if (page > 0) doc_.ChoosePage(std::min(page, doc_.paging().pageCount - 1));
  }
  emit undoAvailable(CanUndo());
}
