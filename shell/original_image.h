// The modeless window that shows the selected image at full size, or scaled
// down to the screen's work area when it does not fit there. Right/Left
// (and Space/Backspace) step through the listing; +, - and 0 (and
// Ctrl+wheel) zoom in, out and back to fitting the window, 1 to 100 %. A
// large photograph is shown from a reduced decode until the zoom asks for
// more pixels than that holds.
#pragma once

#include <QDialog>
#include <QMargins>
#include <QRect>

class CFolimDoc;
class QScreen;

class COriginalImage : public QDialog {
  Q_OBJECT

 public:
  // Shows the document's current image; starts hidden.
  explicit COriginalImage(CFolimDoc& doc);
  ~COriginalImage() override;

  // The showing sequence: caption, the picture taken over from the current
  // image (or loaded), size and place, then shown on top.
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
  double zoom() const { return zoom_; }
  void zoomIn();
  void zoomOut();
  void zoomToFit();
  // One picture pixel to one screen pixel.
  void zoomToActualSize();
  // The next (+1) or previous (-1) image of the listing.
  void step(int direction);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  // The scale at which the picture fits the window.
  double fitScale() const;
  // Sets the zoom, decoding the whole picture when the zoom needs it.
  void setZoom(double zoom);

  CFolimDoc& doc_;
  QRect workArea_;
  double zoom_ = 0.0;
};
