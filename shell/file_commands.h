// What the window does to the picture files themselves: open them in
// another program, copy, move, rename, send to the trash, show them in the
// file manager, copy their paths, and undo the last move, rename or trash.
// The files and the signature index change together (library/); the user is
// asked when a name is taken and told what failed, by file and cause, and
// the thumbnails follow. Knows no widget beyond the shell's dialogs.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "library/file_operations.h"

class CFolimDoc;
class QUrl;
class QWidget;

// Opens a URL in the desktop's program for it; tests replace it.
using UrlOpener = std::function<bool(const QUrl&)>;
UrlOpener setUrlOpener(UrlOpener opener);

class CFileCommands : public QObject {
  Q_OBJECT

 public:
  explicit CFileCommands(CFolimDoc& doc, QObject* parent = nullptr);
  ~CFileCommands() override;

  // Each takes the files (paths as the window shows them); the folder is
  // asked with the folder picker, the new name with a question.
  void OpenWithDefault(const QStringList& files);
  void CopyTo(const QStringList& files, QWidget* parent);
  void MoveTo(const QStringList& files, QWidget* parent);
  void Rename(const QString& file);
  void MoveToTrash(const QStringList& files);
  // The same, answering what went where (failures are shown all the same).
  FileOperationReport TrashFiles(const QStringList& files);
  void ShowInFileManager(const QString& file);
  void CopyPath(const QStringList& files);

  // The same without asking where (the folder is given).
  void CopyInto(const QStringList& files, const QString& folder);
  void MoveInto(const QStringList& files, const QString& folder);
  void RenameTo(const QString& file, const QString& newName);

  bool CanUndo() const;
  void Undo();

  // The window's index changed: later operations use the new one, and what
  // was done before can no longer be undone there.
  void IndexChanged();

 signals:
  void undoAvailable(bool available);

 private:
  FileOperations& operations();
  // Shows what went wrong and lists the folder again.
  void finish(const FileOperationReport& report);
  // Asks what to do when the name of existing is taken.
  ConflictChoice askConflict(const std::string& existing);

  CFolimDoc& doc_;
  std::unique_ptr<SignatureIndex> index_;
  std::unique_ptr<FileOperations> operations_;
};
