#include "support/bmp_file.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "support/bytes.h"
#include "support/test_support.h"

namespace testing_support {

namespace {

bool fail(std::string* error, const char* reason) {
  if (error != nullptr) *error = reason;
  return false;
}

}  // namespace

bool loadBmp(const std::string& path, CImage& image, std::string* error) {
  image.Destroy();
  const std::string bytes = readFileBytes(path);
  if (bytes.size() < 54 || bytes[0] != 'B' || bytes[1] != 'M') return fail(error, "not a BMP");
  const std::uint32_t dataOffset = getU32(bytes, 10);
  const std::uint32_t headerSize = getU32(bytes, 14);
  if (headerSize < 40 || 14 + static_cast<std::uint64_t>(headerSize) > bytes.size()) {
    return fail(error, "unsupported header");
  }
  const int width = static_cast<std::int32_t>(getU32(bytes, 18));
  const int height = static_cast<std::int32_t>(getU32(bytes, 22));
  const int bpp = static_cast<int>(getU16(bytes, 28));
  const std::uint32_t compression = getU32(bytes, 30);
  std::uint32_t colours = getU32(bytes, 46);

  unsigned flags = 0;
  if (compression == 3 && bpp == 16) {
    // Bit fields follow a 40-byte header; later headers hold them inside.
    const std::size_t masks = 14 + 40;
    if (masks + 12 > bytes.size()) return fail(error, "truncated bit fields");
    const std::uint32_t red = getU32(bytes, masks);
    const std::uint32_t green = getU32(bytes, masks + 4);
    const std::uint32_t blue = getU32(bytes, masks + 8);
    if (red == 0xF800 && green == 0x07E0 && blue == 0x001F) {
      flags |= CImage::kCreate565;
    } else if (!(red == 0x7C00 && green == 0x03E0 && blue == 0x001F)) {
      return fail(error, "unsupported bit fields");
    }
  } else if (compression == 3 && bpp == 32) {
    // Only the usual blue, green, red byte order is accepted.
  } else if (compression != 0) {
    return fail(error, "compressed BMP");
  }
  if (!image.Create(width, height, bpp, flags)) return fail(error, "cannot create the image");

  if (bpp <= 8) {
    const std::uint32_t tableSize = 1u << bpp;
    if (colours == 0 || colours > tableSize) colours = tableSize;
    const std::size_t table = 14 + headerSize;
    if (table + 4 * static_cast<std::uint64_t>(colours) > bytes.size()) {
      image.Destroy();
      return fail(error, "truncated colour table");
    }
    std::vector<std::uint32_t> entries(colours);
    for (std::uint32_t i = 0; i < colours; ++i)
      entries[i] = getU32(bytes, table + 4 * i) & 0xFFFFFFu;
    image.SetColorTable(0, colours, entries.data());
  }

  const std::uint32_t stride = CImage::RowBytes(width, bpp);
  const std::uint32_t rows = static_cast<std::uint32_t>(image.GetHeight());
  if (dataOffset + static_cast<std::uint64_t>(stride) * rows > bytes.size()) {
    image.Destroy();
    return fail(error, "truncated pixel data");
  }
  // Rows are stored in the file in the same order as in memory, so stored
  // row i goes to the row that lies i strides above the lowest address.
  const bool bottomUp = height > 0;
  for (std::uint32_t i = 0; i < rows; ++i) {
    const int y = bottomUp ? static_cast<int>(rows - 1 - i) : static_cast<int>(i);
    std::memcpy(image.GetPixelAddress(0, y), bytes.data() + dataOffset + std::size_t{stride} * i,
                stride);
  }
  return true;
}

}  // namespace testing_support
