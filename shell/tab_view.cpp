#include "shell/tab_view.h"

#include <QScrollArea>

#include "shell/convert2bmp_view.h"
#include "shell/convert2rim_view.h"
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

CTabView::CTabView(CFolimDoc& doc, QWidget* parent)
    : QTabWidget(parent),
      doc_(doc),
      retrieval_(new CRetrievalView(doc)),
      toRim_(new CConvert2RIMView(doc)),
      toBmp_(new CConvert2BMPView(doc)) {
  setObjectName(QStringLiteral("tabView"));
  addTab(scrolling(retrieval_), tr("Retrieval"));
  addTab(scrolling(toRim_), tr("Convert to RIM"));
  addTab(scrolling(toBmp_), tr("Convert to BMP"));
  setCurrentIndex(kRetrieval);
  connect(this, &QTabWidget::currentChanged, this, &CTabView::OnSelChange);
  OnInitialUpdate();
}

CTabView::~CTabView() = default;

void CTabView::OnInitialUpdate() { toRim_->OnInitialUpdate(); }

void CTabView::showFolder(const QString& dir) { currentForm()->showFolder(dir); }

void CTabView::showPaging(int page, int pageCount) {
  for (int i = 0; i < 3; ++i) formAt(i)->showPaging(page, pageCount);
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

void CTabView::OnSelChange(int s) { formAt(s)->showDocumentState(); }
