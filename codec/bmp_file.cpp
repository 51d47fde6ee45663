#include "codec/bmp_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/atomic_file.h"

namespace bmp {
namespace {

constexpr std::uint32_t kHeaderBytes = 14 + 40;
using Header = std::array<std::uint8_t, kHeaderBytes>;
// Qt's default resolution, 100 dots per inch, in dots per metre.
constexpr std::uint32_t kDotsPerMetre = 3937;
// Rows go to the file a few hundred kilobytes at a time.
constexpr std::uint32_t kChunkBytes = 1u << 18;

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>((v >> 8) & 0xFFu);
}
void put32(std::uint8_t* p, std::uint32_t v) {
  put16(p, v & 0xFFFFu);
  put16(p + 2, v >> 16);
}

std::uint32_t rowBytes(const CImage& image) { return CImage::RowBytes(image.GetWidth(), 24); }

// The file and information headers; false when the file would pass 4 GiB.
bool makeHeader(const CImage& image, Header& header) {
  const auto width = static_cast<std::uint32_t>(image.GetWidth());
  const auto height = static_cast<std::uint32_t>(image.GetHeight());
  const std::uint64_t imageBytes = static_cast<std::uint64_t>(rowBytes(image)) * height;
  if (imageBytes + kHeaderBytes > UINT32_MAX) return false;
  header.fill(0);
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
  return true;
}

// Rows last - 1 down to last - count of image, as they follow each other in
// the file, into out (count x rowBytes bytes; the padding is zeroed).
void rowsUpwards(const CImage& image, std::uint32_t last, std::uint32_t count, std::uint8_t* out) {
  const std::uint32_t stride = rowBytes(image);
  const std::size_t pixelBytes = static_cast<std::size_t>(3) * image.GetWidth();
  for (std::uint32_t r = 0; r < count; ++r) {
    const std::uint8_t* src = image.GetPixelAddress(0, static_cast<int>(last - 1 - r));
    std::uint8_t* dst = out + static_cast<std::size_t>(r) * stride;
    std::copy(src, src + pixelBytes, dst);
    std::fill(dst + pixelBytes, dst + stride, std::uint8_t{0});
  }
}

}  // namespace

bool writable(const CImage& image) { return !image.IsNull() && image.GetBPP() == 24; }

bool write(const CImage& image, std::FILE* file) {
  Header header;
  if (!writable(image) || !makeHeader(image, header)) return false;
  if (std::fwrite(header.data(), 1, kHeaderBytes, file) != kHeaderBytes) return false;
  const auto height = static_cast<std::uint32_t>(image.GetHeight());
  const std::uint32_t stride = rowBytes(image);
  if (image.GetPitch() == -static_cast<int>(stride) &&
      stride == 3u * static_cast<std::uint32_t>(image.GetWidth())) {
    // Bottom-up rows without padding are the file's bytes as they lie.
    const std::size_t bytes = static_cast<std::size_t>(stride) * height;
    return std::fwrite(image.GetPixelAddress(0, static_cast<int>(height) - 1), 1, bytes, file) ==
           bytes;
  }
  const std::uint32_t rowsPerChunk = std::max<std::uint32_t>(1, kChunkBytes / stride);
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(rowsPerChunk) * stride);
  for (std::uint32_t done = 0; done < height;) {
    const std::uint32_t rows = std::min(rowsPerChunk, height - done);
    rowsUpwards(image, height - done, rows, chunk.data());
    const std::size_t bytes = static_cast<std::size_t>(rows) * stride;
    if (std::fwrite(chunk.data(), 1, bytes, file) != bytes) return false;
    done += rows;
  }
  return true;
}

bool save(const CImage& image, const std::string& path, int* error) {
  *error = EINVAL;
  if (!writable(image)) return false;
  platform::AtomicFile output(path);
  if (!output.open()) {
    *error = output.lastError();
    return false;
  }
  errno = 0;
  if (!write(image, output.file())) {
    *error = errno != 0 ? errno : EIO;
    return false;
  }
  if (!output.commit()) {
    *error = output.lastError();
    return false;
  }
  *error = 0;
  return true;
}

}  // namespace bmp
