// What the two conversion forms have beyond the shared job controls: the
// "Save Directory" field, the two "参照" buttons that pick the target and
// the save folder, and "Convert".
#pragma once

#include <vector>

#include "imageio/listing.h"
#include "shell/job_form.h"

class CFolimDoc;
class QPushButton;

class CConvertForm : public CJobForm {
  Q_OBJECT

 public:
  using CJobForm::CJobForm;

  virtual QLineEdit* saveDirEdit() const = 0;
  virtual QPushButton* browseTargetButton() const = 0;
  virtual QPushButton* browseSaveButton() const = 0;
  virtual QPushButton* convertButton() const = 0;
  // Title of the folder picker: "Convert to RIM" or "Convert to BMP".
  virtual QString pickerTitle() const = 0;

  // Picks the target folder and lists it; an empty "Save Directory" takes
  // it too.
  void OnBrowseTarget();
  void OnBrowseSave();
  virtual void OnConvert() = 0;

 protected:
  // Wires the shared controls and the buttons.
  void connectConvertControls();
  // The document's listing becomes its work list (names and paths, cleared
  // when the job ends); the job converts the copy returned, which nothing
  // done in the windows meanwhile can change.
  static std::vector<ListedImage> takeWorkList(CFolimDoc& doc);
};

// dir with a final "/" (the form of a folder the output names are joined to).
QString withFinalSlash(const QString& dir);
