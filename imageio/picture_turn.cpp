#include "imageio/picture_turn.h"

#include <cstring>
#include <vector>

#include "codec/base_type.h"
#include "imageio/export.h"
#include "imageio/file_kind.h"
#include "imageio/library_io.h"
#include "imageio/orientation_writer.h"

namespace {

// Pixels of fewer than 8 bits share bytes; the left pixel is in the high
// bits.
unsigned readIndex(const std::uint8_t* row, int x, int bits) {
  const int bit = x * bits;
  const int shift = 8 - bits - bit % 8;
  return (row[bit / 8] >> shift) & ((1u << bits) - 1);
}

void writeIndex(std::uint8_t* row, int x, int bits, unsigned index) {
  const int bit = x * bits;
  const int shift = 8 - bits - bit % 8;
  const unsigned mask = ((1u << bits) - 1) << shift;
  std::uint8_t& byte = row[bit / 8];
  byte = static_cast<std::uint8_t>((byte & ~mask) | ((index << shift) & mask));
}

}  // namespace

bool turnRaster(const CImage& source, int quarterTurns, CImage& target) {
  target.Destroy();
  if (source.IsNull()) return false;
  const int turns = (quarterTurns % 4 + 4) % 4;
  const int width = source.GetWidth();
  const int height = source.GetHeight();
  const bool sideways = turns % 2 == 1;
  const int bits = source.GetBPP();
  unsigned flags = 0;
  if (source.HasAlpha()) flags |= CImage::kCreateAlpha;
  if (source.Is565()) flags |= CImage::kCreate565;
  if (!target.Create(sideways ? height : width, sideways ? width : height, bits, flags))
    return false;
  const std::vector<std::uint32_t>& table = source.GetColorTable();
  if (!table.empty())
    target.SetColorTable(0, static_cast<std::uint32_t>(table.size()), table.data());

  source.BeginAccess();
  target.BeginAccess();
  const int bytes = bits / 8;
  for (int y = 0; y < target.GetHeight(); ++y) {
    std::uint8_t* row = target.GetBits() + static_cast<std::ptrdiff_t>(y) * target.GetPitch();
    for (int x = 0; x < target.GetWidth(); ++x) {
      // The source pixel that lands on (x, y).
      int sx = x, sy = y;
      if (turns == 1) {
        sx = y;
        sy = height - 1 - x;
      } else if (turns == 2) {
        sx = width - 1 - x;
        sy = height - 1 - y;
      } else if (turns == 3) {
        sx = width - 1 - y;
        sy = x;
      }
      const std::uint8_t* from =
          source.GetBits() + static_cast<std::ptrdiff_t>(sy) * source.GetPitch();
      if (bits < 8) {
        writeIndex(row, x, bits, readIndex(from, sx, bits));
      } else {
        std::memcpy(row + static_cast<std::ptrdiff_t>(x) * bytes,
                    from + static_cast<std::ptrdiff_t>(sx) * bytes,
                    static_cast<std::size_t>(bytes));
      }
    }
  }
  target.EndAccess();
  source.EndAccess();
  return true;
}

bool turnImageFile(const std::string& path, std::uint16_t baseType, int quarterTurns,
                   std::string& why) {
  const bool rim =
      baseType == kBaseTypePCA || baseType == kBaseTypeICA || GetFileKind(path) == kFileKindRim;
  if (!rim && isJpegFile(path)) return turnJpegByOrientation(path, quarterTurns, why);
  if (!rim && writerFormatFor(path).empty()) {
    why = "no image format for the extension '" + targetExtension(path) + "'";
    return false;
  }
  CImage picture;
  if (!LoadForSaving(path, baseType, picture, why)) return false;
  CImage turned;
  if (!turnRaster(picture, quarterTurns, turned)) {
    why = "the turned picture does not fit in memory";
    return false;
  }
  picture.Destroy();
  return rim ? SaveAsRim(turned, path, why) : SaveByExtension(turned, path, &why);
}
