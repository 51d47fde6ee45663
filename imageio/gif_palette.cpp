#include "imageio/gif_palette.h"

#include <fstream>
#include <unordered_map>

namespace imageio {
namespace {

// Reads exactly n bytes; false at the end of the file.
bool readBytes(std::istream& in, std::uint8_t* out, std::size_t n) {
  in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(n));
  return static_cast<std::size_t>(in.gcount()) == n;
}

bool readTable(std::istream& in, std::uint8_t flags, std::vector<std::uint32_t>& colours) {
  const std::size_t count = std::size_t{2} << (flags & 0x07);
  std::vector<std::uint8_t> bytes(count * 3);
  if (!readBytes(in, bytes.data(), bytes.size())) return false;
  colours.resize(count);
  for (std::size_t i = 0; i < count; ++i)
    colours[i] = (std::uint32_t{bytes[3 * i]} << 16) | (std::uint32_t{bytes[3 * i + 1]} << 8) |
                 bytes[3 * i + 2];
  return true;
}

// Skips data sub-blocks up to and including the empty terminator.
bool skipSubBlocks(std::istream& in) {
  for (;;) {
    std::uint8_t size = 0;
    if (!readBytes(in, &size, 1)) return false;
    if (size == 0) return true;
    in.seekg(size, std::ios::cur);
    if (!in) return false;
  }
}

}  // namespace

std::optional<GifPalette> readGifPalette(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint8_t header[13];
  if (!in || !readBytes(in, header, sizeof header)) return std::nullopt;
  if (std::string(reinterpret_cast<char*>(header), 3) != "GIF") return std::nullopt;

  GifPalette palette;
  if ((header[10] & 0x80) != 0 && !readTable(in, header[10], palette.colours)) return std::nullopt;

  for (;;) {
    std::uint8_t introducer = 0;
    if (!readBytes(in, &introducer, 1)) return std::nullopt;
    if (introducer == 0x2C) {  // image descriptor
      std::uint8_t descriptor[9];
      if (!readBytes(in, descriptor, sizeof descriptor)) return std::nullopt;
      if ((descriptor[8] & 0x80) != 0 && !readTable(in, descriptor[8], palette.colours))
        return std::nullopt;
      break;
    }
    if (introducer != 0x21) return std::nullopt;  // trailer or damage before any image
    std::uint8_t label = 0;
    if (!readBytes(in, &label, 1)) return std::nullopt;
    if (label == 0xF9) {      // graphic control: the transparent index of the image
      std::uint8_t block[6];  // size 4, flags, delay (2), index, terminator
      if (!readBytes(in, block, sizeof block) || block[0] != 4) return std::nullopt;
      palette.transparentIndex = (block[1] & 0x01) != 0 ? block[4] : -1;
      if (block[5] != 0 && !skipSubBlocks(in)) return std::nullopt;
      continue;
    }
    if (!skipSubBlocks(in)) return std::nullopt;
  }
  if (palette.colours.empty()) return std::nullopt;
  if (palette.transparentIndex >= static_cast<int>(palette.colours.size()))
    palette.transparentIndex = -1;
  return palette;
}

QImage indexedWithPalette(const QImage& decoded, const GifPalette& palette) {
  if (decoded.isNull() || palette.colours.empty() || palette.colours.size() > 256) return QImage();
  const QImage source = decoded.convertToFormat(QImage::Format_ARGB32);
  QImage out(source.size(), QImage::Format_Indexed8);
  if (source.isNull() || out.isNull()) return QImage();

  QVector<QRgb> table(static_cast<int>(palette.colours.size()));
  std::unordered_map<std::uint32_t, std::uint8_t> indexOf;
  for (std::size_t i = palette.colours.size(); i-- > 0;) {
    const bool transparent = static_cast<int>(i) == palette.transparentIndex;
    table[static_cast<int>(i)] = (transparent ? 0u : 0xFF000000u) | palette.colours[i];
    indexOf[palette.colours[i]] = static_cast<std::uint8_t>(i);  // the first entry wins
  }
  out.setColorTable(table);

  for (int y = 0; y < source.height(); ++y) {
    const QRgb* from = reinterpret_cast<const QRgb*>(source.constScanLine(y));
    std::uint8_t* to = out.scanLine(y);
    for (int x = 0; x < source.width(); ++x) {
      if (qAlpha(from[x]) == 0 && palette.transparentIndex >= 0) {
        to[x] = static_cast<std::uint8_t>(palette.transparentIndex);
        continue;
      }
      const auto found = indexOf.find(from[x] & 0x00FFFFFFu);
      if (found == indexOf.end()) return QImage();
      to[x] = found->second;
    }
  }
  return out;
}

}  // namespace imageio
