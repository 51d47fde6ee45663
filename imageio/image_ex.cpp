#include "imageio/image_ex.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRect>
#include <cmath>
#include <utility>

#include "codec/rim_codec.h"
#include "imageio/file_kind.h"
#include "imageio/image_library.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"

CImageEx::CImageEx() { imageio::rasterCreated(); }

CImageEx::CImageEx(const CImageEx& other)
    : CImage(other),
      m_nBaseType(other.m_nBaseType),
      m_nDrawX(other.m_nDrawX),
      m_nDrawY(other.m_nDrawY),
      m_nDrawWidth(other.m_nDrawWidth),
      m_nDrawHeight(other.m_nDrawHeight),
      m_nFullWidth(other.m_nFullWidth),
      m_nFullHeight(other.m_nFullHeight),
      m_nReduction(other.m_nReduction) {
  imageio::rasterCreated();
}

// Everything but the pixels, which the base class copies or moves.
void CImageEx::copyFields(const CImageEx& other) {
  m_nBaseType = other.m_nBaseType;
  m_nDrawX = other.m_nDrawX;
  m_nDrawY = other.m_nDrawY;
  m_nDrawWidth = other.m_nDrawWidth;
  m_nDrawHeight = other.m_nDrawHeight;
  m_nFullWidth = other.m_nFullWidth;
  m_nFullHeight = other.m_nFullHeight;
  m_nReduction = other.m_nReduction;
}

CImageEx& CImageEx::operator=(const CImageEx& other) {
  if (this == &other) return *this;
  CImage::operator=(other);
  copyFields(other);
  return *this;
}

CImageEx& CImageEx::operator=(CImageEx&& other) noexcept {
  if (this == &other) return *this;
  CImage::operator=(std::move(other));
  copyFields(other);
  return *this;
}

CImageEx::~CImageEx() { imageio::rasterDestroyed(); }

bool CImageEx::LoadImageFile(const std::string& path, bool forThumbnail, std::string* error) {
  if (!IsNull()) Destroy();
  m_nReduction = 1;

  if (GetFileKind(path) != kFileKindRim) {
    // An unreadable file simply leaves the image empty.
    LoadWithImageLibrary(path, *this, error);
    m_nBaseType = kBaseTypeOther;
    return true;
  }

  Status result = status::Success;
  std::uint16_t learningMethod = 0;
  {
    CRIMCodec codec;
    if (forThumbnail) {
      result = codec.renderAveragePreview(*this, path);
      learningMethod = codec.header.learningMethod;
    }
  }
  const bool previewTooSmall = static_cast<double>(GetWidth()) < kPreviewThreshold &&
                               static_cast<double>(GetHeight()) < kPreviewThreshold;
  if (!forThumbnail || previewTooSmall) {
    // A fresh codec for the full decode: a codec object serves one operation.
    CRIMCodec codec;
    result = codec.decodeFile(*this, path);
    learningMethod = codec.header.learningMethod;
  }
  if (result != status::Success) {
    m_nBaseType = kBaseTypeOther;
    if (error != nullptr) {
      *error = statusMessage(result);
      if (!error->empty() && error->back() == '\n') error->pop_back();
    }
    return false;
  }
  m_nBaseType = learningMethod;
  return true;
}

bool CImageEx::LoadImageFileForScreen(const std::string& path, int boxWidth, int boxHeight,
                                      std::string* error) {
  // RIM files have no reduced decode.
  if (GetFileKind(path) == kFileKindRim) return LoadImageFile(path, false, error);
  if (!IsNull()) Destroy();
  m_nBaseType = kBaseTypeOther;
  ReducedLoad load;
  LoadReducedWithImageLibrary(path, boxWidth, boxHeight, *this, load, error);
  m_nFullWidth = load.fullWidth;
  m_nFullHeight = load.fullHeight;
  m_nReduction = load.reduction;
  return true;
}

bool CImageEx::IsReduced() const {
  // Pixels put in by other means than the reduced load are whole.
  return m_nReduction > 1 && !IsNull() &&
         GetWidth() == (m_nFullWidth + m_nReduction - 1) / m_nReduction &&
         GetHeight() == (m_nFullHeight + m_nReduction - 1) / m_nReduction;
}

bool CImageEx::CoversBox(int boxWidth, int boxHeight) const {
  return !IsReduced() ||
         coveringReduction(m_nFullWidth, m_nFullHeight, boxWidth, boxHeight) >= m_nReduction;
}

void CImageEx::FitInto(int boxWidth, int boxHeight) {
  m_nDrawX = 0;
  m_nDrawY = 0;
  if (IsNull()) {
    // Nothing to fit; an empty rectangle draws nothing.
    m_nDrawWidth = 0;
    m_nDrawHeight = 0;
    return;
  }
  const double w = FullWidth();
  const double h = FullHeight();
  const double g = static_cast<double>(boxWidth) / w;
  const double e = static_cast<double>(boxHeight) / h;
  double scale = 0.0;
  if (e < g) {
    scale = e;
    m_nDrawX = static_cast<int>(std::trunc((boxWidth - w * e) * 0.5));
  } else {
    scale = g;
    m_nDrawY = static_cast<int>(std::trunc((boxHeight - h * g) * 0.5));
  }
  m_nDrawWidth = static_cast<int>(std::trunc(w * scale));
  m_nDrawHeight = static_cast<int>(std::trunc(h * scale));
}

void CImageEx::SetDrawRect(int x, int y, int width, int height) {
  m_nDrawX = x;
  m_nDrawY = y;
  m_nDrawWidth = width;
  m_nDrawHeight = height;
}

void CImageEx::DrawAtRect(QPainter& painter) const {
  if (IsNull() || m_nDrawWidth <= 0 || m_nDrawHeight <= 0) return;
  const QImage pixels = imageio::qimageFromRaster(*this);
  if (pixels.isNull()) return;
  painter.save();
  // A plain stretch: every target pixel takes one source pixel.
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(QRect(m_nDrawX, m_nDrawY, m_nDrawWidth, m_nDrawHeight), pixels);
  painter.restore();
}

QColor baseTypeColour(std::uint16_t baseType) {
  switch (baseType) {
    case kBaseTypePCA:
      return QColor(127, 0, 0);
    case kBaseTypeICA:
      return QColor(0, 0, 127);
    default:
      return QColor(127, 127, 127);
  }
}

bool CImageEx::MakeThumbnail(QImage& bitmap) const {
  bitmap = QImage(THUMBNAIL_SIZE, THUMBNAIL_SIZE, QImage::Format_RGB32);
  if (bitmap.isNull()) return false;
  bitmap.fill(baseTypeColour(m_nBaseType));
  QPainter painter;
  if (!painter.begin(&bitmap)) return false;
  DrawAtRect(painter);
  return painter.end();
}
