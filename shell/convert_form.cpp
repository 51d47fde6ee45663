#include "shell/convert_form.h"

#include <QLineEdit>
#include <QPushButton>

#include "shell/file_dialogs.h"

void CConvertForm::connectConvertControls() {
  connectSharedControls();
  connect(browseTargetButton(), &QPushButton::clicked, this, [this] { OnBrowseTarget(); });
  connect(browseSaveButton(), &QPushButton::clicked, this, [this] { OnBrowseSave(); });
  connect(convertButton(), &QPushButton::clicked, this, [this] { OnConvert(); });
}

void CConvertForm::OnBrowseTarget() {
  const QString folder = askFolderPath(this, pickerTitle());
  if (folder.isEmpty()) return;
  targetDirEdit()->setText(folder);
  if (saveDirEdit()->text().isEmpty()) saveDirEdit()->setText(folder);
  // The field never had the focus, so leaving it will not list the folder:
  // list it now, or "Convert" would work on the folder listed before.
  OnTargetKillFocus();
}

void CConvertForm::OnBrowseSave() {
  const QString folder = askFolderPath(this, pickerTitle());
  if (folder.isEmpty()) return;
  saveDirEdit()->setText(folder);
}

QString withFinalSlash(const QString& dir) {
  return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}
