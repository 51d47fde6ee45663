// The modeless window that shows the selected image at full size, or scaled
// down to the screen's work area when it does not fit there.
#pragma once

#include <QDialog>
#include <QMargins>
#include <QRect>

class CFolimDoc;
class QScreen;

class COriginalImage : public QDialog {
  Q_OBJECT

 public:
  // Registers itself as the document's full-size window; starts hidden.
  COriginalImage();
  ~COriginalImage() override;

  // The showing sequence: caption, the picture taken over from the current
  // image (or loaded), size and place, then shown on top.
  void ShowFullSizeImage(CFolimDoc& doc, QScreen* screen);
  // Client size = the image's size, centred in the work area; false (and
  // nothing changed) when the window would not fit.
  bool FitWindowToImage();
  // Client size = the fitted display size, at the work area's top-left.
  void SizeWindowToFittedImage();

  // The screen's area without panels, and the window decoration around the
  // client area (zero where the platform draws none).
  QRect workArea() const { return workArea_; }
  QMargins frameExtents() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  QRect workArea_;
};
