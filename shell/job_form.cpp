#include "shell/job_form.h"

#include <QAbstractSlider>
#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
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

  connect(includeSubDirCheck(), &QCheckBox::clicked, this, [this] { OnIncludeSubDirs(); });
  QSlider* slider = pageSlider();
  connect(slider, &QAbstractSlider::actionTriggered, this, [this, slider](int action) {
    // The position has already moved by the action when this arrives.
    if (action == QAbstractSlider::SliderPageStepAdd ||
        action == QAbstractSlider::SliderPageStepSub) {
      OnPageChosen(slider->sliderPosition());
    }
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

void CJobForm::OnIncludeSubDirs() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr) return;
  doc->m_includeSubDirs = includeSubDirCheck()->isChecked() ? 1 : 0;
  doc->SetDirectory(doc->m_currentDir);
  doc->ResetPaging();
}

void CJobForm::OnTargetKillFocus() {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr || targetDirEdit()->isReadOnly()) return;
  const QString text = targetDirEdit()->text();
  if (text == doc->m_currentDir) return;
  doc->SetDirectory(text);
  doc->ResetPaging();
}

void CJobForm::OnPageChosen(int position) {
  CFolimDoc* doc = GetFolimDoc();
  if (doc == nullptr || doc->m_pageCount == 1) return;
  pageSlider()->setValue(position);
  pageEdit()->setText(QString::number(position + 1));
  doc->m_page = position;
  doc->LoadThumbnails();
}
