// The file dialogs of Open and Save. Tests replace them by a handler that
// answers without a modal dialog.
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
