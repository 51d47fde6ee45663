#include "shell/convert_form.h"

#include <QLineEdit>
#include <QPushButton>

#include "shell/file_dialogs.h"
#include "shell/folim_doc.h"
#include "shell/native_path.h"

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

std::vector<ListedImage> CConvertForm::takeWorkList(CFolimDoc& doc) {
  std::vector<ListedImage> items;
  items.reserve(doc.m_entries.size());
  for (const ImageEntry& entry : doc.m_entries) {
    doc.m_convertNames << fromNativePath(entry.name);
    doc.m_convertPaths << fromNativePath(entry.path);
    items.push_back({entry.name, entry.path});
  }
  return items;
}

QString withFinalSlash(const QString& dir) {
  return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}
