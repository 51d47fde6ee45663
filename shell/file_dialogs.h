// The file dialogs of Open and Save and the folder picker of the conversion
// forms. Tests replace them by handlers that answer without a modal dialog.
#pragma once

#include <QString>
#include <functional>

class QWidget;

// The filter of both dialogs, one entry per line of the list; the fourth
// (RIM) is preselected.
QString imageFileFilter();
QString rimFileFilter();

// The chosen path, or an empty string when the user cancels.
QString askOpenImagePath(QWidget* parent);
// Default extension "rim"; the user confirms overwriting an existing file.
QString askSaveImagePath(QWidget* parent);

enum class FileDialogKind { Open, Save };
using FileDialogHandler = std::function<QString(FileDialogKind)>;
FileDialogHandler setFileDialogHandler(FileDialogHandler handler);

// The folder picker titled title, starting in the user's home folder and
// showing folders only. The chosen folder, or an empty string on Cancel.
QString askFolderPath(QWidget* parent, const QString& title);
using FolderDialogHandler = std::function<QString(const QString& title)>;
FolderDialogHandler setFolderDialogHandler(FolderDialogHandler handler);
