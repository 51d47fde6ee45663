#include "codec/raster.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <utility>

#include "codec/limits.h"
#include "numeric/status_guard.h"

namespace {

bool supportedDepth(int bitsPerPixel) {
  switch (bitsPerPixel) {
    case 1:
    case 4:
    case 8:
    case 16:
    case 24:
    case 32:
      return true;
    default:
      return false;
  }
}

std::uint64_t rowBytes64(std::uint64_t width, std::uint64_t bitsPerPixel) {
  return ((bitsPerPixel * width + 31) / 32) * 4;
}

// Expands a 5 or 6-bit channel to 8 bits by repeating its top bits, so that
// the darkest and brightest codes become 0 and 255.
inline std::uint32_t expand5(std::uint32_t c) { return (c << 3) | (c >> 2); }
inline std::uint32_t expand6(std::uint32_t c) { return (c << 2) | (c >> 4); }

// Colour table entries are stored blue in the low byte; colour words hold red there.
inline std::uint32_t tableEntryToWord(std::uint32_t entry) {
  return makeColorWord((entry >> 16) & 0xFFu, (entry >> 8) & 0xFFu, entry & 0xFFu);
}

}  // namespace

CImage::CImage(const CImage& other)
    : pixels_(other.pixels_),
      width_(other.width_),
      height_(other.height_),
      pitch_(other.pitch_),
      bitsPerPixel_(other.bitsPerPixel_),
      hasAlpha_(other.hasAlpha_),
      is565_(other.is565_),
      bottomUp_(other.bottomUp_),
      transparentIndex_(other.transparentIndex_),
      colorTable_(other.colorTable_) {
  // A copy is a new image: its pixel access starts closed.
  rebindTopRow();
}

CImage::CImage(CImage&& other) noexcept
    : pixels_(std::move(other.pixels_)),
      width_(other.width_),
      height_(other.height_),
      pitch_(other.pitch_),
      bitsPerPixel_(other.bitsPerPixel_),
      hasAlpha_(other.hasAlpha_),
      is565_(other.is565_),
      bottomUp_(other.bottomUp_),
      transparentIndex_(other.transparentIndex_),
      colorTable_(std::move(other.colorTable_)) {
  rebindTopRow();
  other.Destroy();
}

CImage& CImage::operator=(const CImage& other) {
  if (this == &other) return *this;
  // Copy into a temporary first so that a failed allocation leaves this image intact.
  CImage copy(other);
  *this = std::move(copy);
  return *this;
}

CImage& CImage::operator=(CImage&& other) noexcept {
  if (this == &other) return *this;
  // The access count belongs to the object, not to the pixels it holds.
  pixels_ = std::move(other.pixels_);
  width_ = other.width_;
  height_ = other.height_;
  pitch_ = other.pitch_;
  bitsPerPixel_ = other.bitsPerPixel_;
  hasAlpha_ = other.hasAlpha_;
  is565_ = other.is565_;
  bottomUp_ = other.bottomUp_;
  transparentIndex_ = other.transparentIndex_;
  colorTable_ = std::move(other.colorTable_);
  rebindTopRow();
  other.Destroy();
  return *this;
}

std::uint32_t CImage::RowBytes(int width, int bitsPerPixel) {
  if (width <= 0 || bitsPerPixel <= 0) return 0;
  const std::uint64_t bytes =
      rowBytes64(static_cast<std::uint64_t>(width), static_cast<std::uint64_t>(bitsPerPixel));
  return bytes > UINT32_MAX ? UINT32_MAX : static_cast<std::uint32_t>(bytes);
}

bool CImage::Create(int width, int height, int bitsPerPixel, unsigned flags) {
  Destroy();
  if (width <= 0 || height == 0 || height == INT_MIN || !supportedDepth(bitsPerPixel)) {
    return false;
  }
  const std::uint64_t rows = static_cast<std::uint64_t>(height < 0 ? -height : height);
  const std::uint64_t cols = static_cast<std::uint64_t>(width);
  // The pixel count is bounded like any image the codec handles, and the
  // byte count must keep every row offset (y * pitch) inside a signed int.
  if (cols * rows > codecLimits().maxPixels) return false;
  const std::uint64_t stride = rowBytes64(cols, static_cast<std::uint64_t>(bitsPerPixel));
  const std::uint64_t total = stride * rows;
  if (total > static_cast<std::uint64_t>(INT_MAX)) return false;

  const Status allocated = guardStatus([&] {
    if ((flags & kCreateUnfilled) != 0)
      pixels_.resize(static_cast<std::size_t>(total));
    else
      pixels_.assign(static_cast<std::size_t>(total), 0);
    if (bitsPerPixel <= 8) {
      // A fresh palette is a grey ramp, so that an image whose table is never
      // set still reads as defined colours.
      const std::uint32_t entries = 1u << bitsPerPixel;
      colorTable_.resize(entries);
      for (std::uint32_t i = 0; i < entries; ++i) {
        const std::uint32_t grey = i * 255u / (entries - 1);
        colorTable_[i] = (grey << 16) | (grey << 8) | grey;
      }
    }
  });
  if (allocated != status::Success) {
    Destroy();
    return false;
  }

  width_ = width;
  height_ = static_cast<int>(rows);
  bitsPerPixel_ = bitsPerPixel;
  bottomUp_ = height > 0;
  pitch_ = bottomUp_ ? -static_cast<int>(stride) : static_cast<int>(stride);
  hasAlpha_ = bitsPerPixel == 32 && (flags & kCreateAlpha) != 0;
  is565_ = bitsPerPixel == 16 && (flags & kCreate565) != 0;
  transparentIndex_ = -1;
  rebindTopRow();
  return true;
}

void CImage::Destroy() {
  decltype(pixels_)().swap(pixels_);
  std::vector<std::uint32_t>().swap(colorTable_);
  topRow_ = nullptr;
  width_ = 0;
  height_ = 0;
  pitch_ = 0;
  bitsPerPixel_ = 0;
  hasAlpha_ = false;
  is565_ = false;
  bottomUp_ = true;
  transparentIndex_ = -1;
}

void CImage::rebindTopRow() {
  if (pixels_.empty() || height_ <= 0) {
    topRow_ = nullptr;
    return;
  }
  const std::size_t stride = static_cast<std::size_t>(pitch_ < 0 ? -pitch_ : pitch_);
  topRow_ =
      bottomUp_ ? pixels_.data() + stride * static_cast<std::size_t>(height_ - 1) : pixels_.data();
}

std::uint8_t* CImage::GetPixelAddress(int x, int y) {
  return const_cast<std::uint8_t*>(static_cast<const CImage&>(*this).GetPixelAddress(x, y));
}

const std::uint8_t* CImage::GetPixelAddress(int x, int y) const {
  if (topRow_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return nullptr;
  const std::ptrdiff_t row = static_cast<std::ptrdiff_t>(y) * pitch_;
  const std::ptrdiff_t column = static_cast<std::ptrdiff_t>(x) * bitsPerPixel_ / 8;
  return topRow_ + row + column;
}

void CImage::SetColorTable(std::uint32_t first, std::uint32_t count, const std::uint32_t* entries) {
  if (entries == nullptr || first >= colorTable_.size()) return;
  const std::uint32_t room = static_cast<std::uint32_t>(colorTable_.size()) - first;
  const std::uint32_t n = std::min(count, room);
  for (std::uint32_t i = 0; i < n; ++i) colorTable_[first + i] = entries[i] & 0x00FFFFFFu;
}

std::uint32_t CImage::GetPixel(int x, int y) const {
  if (topRow_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
  const std::uint8_t* row = topRow_ + static_cast<std::ptrdiff_t>(y) * pitch_;
  std::uint32_t index = 0;
  switch (bitsPerPixel_) {
    case 24: {
      const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
      return makeColorWord(p[2], p[1], p[0]);
    }
    case 32: {
      // The alpha byte plays no part in the colour word.
      const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
      return makeColorWord(p[2], p[1], p[0]);
    }
    case 16: {
      const std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 2;
      const std::uint32_t v =
          static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8);
      if (is565_) {
        return makeColorWord(expand5((v >> 11) & 31u), expand6((v >> 5) & 63u), expand5(v & 31u));
      }
      return makeColorWord(expand5((v >> 10) & 31u), expand5((v >> 5) & 31u), expand5(v & 31u));
    }
    case 8:
      index = row[x];
      break;
    case 4:
      index = (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0x0Fu;
      break;
    case 1:
      index = (row[x >> 3] >> (7 - (x & 7))) & 0x01u;
      break;
    default:
      return 0;
  }
  // An index past the table (a short palette) reads as black.
  return index < colorTable_.size() ? tableEntryToWord(colorTable_[index]) : 0;
}

void CImage::SetPixel(int x, int y, std::uint32_t colour) {
  if (topRow_ == nullptr || x < 0 || y < 0 || x >= width_ || y >= height_) return;
  std::uint8_t* row = topRow_ + static_cast<std::ptrdiff_t>(y) * pitch_;
  if (bitsPerPixel_ == 24) {
    std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 3;
    p[0] = static_cast<std::uint8_t>(colorBlue(colour));
    p[1] = static_cast<std::uint8_t>(colorGreen(colour));
    p[2] = static_cast<std::uint8_t>(colorRed(colour));
  } else if (bitsPerPixel_ == 32) {
    std::uint8_t* p = row + static_cast<std::ptrdiff_t>(x) * 4;
    p[0] = static_cast<std::uint8_t>(colorBlue(colour));
    p[1] = static_cast<std::uint8_t>(colorGreen(colour));
    p[2] = static_cast<std::uint8_t>(colorRed(colour));
    // A colour word carries no alpha: a written pixel is opaque where alpha counts.
    p[3] = hasAlpha_ ? 0xFFu : 0u;
  }
}
