#include "shell/original_image.h"

#include <QAction>
#include <QActionGroup>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QSettings>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "shell/folim_doc.h"
#include "shell/messages.h"
#include "shell/picture_view.h"
#include "shell/rotation_model.h"
#include "shell/slideshow.h"

namespace {

// Client size of a window whose image could not be loaded (186 x 95 dialog
// units), so that its caption still shows which file it was.
constexpr int kEmptyWidth = 279;
constexpr int kEmptyHeight = 143;

const char* const kPlaceKey = "fullSizeWindow/geometry";

// The client rectangle moved and shrunk as far as needed for the window,
// decoration included, to lie within the work area.
QRect placedWithin(const QRect& client, const QRect& area, const QMargins& frame) {
  const int width =
      std::max(std::min(client.width(), area.width() - frame.left() - frame.right()), 1);
  const int height =
      std::max(std::min(client.height(), area.height() - frame.top() - frame.bottom()), 1);
  const int x = std::clamp(
      client.x(), area.left() + frame.left(),
      std::max(area.left() + frame.left(), area.left() + area.width() - frame.right() - width));
  const int y = std::clamp(
      client.y(), area.top() + frame.top(),
      std::max(area.top() + frame.top(), area.top() + area.height() - frame.bottom() - height));
  return QRect(x, y, width, height);
}

bool isModifierKey(int key) {
  switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Meta:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
      return true;
    default:
      return false;
  }
}

}  // namespace

COriginalImage::COriginalImage(CFolimDoc& doc)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      doc_(doc) {
  setObjectName(QStringLiteral("originalImage"));
  setWindowTitle(QStringLiteral("Folim"));
  setModal(false);
  view_ = new CPictureView(this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(view_);
  setFocusPolicy(Qt::StrongFocus);
  setFocusProxy(view_);
  view_->setPicture(&doc_.fullSizeImage(), 0);

  slideshow_ = new CSlideshow(doc_, this);
  rotation_ = new CRotationModel(doc_, this);
  connect(slideshow_, &CSlideshow::pictureChanged, this, [this] { ShowFullSizeImage(screen()); });
  connect(slideshow_, &CSlideshow::stateChanged, this, &COriginalImage::onSlideshowState);
  connect(rotation_, &CRotationModel::turned, this,
          [this](int turns) { view_->setPicture(&doc_.fullSizeImage(), turns); });
  connect(rotation_, &CRotationModel::messageRaised, this,
          [](const QString& text) { showMessage(text); });
  connect(view_, &CPictureView::zoomWheeled, this, &COriginalImage::zoomByWheel);
  createActions();
  // Any key pauses the slideshow, whichever of the two has the focus.
  installEventFilter(this);
  view_->installEventFilter(this);
  hide();
}

COriginalImage::~COriginalImage() { rememberPlace(); }

QAction* COriginalImage::addKeyAction(const QString& text, const QList<QKeySequence>& keys) {
  auto* action = new QAction(text, this);
  action->setShortcuts(keys);
  addAction(action);
  return action;
}

void COriginalImage::addSeparatorAction() {
  auto* separator = new QAction(this);
  separator->setSeparator(true);
  addAction(separator);
}

void COriginalImage::createActions() {
  QAction* next = addKeyAction(tr("Next Picture"), {Qt::Key_Space});
  connect(next, &QAction::triggered, this, [this] { step(1); });
  QAction* previous = addKeyAction(tr("Previous Picture"), {Qt::Key_Backspace});
  connect(previous, &QAction::triggered, this, [this] { step(-1); });
  QAction* right = addKeyAction(tr("Pan Right or Next Picture"), {Qt::Key_Right});
  connect(right, &QAction::triggered, this, [this] { panOrStep(1, 0); });
  QAction* left = addKeyAction(tr("Pan Left or Previous Picture"), {Qt::Key_Left});
  connect(left, &QAction::triggered, this, [this] { panOrStep(-1, 0); });
  QAction* up = addKeyAction(tr("Pan Up"), {Qt::Key_Up});
  connect(up, &QAction::triggered, this, [this] { panOrStep(0, -1); });
  QAction* down = addKeyAction(tr("Pan Down"), {Qt::Key_Down});
  connect(down, &QAction::triggered, this, [this] { panOrStep(0, 1); });
  addSeparatorAction();

  QAction* in = addKeyAction(tr("Zoom &In"), {Qt::Key_Plus, Qt::Key_Equal, QKeySequence::ZoomIn});
  connect(in, &QAction::triggered, this, &COriginalImage::zoomIn);
  QAction* out = addKeyAction(tr("Zoom &Out"), {Qt::Key_Minus, QKeySequence::ZoomOut});
  connect(out, &QAction::triggered, this, &COriginalImage::zoomOut);
  QAction* fit = addKeyAction(tr("&Fit to Window"), {Qt::Key_0});
  connect(fit, &QAction::triggered, this, &COriginalImage::zoomToFit);
  QAction* actual = addKeyAction(tr("&Actual Size"), {Qt::Key_1});
  connect(actual, &QAction::triggered, this, &COriginalImage::zoomToActualSize);
  addSeparatorAction();

  fullScreen_ = addKeyAction(tr("F&ull Screen"), {Qt::Key_F11});
  fullScreen_->setCheckable(true);
  fullScreen_->setStatusTip(tr("Shows the picture on the whole screen"));
  connect(fullScreen_, &QAction::triggered, this, &COriginalImage::toggleFullScreen);
  slideshowAction_ = addKeyAction(tr("Slide&show"), {QKeySequence(Qt::SHIFT | Qt::Key_F5)});
  slideshowAction_->setStatusTip(
      tr("Shows the listed pictures one after another; any key pauses, this key goes on"));
  connect(slideshowAction_, &QAction::triggered, this, &COriginalImage::toggleSlideshow);
  createIntervalMenu();
  addAction(intervalMenu_->menuAction());
  rotateLeft_ = addKeyAction(tr("Rotate &Left"), {QKeySequence(Qt::CTRL | Qt::Key_L)});
  rotateLeft_->setStatusTip(tr("Turns the picture a quarter anticlockwise"));
  connect(rotateLeft_, &QAction::triggered, this, [this] { turn(-1); });
  rotateRight_ = addKeyAction(tr("Rotate &Right"), {QKeySequence(Qt::CTRL | Qt::Key_R)});
  rotateRight_->setStatusTip(tr("Turns the picture a quarter clockwise"));
  connect(rotateRight_, &QAction::triggered, this, [this] { turn(1); });
  addSeparatorAction();

  QAction* leave =
      addKeyAction(tr("Close (or Leave Full Screen, Stop the Slideshow)"), {Qt::Key_Escape});
  connect(leave, &QAction::triggered, this, [this] {
    if (slideshow_->IsActive()) {
      slideshow_->Stop();
    } else if (isFullScreen()) {
      setFullScreen(false);
    } else {
      close();
    }
  });
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void COriginalImage::createIntervalMenu() {
  intervalMenu_ = new QMenu(tr("Slideshow &Interval"), this);
  intervals_ = new QActionGroup(this);
  for (const int seconds : CSlideshow::IntervalChoices()) {
    QAction* choice = intervalMenu_->addAction(tr("%1 seconds").arg(seconds));
    choice->setCheckable(true);
    choice->setChecked(slideshow_->interval() == seconds * 1000);
    intervals_->addAction(choice);
    connect(choice, &QAction::triggered, this,
            [this, seconds] { slideshow_->SetInterval(seconds * 1000); });
  }
}

QMargins COriginalImage::frameExtents() const {
  const QWindow* window = windowHandle();
  return window != nullptr ? window->frameMargins() : QMargins();
}

void COriginalImage::ShowFullSizeImage(QScreen* screen) {
  // The picture shown last may carry a turn the user has yet to decide on.
  settleTurn();
  CFolimDoc& doc = doc_;
  setWindowTitle(doc.currentPath());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  workArea_ = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 800, 600);
  winId();  // the decoration is known only for a native window
  const QMargins m = frameExtents();
  int boxWidth = workArea_.width() - m.left() - m.right();
  int boxHeight = workArea_.height() - m.top() - m.bottom();
  if (isFullScreen() && screen != nullptr) {
    boxWidth = screen->geometry().width();
    boxHeight = screen->geometry().height();
  }

  // A large photograph is read only as far as the window shows it (in
  // device pixels).
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  QString failure;
  CImageEx& image = doc.PrepareFullSizeImage(static_cast<int>(boxWidth * ratio),
                                             static_cast<int>(boxHeight * ratio), &failure);
  if (!failure.isEmpty()) showMessage(failure);
  image.SetDrawRect(0, 0, image.FullWidth(), image.FullHeight());
  rotation_->Reset(doc.currentPath(), image.m_nBaseType);
  view_->zoomPan().setZoom(0.0);
  if (!isFullScreen()) {
    if (!placed_) {
      // The first picture places the window, unless the user placed it in
      // an earlier session.
      if (!restorePlace() && !FitWindowToImage()) {
        image.FitInto(boxWidth, boxHeight);
        SizeWindowToFittedImage();
      }
      placed_ = true;
    } else {
      setGeometry(placedWithin(geometry(), workArea_, m));
    }
  }
  view_->setPicture(&image, 0);
  show();
  raise();
  activateWindow();
}

bool COriginalImage::FitWindowToImage() {
  const CFolimDoc* doc = &doc_;
  int width = doc->fullSizeImage().FullWidth();
  int height = doc->fullSizeImage().FullHeight();
  if (doc->fullSizeImage().IsNull()) {
    width = kEmptyWidth;
    height = kEmptyHeight;
  }
  const QMargins m = frameExtents();
  const int windowWidth = width + m.left() + m.right();
  const int windowHeight = height + m.top() + m.bottom();
  if (windowWidth > workArea_.width() || windowHeight > workArea_.height()) return false;
  resize(width, height);
  move(workArea_.left() + (workArea_.width() - windowWidth) / 2,
       workArea_.top() + (workArea_.height() - windowHeight) / 2);
  raise();
  return true;
}

void COriginalImage::SizeWindowToFittedImage() {
  const CFolimDoc* doc = &doc_;
  if (doc->fullSizeImage().IsNull()) return;
  resize(std::max(doc->fullSizeImage().m_nDrawWidth, 1),
         std::max(doc->fullSizeImage().m_nDrawHeight, 1));
  move(workArea_.topLeft());
  raise();
}

bool COriginalImage::restorePlace() {
  const QRect place = QSettings().value(QLatin1String(kPlaceKey)).toRect();
  if (!place.isValid()) return false;
  setGeometry(placedWithin(place, workArea_, frameExtents()));
  return true;
}

void COriginalImage::rememberPlace() const {
  if (!placed_) return;
  QSettings().setValue(QLatin1String(kPlaceKey), isFullScreen() ? normalGeometry() : geometry());
}

double COriginalImage::zoom() const { return view_->zoomPan().zoom(); }

QPointF COriginalImage::viewCentre() const {
  return QPointF(view_->viewport()->width() / 2.0, view_->viewport()->height() / 2.0);
}

void COriginalImage::setZoom(double zoom, const QPointF& anchor) {
  ZoomPan& zoomPan = view_->zoomPan();
  zoomPan.setZoom(zoom, anchor);
  // Past what the reduced pixels show, the whole picture is decoded.
  const CImageEx& image = doc_.fullSizeImage();
  if (!zoomPan.isFitted() && image.IsReduced() &&
      zoomPan.scale() * devicePixelRatioF() * image.FullWidth() > image.GetWidth()) {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    QString failure;
    doc_.LoadFullSizePixels(&failure);
    QGuiApplication::restoreOverrideCursor();
    if (!failure.isEmpty()) showMessage(failure);
  }
  view_->refresh();
}

void COriginalImage::zoomIn() {
  setZoom(std::min(view_->zoomPan().scale() * ZoomPan::kStep, ZoomPan::kMaxZoom), viewCentre());
}

void COriginalImage::zoomOut() {
  setZoom(std::max(view_->zoomPan().scale() / ZoomPan::kStep, ZoomPan::kMinZoom), viewCentre());
}

void COriginalImage::zoomToActualSize() { zoomTo(1.0); }

void COriginalImage::zoomToFit() { zoomTo(0.0); }

void COriginalImage::zoomTo(double zoom) { setZoom(zoom, viewCentre()); }

void COriginalImage::step(int direction) {
  if (doc_.StepImage(direction)) ShowFullSizeImage(screen());
}

void COriginalImage::panOrStep(int dx, int dy) {
  const ZoomPan& zoomPan = view_->zoomPan();
  const QPoint step = zoomPan.panStep();
  if (dx != 0 && !zoomPan.canPanHorizontally()) {
    this->step(dx);
    return;
  }
  view_->panBy(QPoint(dx * step.x(), dy * step.y()));
}

bool COriginalImage::showCurrentIfHidden() {
  if (isVisible()) return true;
  if (doc_.currentPath().isEmpty()) return false;
  ShowFullSizeImage(screen());
  return isVisible();
}

void COriginalImage::setFullScreen(bool on) {
  fullScreen_->setChecked(on);
  if (on == isFullScreen()) return;
  if (!isVisible()) {
    // Kept for the next showing, without showing the window now.
    setWindowState(on ? windowState() | Qt::WindowFullScreen
                      : windowState() & ~Qt::WindowFullScreen);
  } else if (on) {
    showFullScreen();
  } else {
    showNormal();
  }
}

void COriginalImage::toggleFullScreen() {
  if (!isVisible()) {
    setFullScreen(showCurrentIfHidden());
    return;
  }
  setFullScreen(!isFullScreen());
  // Left by hand, full screen no longer goes with the slideshow.
  slideshowFullScreen_ = false;
}

void COriginalImage::toggleSlideshow() {
  if (slideshow_->state() != CSlideshow::State::Stopped) {
    slideshow_->Toggle();
    return;
  }
  if (!slideshow_->Start()) return;
  if (!isFullScreen()) {
    slideshowFullScreen_ = true;
    setFullScreen(true);
  }
}

void COriginalImage::onSlideshowState() {
  switch (slideshow_->state()) {
    case CSlideshow::State::Stopped:
      view_->setNote(QString());
      if (slideshowFullScreen_) {
        slideshowFullScreen_ = false;
        setFullScreen(false);
      }
      break;
    case CSlideshow::State::Paused:
      view_->setNote(tr("Slideshow paused (%1 goes on)")
                         .arg(slideshowAction_->shortcut().toString(QKeySequence::NativeText)));
      break;
    case CSlideshow::State::Running:
      view_->setNote(QString());
      break;
  }
}

void COriginalImage::turn(int quarterTurns) {
  if (!showCurrentIfHidden()) return;
  rotation_->Turn(quarterTurns);
}

void COriginalImage::settleTurn() {
  if (!rotation_->HasUnsavedTurn() || rotation_->IsSaving()) return;
  if (askQuestion(rotation_->SaveQuestion())) {
    rotation_->Save();
  } else {
    rotation_->Discard();
  }
}

void COriginalImage::wheelEvent(QWheelEvent* event) {
  if (!(event->modifiers() & Qt::ControlModifier)) {
    QDialog::wheelEvent(event);
    return;
  }
  zoomByWheel(view_->viewport()->mapFrom(this, event->position()), event->angleDelta().y());
  event->accept();
}

void COriginalImage::zoomByWheel(const QPointF& anchor, int delta) {
  // About the cursor: the picture point under it stays there.
  const double scale = view_->zoomPan().scale();
  if (delta > 0) setZoom(std::min(scale * ZoomPan::kStep, ZoomPan::kMaxZoom), anchor);
  if (delta < 0) setZoom(std::max(scale / ZoomPan::kStep, ZoomPan::kMinZoom), anchor);
}

void COriginalImage::keyPressEvent(QKeyEvent* event) {
  // A key reaches here when the window is not the active one, where its
  // shortcuts do not answer: the same actions do.
  const QKeySequence pressed(event->keyCombination());
  const QKeySequence unshifted(
      QKeyCombination(event->modifiers() & ~Qt::ShiftModifier, Qt::Key(event->key())));
  for (QAction* action : actions()) {
    const QList<QKeySequence> keys = action->shortcuts();
    if (action->isEnabled() && (keys.contains(pressed) || keys.contains(unshifted))) {
      action->trigger();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

void COriginalImage::mouseDoubleClickEvent(QMouseEvent* event) {
  QDialog::mouseDoubleClickEvent(event);
  if (event->button() == Qt::LeftButton) toggleFullScreen();
}

void COriginalImage::closeEvent(QCloseEvent* event) {
  settleTurn();
  QDialog::closeEvent(event);
}

void COriginalImage::hideEvent(QHideEvent* event) {
  slideshow_->Stop();
  rememberPlace();
  QDialog::hideEvent(event);
}

bool COriginalImage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::ShortcutOverride &&
      slideshow_->state() == CSlideshow::State::Running) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!isModifierKey(key->key()) &&
        QKeySequence(key->keyCombination()) != slideshowAction_->shortcut())
      slideshow_->Pause();
  }
  return QDialog::eventFilter(watched, event);
}
