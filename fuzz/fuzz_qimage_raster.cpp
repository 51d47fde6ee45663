// Our part of loading an ordinary image: the depth rules that move a decoded
// QImage of any pixel format into the codec's raster, and the way back for
// saving. The QImage is built from the input (fuzz/qimage_input.h).
#include <QImage>
#include <QtGlobal>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "fuzz/qimage_input.h"
#include "imageio/qimage_raster.h"

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

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
  const QImage source = fuzz_input::qimageFromBytes(data, size);
  if (source.isNull()) return 0;
  const int width = source.width();
  const int height = source.height();

  CImage raster;
  if (!imageio::rasterFromQImage(source, raster)) std::abort();  // small images always fit
  if (raster.GetWidth() != width || raster.GetHeight() != height) std::abort();
  const bool exact = fuzz_input::exactFormat(source.format());
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
