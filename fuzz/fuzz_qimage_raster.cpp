// Our part of loading an ordinary image: the depth rules that move a decoded
// QImage of any pixel format into the codec's raster, and the way back for
// saving. The QImage is built from the input: format, width and height from
// the first bytes (small), then a colour table and the pixel bytes.
#include <QImage>
#include <QtGlobal>
#include <cstdlib>
#include <cstring>

#include "fuzz/fuzz_support.h"
#include "imageio/qimage_raster.h"

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Formats whose pixels reach the raster unchanged, so that every pixel must
// read back as Qt reports it.
bool exactFormat(QImage::Format format) {
  switch (format) {
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Indexed8:
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_RGB16:
    case QImage::Format_RGB555:
    case QImage::Format_RGB888:
    case QImage::Format_BGR888:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_Grayscale8:
      return true;
    default:
      return false;
  }
}

bool sameRgb(std::uint32_t word, QRgb qt) {
  return colorRed(word) == static_cast<std::uint32_t>(qRed(qt)) &&
         colorGreen(word) == static_cast<std::uint32_t>(qGreen(qt)) &&
         colorBlue(word) == static_cast<std::uint32_t>(qBlue(qt));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  qInstallMessageHandler(dropMessages);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Fields in(data, size);
  const auto format =
      static_cast<QImage::Format>(1 + in.u8() % (QImage::NImageFormats - 1));
  const int width = 1 + in.u8() % 48;
  const int height = 1 + in.u8() % 48;
  const int tableSize = in.u8();  // 0 to 255 entries, fewer than the indices may need

  QImage source(width, height, format);
  if (source.isNull()) return 0;
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
      format == QImage::Format_Indexed8) {
    QVector<QRgb> table(tableSize);
    for (QRgb& entry : table) entry = in.u32();
    source.setColorTable(table);
  }
  // Pixel bytes from the rest of the input, repeated to fill the image.
  const std::uint8_t* rest = in.rest();
  const std::size_t restSize = in.restSize();
  std::size_t at = 0;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* line = source.scanLine(y);
    for (qsizetype i = 0; i < source.bytesPerLine(); ++i)
      line[i] = restSize == 0 ? 0 : rest[at++ % restSize];
  }

  CImage raster;
  if (!imageio::rasterFromQImage(source, raster)) std::abort();  // small images always fit
  if (raster.GetWidth() != width || raster.GetHeight() != height) std::abort();
  const bool exact = exactFormat(format);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t word = raster.GetPixel(x, y);
      if ((word >> 24) != 0) std::abort();
      if (exact && !sameRgb(word, source.pixel(x, y))) std::abort();
    }
  }

  // Back to a QImage for saving, and in again: the same raster.
  const QImage back = imageio::qimageFromRaster(raster);
  if (back.isNull()) std::abort();
  CImage again;
  if (!imageio::rasterFromQImage(back, again)) std::abort();
  if (again.GetBPP() != raster.GetBPP() || again.HasAlpha() != raster.HasAlpha()) std::abort();
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      if (again.GetPixel(x, y) != raster.GetPixel(x, y)) std::abort();
  return 0;
}
