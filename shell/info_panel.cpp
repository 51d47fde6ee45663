#include "shell/info_panel.h"

#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "shell/image_info.h"

CInfoPanel::CInfoPanel(CFolimDoc& doc, QWidget* parent)
    : QDockWidget(tr("Information"), parent), info_(new CImageInfo(doc, this)) {
  setObjectName(QStringLiteral("infoPanel"));
  auto* page = new QWidget;
  auto* column = new QVBoxLayout(page);
  empty_ = new QLabel(tr("Select a picture to see what it is."));
  empty_->setWordWrap(true);
  empty_->setEnabled(false);
  column->addWidget(empty_);
  form_ = new QFormLayout;
  form_->setRowWrapPolicy(QFormLayout::WrapLongRows);
  form_->setLabelAlignment(Qt::AlignLeft);
  column->addLayout(form_);
  column->addStretch(1);
  auto* scroll = new QScrollArea;
  scroll->setWidget(page);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  // Wide enough for a date, a camera's name and a size on one line each.
  scroll->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('x')) * 40);
  setWidget(scroll);
  // Read only while it can be seen.
  connect(this, &QDockWidget::visibilityChanged, info_, &CImageInfo::SetActive);
  connect(info_, &CImageInfo::changed, this, &CInfoPanel::showRows);
}

CInfoPanel::~CInfoPanel() = default;

void CInfoPanel::showRows() {
  while (form_->rowCount() > 0) form_->removeRow(0);
  const QList<InfoRow>& rows = info_->rows();
  empty_->setVisible(rows.isEmpty());
  for (const InfoRow& row : rows) {
    auto* value = new QLabel(row.value);
    value->setTextFormat(Qt::PlainText);
    value->setWordWrap(true);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long folder name must not widen the dock: it is cut, and whole in
    // the tooltip.
    value->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    value->setMinimumWidth(40);
    value->setToolTip(row.value);
    auto* label = new QLabel(row.label + QLatin1Char(':'));
    label->setBuddy(value);
    form_->addRow(label, value);
  }
}

QString CInfoPanel::valueOf(const QString& label) const {
  for (int r = 0; r < form_->rowCount(); ++r) {
    const QLayoutItem* name = form_->itemAt(r, QFormLayout::LabelRole);
    const QLayoutItem* value = form_->itemAt(r, QFormLayout::FieldRole);
    const auto* nameLabel = name != nullptr ? qobject_cast<QLabel*>(name->widget()) : nullptr;
    const auto* valueLabel = value != nullptr ? qobject_cast<QLabel*>(value->widget()) : nullptr;
    if (nameLabel != nullptr && valueLabel != nullptr &&
        nameLabel->text() == label + QLatin1Char(':'))
      return valueLabel->text();
  }
  return QString();
}
