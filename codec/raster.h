// The in-memory raster image the codec reads and writes: a device-independent
// bitmap with addressable rows, standing in for the platform image class.
//
// Rows are addressed from the top row with a signed pitch: row y (0 = top)
// starts at topRow + y * pitch. An image created with a positive height is
// stored bottom-up (negative pitch), a negative height gives top-down rows.
// Each row is padded to whole 32-bit words. Pixels are read and written as a
// colour word: bits 0-7 red, 8-15 green, 16-23 blue, 24-31 zero.
//
// Copying a raster copies its pixels: two rasters never share a bitmap.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/large_pages.h"

class CImage {
 public:
  enum CreateFlags : unsigned {
    kCreateAlpha = 1u,  // 32 bits per pixel with alpha (blue, green, red, alpha)
    kCreate565 = 2u,    // 16 bits per pixel as 5-6-5 (default 5-5-5)
    // The pixels are left unset instead of black, for a reader that writes
    // every byte of every row (padding included) before the image is used.
    kCreateUnfilled = 4u,
  };

  CImage() = default;
  // Copies and moves keep the top-row pointer bound to the image's own pixels.
  CImage(const CImage& other);
  CImage(CImage&& other) noexcept;
  CImage& operator=(const CImage& other);
  CImage& operator=(CImage&& other) noexcept;
  virtual ~CImage() = default;

  // Creates a zero-filled (black) bitmap of 1, 4, 8, 16, 24 or 32 bits per
  // pixel; any held bitmap is released first. Fails (false, image empty) for
  // other depths, a zero size or a bitmap too large to allocate: more pixels
  // than codecLimits().maxPixels or more than INT_MAX bytes. Images of 8 bits
  // or fewer start with a grey-ramp colour table of 2^bpp entries.
  bool Create(int width, int height, int bitsPerPixel, unsigned flags = 0);
  // Releases the bitmap and resets width, height, depth and pitch.
  void Destroy();

  bool IsNull() const { return pixels_.empty(); }
  bool IsDIBSection() const { return !IsNull(); }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  int GetPitch() const { return pitch_; }
  int GetBPP() const { return bitsPerPixel_; }
  bool HasAlpha() const { return hasAlpha_; }
  bool Is565() const { return is565_; }
  int GetTransparentColor() const { return transparentIndex_; }

  // First byte of the top row (null when empty).
  std::uint8_t* GetBits() { return topRow_; }
  const std::uint8_t* GetBits() const { return topRow_; }
  // The byte holding pixel (x, y); null outside the image.
  std::uint8_t* GetPixelAddress(int x, int y);
  const std::uint8_t* GetPixelAddress(int x, int y) const;

  // Colour table of 1, 4 and 8-bit images: words 0x00RRGGBB as stored in a
  // bitmap colour table (blue in the low byte), 2^bpp entries; entries past
  // the table are ignored, and other depths have no table.
  void SetColorTable(std::uint32_t first, std::uint32_t count, const std::uint32_t* entries);
  const std::vector<std::uint32_t>& GetColorTable() const { return colorTable_; }

  // Pixel access is opened before pixels are read or written and closed
  // afterwards; openings nest and are counted. Reading a const image opens
  // it too, so the count is not part of the image's value: copies start
  // closed and assignment keeps the target's own count.
  void BeginAccess() const { ++accessCount_; }
  void EndAccess() const {
    if (accessCount_ > 0) --accessCount_;
  }
  int AccessCount() const { return accessCount_; }

  // The colour word at (x, y); 0 outside the image. Serves every depth:
  // palette images through the colour table (an index past it reads black),
  // 16 bits as 5-5-5 or 5-6-5 widened by repeating the top bits, 24 and 32
  // bits directly (alpha ignored).
  std::uint32_t GetPixel(int x, int y) const;
  // Writes a colour word at (x, y) of a 24 or 32-bit image; ignored outside
  // the image or for other depths. On a 32-bit image with alpha the written
  // pixel is opaque (alpha 255), without alpha its fourth byte is 0.
  void SetPixel(int x, int y, std::uint32_t colour);

  // Bytes per row including padding: ((bpp * width + 31) / 32) * 4; 0 for a
  // width or depth that is not positive.
  static std::uint32_t RowBytes(int width, int bitsPerPixel);

 private:
  void rebindTopRow();

  std::vector<std::uint8_t, platform::UnfilledLargePageAllocator<std::uint8_t>> pixels_;
  std::uint8_t* topRow_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  int pitch_ = 0;
  int bitsPerPixel_ = 0;
  bool hasAlpha_ = false;
  bool is565_ = false;
  bool bottomUp_ = true;
  int transparentIndex_ = -1;
  mutable int accessCount_ = 0;
  std::vector<std::uint32_t> colorTable_;
};

// Colour word helpers.
inline std::uint32_t makeColorWord(std::uint32_t red, std::uint32_t green, std::uint32_t blue) {
  return (red & 0xFFu) | ((green & 0xFFu) << 8) | ((blue & 0xFFu) << 16);
}
inline std::uint32_t colorRed(std::uint32_t word) { return word & 0xFFu; }
inline std::uint32_t colorGreen(std::uint32_t word) { return (word >> 8) & 0xFFu; }
inline std::uint32_t colorBlue(std::uint32_t word) { return (word >> 16) & 0xFFu; }
