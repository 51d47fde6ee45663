#include "imageio/image_damage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/regular_file.h"

namespace imageio {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

const char* const kCutShort = "the file is damaged: its image data is cut short";

// Reads n bytes into out; false at the end of the file.
bool readBytes(std::FILE* file, unsigned char* out, std::size_t n) {
  return std::fread(out, 1, n, file) == n;
}

// Skips n bytes; false when the file ends first.
bool skipBytes(std::FILE* file, long n) {
  for (; n > 0; --n)
    if (std::getc(file) == EOF) return false;
  return true;
}

// A JPEG file is whole when its marker segments, and the entropy-coded data
// after each start of scan, lead to the end-of-image marker. An embedded
// thumbnail's end marker sits inside a segment and is skipped with it.
std::string jpegDamage(std::FILE* file) {
  int pending = -1;  // a marker code already read at the end of a scan
  for (;;) {
    int c = pending;
    pending = -1;
    if (c < 0) {
      // The next marker: 0xFF (any number of fill bytes), then its code.
      // Stray bytes between segments are skipped, as readers do.
      do {
        c = std::getc(file);
      } while (c != EOF && c != 0xFF);
      while (c == 0xFF) c = std::getc(file);
      if (c == EOF) return kCutShort;
    }
    if (c == 0xD9) return {};                                          // end of image
    if (c == 0x00 || c == 0x01 || (c >= 0xD0 && c <= 0xD8)) continue;  // no length
    unsigned char length[2];
    if (!readBytes(file, length, 2)) return kCutShort;
    const long size = (static_cast<long>(length[0]) << 8) | length[1];
    if (size < 2 || !skipBytes(file, size - 2)) return kCutShort;
    if (c != 0xDA) continue;
    // Entropy-coded data: 0xFF 0x00 is a data byte, 0xFF 0xD0..D7 a restart;
    // any other marker ends the scan and is the next segment.
    while (pending < 0) {
      c = std::getc(file);
      if (c == EOF) return kCutShort;
      if (c != 0xFF) continue;
      while (c == 0xFF) c = std::getc(file);
      if (c == EOF) return kCutShort;
      if (c != 0x00 && (c < 0xD0 || c > 0xD7)) pending = c;
    }
  }
}

std::uint32_t le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

// A BMP file is whole when it is long enough for the pixel rows its header
// announces (the last row's padding may be missing).
std::string bmpDamage(std::FILE* file) {
  unsigned char head[54] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  if (got < 26) return kCutShort;
  const std::uint32_t offset = le32(head + 10);
  const std::uint32_t infoSize = le32(head + 14);
  std::uint64_t width = 0, height = 0, bits = 0, compression = 0, imageSize = 0;
  if (infoSize == 12) {
    width = le16(head + 18);
    height = le16(head + 20);
    bits = le16(head + 24);
  } else {
    if (got < sizeof head) return kCutShort;
    width = static_cast<std::uint64_t>(
        std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(le32(head + 18)))));
    height = static_cast<std::uint64_t>(
        std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(le32(head + 22)))));
    bits = le16(head + 28);
    compression = le32(head + 30);
    imageSize = le32(head + 34);
  }
  std::uint64_t needed = 0;
  if (compression == 0 || compression == 3 || compression == 6) {
    if (width == 0 || height == 0 || bits == 0) return {};  // the reader refuses these itself
    const std::uint64_t stride = (width * bits + 31) / 32 * 4;
    needed = offset + stride * (height - 1) + (width * bits + 7) / 8;
  } else if (compression == 1 || compression == 2) {
    needed = offset + imageSize;  // run-length data: as long as the header says
  } else {
    return {};
  }
  if (std::fseek(file, 0, SEEK_END) != 0) return {};
  const long end = std::ftell(file);
  if (end < 0) return {};
  return static_cast<std::uint64_t>(end) < needed ? kCutShort : std::string();
}

// Skips a chain of GIF data sub-blocks up to its terminator.
bool skipSubBlocks(std::FILE* file) {
  for (;;) {
    const int size = std::getc(file);
    if (size == EOF) return false;
    if (size == 0) return true;
    if (!skipBytes(file, size)) return false;
  }
}

// A GIF file is whole when every block up to the trailer is complete. A
// missing trailer after complete images is tolerated, as viewers do.
std::string gifDamage(std::FILE* file) {
  unsigned char screen[13];
  if (!readBytes(file, screen, sizeof screen)) return kCutShort;
  if ((screen[10] & 0x80) != 0 && !skipBytes(file, 3L << ((screen[10] & 7) + 1))) return kCutShort;
  bool imageSeen = false;
  for (;;) {
    const int block = std::getc(file);
    if (block == EOF) return imageSeen ? std::string() : kCutShort;
    if (block == 0x3B) return {};
    if (block == 0x21) {
      if (std::getc(file) == EOF || !skipSubBlocks(file)) return kCutShort;
    } else if (block == 0x2C) {
      unsigned char descriptor[9];
      if (!readBytes(file, descriptor, sizeof descriptor)) return kCutShort;
      if ((descriptor[8] & 0x80) != 0 && !skipBytes(file, 3L << ((descriptor[8] & 7) + 1)))
        return kCutShort;
      if (std::getc(file) == EOF || !skipSubBlocks(file)) return kCutShort;  // LZW code size, data
      imageSeen = true;
    } else {
      return "the file is damaged: an unknown block follows its images";
    }
  }
}

}  // namespace

std::string imageDamage(const std::string& path) {
  const File file(platform::openRegularStream(path));
  if (!file) return {};  // the loader reports what cannot be opened
  unsigned char magic[4] = {};
  const std::size_t got = std::fread(magic, 1, sizeof magic, file.get());
  std::rewind(file.get());
  if (got >= 3 && magic[0] == 0xFF && magic[1] == 0xD8 && magic[2] == 0xFF)
    return jpegDamage(file.get());
  if (got >= 2 && magic[0] == 'B' && magic[1] == 'M') return bmpDamage(file.get());
  if (got >= 4 && magic[0] == 'G' && magic[1] == 'I' && magic[2] == 'F' && magic[3] == '8')
    return gifDamage(file.get());
  return {};
}

}  // namespace imageio
