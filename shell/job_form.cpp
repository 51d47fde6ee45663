#include "shell/job_form.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>

#include "shell/folim_doc.h"

void CJobForm::connectSharedControls() {
  // A text wider than its place in the form (the face drawn may be wider
  // than the one the form was laid out for) gets the room it needs.
  for (QWidget* child : findChildren<QWidget*>()) {
    if (qobject_cast<QLabel*>(child) == nullptr && qobject_cast<QCheckBox*>(child) == nullptr) {
      continue;
    }
    const int needed = child->sizeHint().width();
    if (needed > child->width()) child->resize(needed, child->height());
  }

  // A field the user cannot edit looks like it: the window's colour, not a
  // writing surface.
  for (QLineEdit* edit : findChildren<QLineEdit*>()) {
    if (!edit->isReadOnly()) continue;
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    edit->setPalette(palette);
  }

  connect(includeSubDirCheck(), &QCheckBox::clicked, this, [this] { OnIncludeSubDirs(); });
  QSlider* slider = pageSlider();
  connect(slider, &QAbstractSlider::actionTriggered, this, [this, slider](int action) {
    // The position has already moved by the action when this arrives. A
    // move while the thumb is held waits for its release; a move without
    // it is the wheel.
    if (action == QAbstractSlider::SliderNoAction) return;
    if (action == QAbstractSlider::SliderMove && slider->isSliderDown()) return;
    OnPageChosen(slider->sliderPosition());
  });
  connect(slider, &QAbstractSlider::sliderReleased, this,
          [this, slider] { OnPageChosen(slider->sliderPosition()); });
  targetDirEdit()->installEventFilter(this);
  // A long path shows its end in the field; the whole of it on hovering.
  connect(targetDirEdit(), &QLineEdit::textChanged, targetDirEdit(), &QWidget::setToolTip);
}

bool CJobForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == targetDirEdit() && event->type() == QEvent::FocusOut) OnTargetKillFocus();
  return QWidget::eventFilter(watched, event);
}

void CJobForm::OnIncludeSubDirs() { doc_.SetIncludeSubDirs(includeSubDirCheck()->isChecked()); }

void CJobForm::OnTargetKillFocus() {
  if (targetDirEdit()->isReadOnly() || IsRunningJob()) return;
  const QString text = targetDirEdit()->text();
  if (text == doc_.currentDir()) return;
  doc_.ListFolder(text);
}

void CJobForm::OnPageChosen(int position) {
  if (position == doc_.paging().page) return;
  doc_.ChoosePage(position);
}

void CJobForm::showPaging(int page, int pageCount) {
  QSlider* slider = pageSlider();
  const QSignalBlocker blocker(slider);
  slider->setRange(0, pageCount - 1);
  slider->setPageStep(1);
  slider->setTickInterval(1);
  slider->setValue(page);
  pageCountLabel()->setText(tr("/ %1 pages").arg(pageCount));
  pageEdit()->setText(QString::number(page + 1));
}

void CJobForm::showFolder(const QString& dir) {
  if (!IsRunningJob()) targetDirEdit()->setText(dir);
}

void CJobForm::showDocumentState() {
  if (!doc_.currentDir().isEmpty()) showFolder(doc_.currentDir());
  if (!IsRunningJob()) includeSubDirCheck()->setChecked(doc_.includeSubDirs());
  showPaging(doc_.paging().page, doc_.paging().pageCount);
}
