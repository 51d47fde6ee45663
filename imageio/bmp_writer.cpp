#include "imageio/bmp_writer.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace imageio {
namespace {

constexpr std::uint32_t kHeaderBytes = 14 + 40;
// Qt's default resolution, 100 dots per inch, in dots per metre.
constexpr std::uint32_t kDotsPerMetre = 3937;

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFFu);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v & 0xFFFFu);
  put16(p + 2, v >> 16);
}

}  // namespace

bool directBmpWritable(const CImage& image) { return !image.IsNull() && image.GetBPP() == 24; }

bool writeBmp24(const CImage& image, QIODevice& out) {
  if (!directBmpWritable(image)) return false;
  const auto width = static_cast<std::uint32_t>(image.GetWidth());
  const auto height = static_cast<std::uint32_t>(image.GetHeight());
  const std::uint32_t rowBytes = CImage::RowBytes(image.GetWidth(), 24);
  const std::uint64_t imageBytes = static_cast<std::uint64_t>(rowBytes) * height;
  if (imageBytes + kHeaderBytes > UINT32_MAX) return false;

  std::array<std::uint8_t, kHeaderBytes> header{};
  header[0] = 'B';
  header[1] = 'M';
  put32(&header[2], static_cast<std::uint32_t>(imageBytes + kHeaderBytes));
  put32(&header[10], kHeaderBytes);
  put32(&header[14], 40);
  put32(&header[18], width);
  put32(&header[22], height);  // positive: bottom row first
  put16(&header[26], 1);
  put16(&header[28], 24);
  put32(&header[34], static_cast<std::uint32_t>(imageBytes));
  put32(&header[38], kDotsPerMetre);
  put32(&header[42], kDotsPerMetre);
  if (out.write(reinterpret_cast<const char*>(header.data()), kHeaderBytes) != kHeaderBytes)
    return false;

  // Rows from the bottom up, a few hundred kilobytes per write.
  const std::uint32_t pixelBytes = 3 * width;
  const std::uint32_t rowsPerChunk = std::max<std::uint32_t>(1, (1u << 18) / rowBytes);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(rowsPerChunk) * rowBytes, 0);
  for (std::uint32_t done = 0; done < height;) {
    const std::uint32_t rows = std::min(rowsPerChunk, height - done);
    for (std::uint32_t r = 0; r < rows; ++r) {
      const int y = static_cast<int>(height - 1 - (done + r));
      const std::uint8_t* src = image.GetPixelAddress(0, y);
      std::uint8_t* dst = chunk.data() + static_cast<std::size_t>(r) * rowBytes;
      std::copy(src, src + pixelBytes, dst);  // padding stays zero
    }
    const qint64 bytes = static_cast<qint64>(rows) * rowBytes;
    if (out.write(reinterpret_cast<const char*>(chunk.data()), bytes) != bytes) return false;
    done += rows;
  }
  return true;
}

}  // namespace imageio
