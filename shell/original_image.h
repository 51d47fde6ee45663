// The modeless window that shows the selected image at full size, or scaled
// down to the screen's work area when it does not fit there. The first
// picture sizes and places it (or the place the user left it at in an
// earlier session); after that it keeps its size and place from picture to
// picture, always within the screen's work area.
//
// Its keys are actions (listed in its context menu): Right/Left (and
// Space/Backspace) step through the listing, Right/Left/Up/Down pan a
// picture larger than the window instead; +, - and 0 (and Ctrl+wheel, about
// the cursor) zoom in, out and back to fitting the window, 1 to 100 %;
// dragging and the scroll bars pan; F11 or a double click toggles full
// screen; Shift+F5 starts, pauses and goes on with the slideshow (any key
// pauses it); Ctrl+L and Ctrl+R turn the picture left and right (saving the
// turn is asked when the picture is left); Esc stops the slideshow, leaves
// full screen, or closes the window. A large photograph is shown from a
// reduced decode until the zoom asks for more pixels than that holds.
#pragma once

#include <QDialog>
#include <QMargins>
#include <QRect>

class CFolimDoc;
class CPictureView;
class CRotationModel;
class CSlideshow;
class QActionGroup;
class QMenu;
class QScreen;

class COriginalImage : public QDialog {
  Q_OBJECT

 public:
  // Shows the document's current image; starts hidden.
  explicit COriginalImage(CFolimDoc& doc);
  ~COriginalImage() override;

  // The showing sequence: caption, the picture taken over from the current
  // image (or loaded), size and place the first time, then shown on top.
  void ShowFullSizeImage(QScreen* screen = nullptr);
  // Client size = the image's size, centred in the work area; false (and
  // nothing changed) when the window would not fit.
  bool FitWindowToImage();
  // Client size = the fitted display size, at the work area's top-left.
  void SizeWindowToFittedImage();

  // The screen's area without panels, and the window decoration around the
  // client area (zero where the platform draws none).
  QRect workArea() const { return workArea_; }
  QMargins frameExtents() const;

  // The zoom: 0 fits the picture to the window, else the scale shown.
  double zoom() const;
  void zoomIn();
  void zoomOut();
  void zoomToFit();
  // One picture pixel to one screen pixel.
  void zoomToActualSize();
  // To zoom (0 fits) about the middle of the window.
  void zoomTo(double zoom);
  // The next (+1) or previous (-1) image of the listing.
  void step(int direction);

  // Full screen on or off; the window keeps its picture.
  void setFullScreen(bool on);
  // When the picture shown carries a turn not yet in its file, asks whether
  // to save it (then saves it in the background) or not.
  void settleTurn();

  CPictureView* view() const { return view_; }
  CSlideshow& slideshow() const { return *slideshow_; }
  CRotationModel& rotation() const { return *rotation_; }
  QAction* fullScreenAction() const { return fullScreen_; }
  QAction* slideshowAction() const { return slideshowAction_; }
  QAction* rotateLeftAction() const { return rotateLeft_; }
  QAction* rotateRightAction() const { return rotateRight_; }
  // The slideshow's intervals, one checkable action each.
  QMenu* intervalMenu() const { return intervalMenu_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createActions();
  void createIntervalMenu();
  QAction* addKeyAction(const QString& text, const QList<QKeySequence>& keys);
  // A line between groups of the context menu.
  void addSeparatorAction();
  // Zooms to zoom about anchor (view coordinates), decoding the whole
  // picture when the zoom needs it.
  void setZoom(double zoom, const QPointF& anchor);
  QPointF viewCentre() const;
  // Ctrl+wheel at anchor (view coordinates): delta > 0 zooms in.
  void zoomByWheel(const QPointF& anchor, int delta);
  // Right/Left/Up/Down: a pan step when the picture reaches past the window
  // that way; Right and Left step through the listing otherwise.
  void panOrStep(int dx, int dy);
  // From the main window too: opens the window on the current image first.
  bool showCurrentIfHidden();
  void toggleFullScreen();
  void toggleSlideshow();
  void turn(int quarterTurns);
  void onSlideshowState();
  // Where the window was, from and to the settings.
  bool restorePlace();
  void rememberPlace() const;

  CFolimDoc& doc_;
  CPictureView* view_ = nullptr;
  CSlideshow* slideshow_ = nullptr;
  CRotationModel* rotation_ = nullptr;
  QRect workArea_;
  // The window has its size and place for this session.
  bool placed_ = false;
  // Full screen came with the slideshow and goes with it.
  bool slideshowFullScreen_ = false;
  QAction* fullScreen_ = nullptr;
  QAction* slideshowAction_ = nullptr;
  QAction* rotateLeft_ = nullptr;
  QAction* rotateRight_ = nullptr;
  QMenu* intervalMenu_ = nullptr;
  QActionGroup* intervals_ = nullptr;
};
