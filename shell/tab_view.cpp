#include "shell/tab_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QScrollArea>

#include "shell/convert2bmp_view.h"
#include "shell/convert2rim_view.h"
#include "shell/folim_doc.h"
#include "shell/retrieval_view.h"

namespace {

// A form keeps its designed size and scrolls when the pane is smaller.
QScrollArea* scrolling(QWidget* form) {
  auto* area = new QScrollArea;
  area->setFrameShape(QFrame::NoFrame);
  area->setWidget(form);
  area->setWidgetResizable(false);
  return area;
}

}  // namespace

CTabView::CTabView(QWidget* parent)
    : QTabWidget(parent),
      retrieval_(new CRetrievalView),
      toRim_(new CConvert2RIMView),
      toBmp_(new CConvert2BMPView) {
  setObjectName(QStringLiteral("tabView"));
  addTab(scrolling(retrieval_), QStringLiteral("Retrieval"));
  addTab(scrolling(toRim_), QStringLiteral("Convert to RIM"));
  addTab(scrolling(toBmp_), QStringLiteral("Convert to BMP"));
  setCurrentIndex(kRetrieval);
  connect(this, &QTabWidget::currentChanged, this, &CTabView::OnSelChange);
  // One conversion at a time: the work list is the document's.
  connect(toRim_, &CConvert2RIMView::conversionRunning, toBmp_,
          &CConvert2BMPView::setRimConversionRunning);
  OnInitialUpdate();
}

CTabView::~CTabView() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc != nullptr && doc->m_pTabView == this) doc->m_pTabView = nullptr;
}

void CTabView::OnInitialUpdate() {
  if (CFolimDoc* doc = GetFolimDoc()) doc->m_pTabView = this;
  toRim_->OnInitialUpdate();
}

CJobForm* CTabView::formAt(int index) const {
  switch (index) {
    case kConvertToRim:
      return toRim_;
    case kConvertToBmp:
      return toBmp_;
    default:
      return retrieval_;
  }
}

CJobForm* CTabView::currentForm() const { return formAt(currentIndex()); }

void CTabView::OnSelChange(int s) {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr) return;
  CJobForm* form = formAt(s);
  if (!doc->m_currentDir.isEmpty()) form->targetDirEdit()->setText(doc->m_currentDir);
  form->includeSubDirCheck()->setChecked(doc->m_includeSubDirs != 0);
  doc->UpdatePageControls();
}
