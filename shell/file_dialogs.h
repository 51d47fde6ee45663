// The file dialogs of Open and Save and the folder picker of the conversion
// forms. Tests replace them by handlers that answer without a modal dialog.
#pragma once

#include <QString>
#include <functional>

class QWidget;

// The filter of both dialogs, one entry per line of the list: "All images"
// (every extension the image readers know, RIM included) first, then one
// entry per format; RIM is preselected.
QString imageFileFilter();
QString rimFileFilter();
QString allImagesFilter();

// The chosen path, or an empty string when the user cancels. The dialogs
// start in startDir when it is given.
QString askOpenImagePath(QWidget* parent, const QString& startDir = QString());
// Default extension "rim"; the user confirms overwriting an existing file.
// suggested (when given) is the name filled in.
QString askSaveImagePath(QWidget* parent, const QString& startDir = QString(),
                         const QString& suggested = QString());

enum class FileDialogKind { Open, Save };
using FileDialogHandler = std::function<QString(FileDialogKind, const QString& startDir)>;
FileDialogHandler setFileDialogHandler(FileDialogHandler handler);

// The folder picker titled title, starting in startDir when it is a folder
// (else the user's home folder) and showing folders only. The chosen
// folder, or an empty string on Cancel.
QString askFolderPath(QWidget* parent, const QString& title, const QString& startDir = QString());
using FolderDialogHandler = std::function<QString(const QString& title, const QString& startDir)>;
FolderDialogHandler setFolderDialogHandler(FolderDialogHandler handler);
