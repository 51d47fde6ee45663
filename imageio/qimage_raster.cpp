#include "imageio/qimage_raster.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "codec/limits.h"

namespace imageio {
namespace {

std::size_t copyBytesPerRow(int width, int bitsPerPixel) {
  return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 7) / 8;
}

// The raster depth and creation flags for a Qt pixel format, and the format
// the pixels must be in to be copied row by row.
struct DepthChoice {
  int bitsPerPixel = 32;
  unsigned flags = 0;
  QImage::Format copyFormat = QImage::Format_RGB32;
};

DepthChoice chooseDepth(const QImage& image) {
  switch (image.format()) {
    // Palette formats keep their depth even when the palette has
    // transparent entries: an indexed image is not an alpha format.
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
      return {1, 0, QImage::Format_Mono};
    case QImage::Format_Indexed8:
      return {8, 0, QImage::Format_Indexed8};
    default:
      break;
  }
  if (image.hasAlphaChannel()) return {32, CImage::kCreateAlpha, QImage::Format_ARGB32};
  switch (image.format()) {
    case QImage::Format_RGB555:
      return {16, 0, QImage::Format_RGB555};
    case QImage::Format_RGB16:
      return {16, CImage::kCreate565, QImage::Format_RGB16};
    // Same depth, but the raster stores blue first.
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
      return {24, 0, QImage::Format_BGR888};
    default:
      return {32, 0, QImage::Format_RGB32};
  }
}

}  // namespace

bool rasterFromQImage(const QImage& source, CImage& target) {
  target.Destroy();
  if (source.isNull()) return false;
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(source.width()) * static_cast<std::uint64_t>(source.height());
  if (pixels > codecLimits().maxPixels) return false;

  const DepthChoice depth = chooseDepth(source);
  // Formats already matching are copied as they are; others are converted.
  const QImage converted =
      source.format() == depth.copyFormat ? source : source.convertToFormat(depth.copyFormat);
  if (converted.isNull()) return false;
  if (!target.Create(converted.width(), converted.height(), depth.bitsPerPixel, depth.flags))
    return false;

  if (depth.bitsPerPixel <= 8) {
    const QVector<QRgb> table = converted.colorTable();
    // Red, green, blue with the fourth byte 0. The whole table is set: an
    // index past the file's palette shows black, as Qt shows it, and not
    // the raster's initial grey ramp.
    const std::size_t size = std::size_t{1} << depth.bitsPerPixel;
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(table.size()), size);
    std::vector<std::uint32_t> entries(size, 0);
    for (std::size_t i = 0; i < count; ++i) entries[i] = table[static_cast<int>(i)] & 0x00FFFFFFu;
    target.SetColorTable(0, static_cast<std::uint32_t>(size), entries.data());
  }

  const std::size_t rowBytes = copyBytesPerRow(converted.width(), depth.bitsPerPixel);
  target.BeginAccess();
  for (int y = 0; y < converted.height(); ++y) {
    std::memcpy(target.GetBits() + static_cast<std::ptrdiff_t>(y) * target.GetPitch(),
                converted.constScanLine(y), rowBytes);
  }
  target.EndAccess();
  return true;
}

DirectRead readIntoRaster(QImageReader& reader, const QSize& size, CImage& target,
                          QImage& decoded) {
  target.Destroy();
  if (!size.isValid() || size.isEmpty()) return DirectRead::Unsuitable;
  if (reader.autoTransform() && reader.transformation() != QImageIOHandler::TransformationNone)
    return DirectRead::Unsuitable;
  const QImage::Format format = reader.imageFormat();
  if (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32)
    return DirectRead::Unsuitable;
  const std::uint64_t pixels =
      static_cast<std::uint64_t>(size.width()) * static_cast<std::uint64_t>(size.height());
  if (pixels > codecLimits().maxPixels) return DirectRead::Unsuitable;
  // Over the host's limit Qt refuses the picture itself, with its own words.
  const int limitMegabytes = QImageReader::allocationLimit();
  if (limitMegabytes > 0 && pixels * 4 > (std::uint64_t{1} << 20) * limitMegabytes)
    return DirectRead::Unsuitable;
  // A negative height: top-down rows, as QImage lays them out.
  const unsigned flags = format == QImage::Format_ARGB32 ? CImage::kCreateAlpha : 0u;
  if (!target.Create(size.width(), -size.height(), 32, flags)) return DirectRead::Unsuitable;
  // Qt's readers decode into an image of the right size and format as it
  // stands, here the raster's own pixels.
  QImage view(target.GetBits(), size.width(), size.height(), target.GetPitch(), format);
  const bool read = reader.read(&view);
  if (read && view.constBits() == target.GetBits() && view.size() == size &&
      view.format() == format)
    return DirectRead::Done;
  target.Destroy();
  if (!read) return DirectRead::Failed;
  decoded = view;
  return DirectRead::Decoded;
}

QImage qimageFromRaster(const CImage& source) {
  if (source.IsNull()) return QImage();
  const int width = source.GetWidth();
  const int height = source.GetHeight();
  const int bpp = source.GetBPP();

  QImage::Format format = QImage::Format_RGB32;
  switch (bpp) {
    case 1:
      format = QImage::Format_Mono;
      break;
    case 4:
    case 8:
      format = QImage::Format_Indexed8;
      break;
    case 16:
      format = source.Is565() ? QImage::Format_RGB16 : QImage::Format_RGB555;
      break;
    case 24:
      format = QImage::Format_BGR888;
      break;
    case 32:
      format = source.HasAlpha() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
      break;
    default:
      return QImage();
  }
  QImage out(width, height, format);
  if (out.isNull()) return QImage();

  if (bpp <= 8) {
    // Entries the raster lacks are black, as in a zero-filled colour table.
    const std::vector<std::uint32_t>& table = source.GetColorTable();
    QVector<QRgb> colours(1 << bpp, qRgb(0, 0, 0));
    for (std::size_t i = 0; i < table.size() && i < static_cast<std::size_t>(colours.size()); ++i)
      colours[static_cast<int>(i)] = 0xFF000000u | (table[i] & 0x00FFFFFFu);
    out.setColorTable(colours);
  }

  const std::size_t rowBytes = copyBytesPerRow(width, bpp);
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* from =
        source.GetBits() + static_cast<std::ptrdiff_t>(y) * source.GetPitch();
    std::uint8_t* to = out.scanLine(y);
    if (bpp == 4) {
      // Two pixels per byte, the left one in the high nibble.
      for (int x = 0; x < width; ++x)
        to[x] = static_cast<std::uint8_t>((x % 2 == 0 ? from[x / 2] >> 4 : from[x / 2]) & 0x0F);
      continue;
    }
    std::memcpy(to, from, rowBytes);
    if (bpp == 32 && !source.HasAlpha()) {
      // Qt requires the unused byte of a 32-bit RGB pixel to be 0xFF.
      for (int x = 0; x < width; ++x) to[4 * x + 3] = 0xFF;
    }
  }
  return out;
}

}  // namespace imageio
