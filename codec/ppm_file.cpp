#include "codec/ppm_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <new>

#include "codec/limits.h"

namespace ppm {
namespace {

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Rows converted at a time: a few hundred kilobytes of samples.
constexpr int kRowsPerRead = 64;

bool blank(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A decimal number of at most nine digits after any blanks and comments
// ("#" to the end of the line); the character after it must be a blank.
bool number(std::FILE* f, std::uint32_t& value) {
  int c = std::fgetc(f);
  for (;;) {
    while (blank(c)) c = std::fgetc(f);
    if (c != '#') break;
    while (c != '\n' && c != '\r' && c != EOF) c = std::fgetc(f);
  }
  int digits = 0;
  value = 0;
  for (; c >= '0' && c <= '9'; c = std::fgetc(f)) {
    if (++digits > 9) return false;
    value = value * 10 + static_cast<std::uint32_t>(c - '0');
  }
  return digits > 0 && blank(c);
}

// Opens path and reads its header; f is left at the first pixel byte.
bool header(const std::string& path, File& f, int& width, int& height) {
  f.reset(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  struct stat info {};
  if (::fstat(::fileno(f.get()), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (std::fgetc(f.get()) != 'P' || std::fgetc(f.get()) != '6') return false;
  std::uint32_t w = 0, h = 0, top = 0;
  if (!number(f.get(), w) || !number(f.get(), h) || !number(f.get(), top)) return false;
  if (top != 255 || w == 0 || h == 0) return false;
  if (std::uint64_t{w} * h > codecLimits().maxPixels) return false;
  const long start = std::ftell(f.get());
  if (start < 0) return false;
  const std::uint64_t expected = static_cast<std::uint64_t>(start) + std::uint64_t{w} * h * 3;
  if (static_cast<std::uint64_t>(info.st_size) != expected) return false;
  width = static_cast<int>(w);
  height = static_cast<int>(h);
  return true;
}

}  // namespace

bool probe(const std::string& path, int& width, int& height) {
  File f;
  return header(path, f, width, height);
}

bool read(const std::string& path, CImage& image) {
  image.Destroy();
  File f;
  int width = 0, height = 0;
  if (!header(path, f, width, height)) return false;
  // A negative height: top row first.
  // Every byte of a 32-bit row is a pixel's, and each is written below.
  if (!image.Create(width, -height, 32, CImage::kCreateUnfilled)) return false;
  // Left unset: every byte is read into before it is used.
  const std::unique_ptr<std::uint8_t[]> samples(
      new (std::nothrow) std::uint8_t[static_cast<std::size_t>(width) * 3 * kRowsPerRead]);
  if (!samples) {
    image.Destroy();
    return false;
  }
  for (int y = 0; y < height; y += kRowsPerRead) {
    const int rows = std::min(kRowsPerRead, height - y);
    const std::size_t bytes = static_cast<std::size_t>(width) * 3 * rows;
    if (std::fread(samples.get(), 1, bytes, f.get()) != bytes) {
      image.Destroy();
      return false;
    }
    for (int r = 0; r < rows; ++r) {
      const std::uint8_t* in = samples.get() + static_cast<std::size_t>(r) * width * 3;
      std::uint8_t* out = image.GetPixelAddress(0, y + r);
      for (int x = 0; x < width; ++x, in += 3, out += 4) {
        out[0] = in[2];
        out[1] = in[1];
        out[2] = in[0];
        out[3] = 255;
      }
    }
  }
  return true;
}

}  // namespace ppm
