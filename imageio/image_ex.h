// The raster as the desktop shell and the command line use it: the codec's
// raster plus the image's base type and its display rectangle, with loading
// from any image file (RIM files through the RIM decoder, everything else
// through Qt's image readers), fitting, drawing and thumbnails.
#pragma once

#include <cstdint>
#include <string>

#include "codec/base_type.h"
#include "codec/raster.h"

class QColor;
class QImage;
class QPainter;

inline constexpr int THUMBNAIL_SIZE = 96;
// A RIM preview at most this small in both directions is replaced by the full
// decode for a thumbnail.
inline constexpr double kPreviewThreshold = 67.2;

class CImageEx : public CImage {
 public:
  // Every image object counts as a live raster (see image_library.h).
  // Copies copy the pixels: two images never share a bitmap.
  CImageEx();
  CImageEx(const CImageEx& other);
  CImageEx& operator=(const CImageEx& other);
  // Takes over the pixels without copying them (large photographs).
  CImageEx& operator=(CImageEx&& other) noexcept;
  ~CImageEx() override;

  // Replaces the contents by the file's image and sets m_nBaseType. Returns
  // false only when a RIM file fails to decode. When the image stays empty,
  // error (when given) receives the reason.
  bool LoadImageFile(const std::string& path, bool forThumbnail, std::string* error = nullptr);
  // As LoadImageFile (not for a thumbnail), for showing the picture fitted
  // into a box: a large photograph may be decoded at a reduced size that
  // still covers the box (see LoadReducedWithImageLibrary). Such pixels are
  // for the screen only; FullWidth and FullHeight keep the whole picture's.
  bool LoadImageFileForScreen(const std::string& path, int boxWidth, int boxHeight,
                              std::string* error = nullptr);
  // The size of the whole picture the pixels show, and whether they show it
  // reduced (then 2, 4 or 8 times smaller on each side).
  int FullWidth() const { return IsReduced() ? m_nFullWidth : GetWidth(); }
  int FullHeight() const { return IsReduced() ? m_nFullHeight : GetHeight(); }
  bool IsReduced() const;
  // The pixels suffice to show the picture fitted into the box.
  bool CoversBox(int boxWidth, int boxHeight) const;

  // The largest rectangle of the (whole) image's aspect ratio inside a box at (0, 0),
  // centred along the direction with room to spare.
  void FitInto(int boxWidth, int boxHeight);
  void SetDrawRect(int x, int y, int width, int height);
  // Stretches the whole image into the display rectangle.
  void DrawAtRect(QPainter& painter) const;
  // A 96 x 96 thumbnail: the base-type background with the image drawn into
  // the display rectangle (set it first with FitInto(96, 96)).
  bool MakeThumbnail(QImage& bitmap) const;

  std::uint16_t m_nBaseType = kBaseTypeOther;
  int m_nDrawX = 0;
  int m_nDrawY = 0;
  int m_nDrawWidth = 0;
  int m_nDrawHeight = 0;

 private:
  void copyFields(const CImageEx& other);
  int m_nFullWidth = 0;
  int m_nFullHeight = 0;
  int m_nReduction = 1;
};

// The thumbnail background of a base type: dark red for PCA bases, dark blue
// for ICA bases, grey for anything else.
QColor baseTypeColour(std::uint16_t baseType);
