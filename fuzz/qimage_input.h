// How fuzz_qimage_raster (and the test replaying its regressions) turns
// bytes into a QImage: format, width, height (small) and colour table size
// from the first bytes, then the table entries, then the pixel bytes,
// repeated to fill the image.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>

namespace fuzz_input {

inline QImage qimageFromBytes(const std::uint8_t* data, std::size_t size) {
  std::size_t at = 0;
  auto u8 = [&]() -> std::uint32_t { return at < size ? data[at++] : 0u; };
  const auto format = static_cast<QImage::Format>(1 + u8() % (QImage::NImageFormats - 1));
  const int width = 1 + static_cast<int>(u8() % 48);
  const int height = 1 + static_cast<int>(u8() % 48);
  const int tableSize = static_cast<int>(u8());  // may be fewer than the indices need

  QImage image(width, height, format);
  if (image.isNull()) return image;
  if (format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
      format == QImage::Format_Indexed8) {
    QVector<QRgb> table(tableSize);
    for (QRgb& entry : table) entry = u8() | (u8() << 8) | (u8() << 16) | (u8() << 24);
    image.setColorTable(table);
  }
  const std::uint8_t* rest = data + (at < size ? at : size);
  const std::size_t restSize = at < size ? size - at : 0;
  std::size_t k = 0;
  for (int y = 0; y < height; ++y) {
    std::uint8_t* line = image.scanLine(y);
    for (qsizetype i = 0; i < image.bytesPerLine(); ++i)
      line[i] = restSize == 0 ? 0 : rest[k++ % restSize];
  }
  return image;
}

// Formats whose pixels reach the raster unchanged, so that every pixel must
// read back as Qt reports it.
inline bool exactFormat(QImage::Format format) {
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

}  // namespace fuzz_input
