// The top right pane: tabs "Retrieval", "Convert to RIM" and "Convert to BMP"
// over the three job forms. Changing the tab carries the listed folder, the
// subfolder flag and the paging over to the form shown.
#pragma once

#include <QTabWidget>

class CFolimDoc;
class CJobForm;
class CRetrievalView;
class CConvert2RIMView;
class CConvert2BMPView;

class CTabView : public QTabWidget {
  Q_OBJECT

 public:
  enum Tab { kRetrieval = 0, kConvertToRim = 1, kConvertToBmp = 2 };

  explicit CTabView(CFolimDoc& doc, QWidget* parent = nullptr);
  ~CTabView() override;

  // The first update (again after File New).
  void OnInitialUpdate();
  // The listed folder, written into the form shown.
  void showFolder(const QString& dir);
  // The paging, shown by every form.
  void showPaging(int page, int pageCount);
  // Shows the form of tab s and brings it up to date with the document.
  void OnSelChange(int s);

  CRetrievalView* retrievalView() const { return retrieval_; }
  CConvert2RIMView* convert2RimView() const { return toRim_; }
  CConvert2BMPView* convert2BmpView() const { return toBmp_; }
  // The form of the selected tab (the retrieval form for any other index).
  CJobForm* currentForm() const;
  CJobForm* formAt(int index) const;

 private:
  CFolimDoc& doc_;
  CRetrievalView* retrieval_;
  CConvert2RIMView* toRim_;
  CConvert2BMPView* toBmp_;
};
