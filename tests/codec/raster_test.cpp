#include "codec/raster.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <utility>

#include "codec/limits.h"

namespace {

// Table entries are stored blue in the low byte.
constexpr std::uint32_t entry(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return (r << 16) | (g << 8) | b;
}

TEST(RasterCreate, RowBytesArePaddedToWholeWords) {
  EXPECT_EQ(CImage::RowBytes(1, 24), 4u);
  EXPECT_EQ(CImage::RowBytes(4, 24), 12u);
  EXPECT_EQ(CImage::RowBytes(5, 24), 16u);
  EXPECT_EQ(CImage::RowBytes(3, 32), 12u);
  EXPECT_EQ(CImage::RowBytes(3, 16), 8u);
  EXPECT_EQ(CImage::RowBytes(33, 1), 8u);
  EXPECT_EQ(CImage::RowBytes(9, 4), 8u);
  EXPECT_EQ(CImage::RowBytes(5, 8), 8u);
  EXPECT_EQ(CImage::RowBytes(0, 24), 0u);
}

TEST(RasterCreate, PositiveHeightIsBottomUpWithTopRowAtTheLastStoredRow) {
  CImage image;
  ASSERT_TRUE(image.Create(5, 3, 24));
  EXPECT_FALSE(image.IsNull());
  EXPECT_TRUE(image.IsDIBSection());
  EXPECT_EQ(image.GetWidth(), 5);
  EXPECT_EQ(image.GetHeight(), 3);
  EXPECT_EQ(image.GetBPP(), 24);
  EXPECT_EQ(image.GetPitch(), -16);
  EXPECT_EQ(image.GetTransparentColor(), -1);
  // The top row is the highest in memory; the bottom row is the first stored.
  EXPECT_EQ(image.GetBits(), image.GetPixelAddress(0, 0));
  EXPECT_EQ(image.GetPixelAddress(0, 2), image.GetBits() - 32);
  EXPECT_EQ(image.GetPixelAddress(4, 1), image.GetBits() - 16 + 12);

  image.SetPixel(1, 2, makeColorWord(10, 20, 30));
  const std::uint8_t* p = image.GetBits() + 2 * image.GetPitch() + 3;
  EXPECT_EQ(p[0], 30);  // blue, green, red
  EXPECT_EQ(p[1], 20);
  EXPECT_EQ(p[2], 10);
}

TEST(RasterCreate, NegativeHeightIsTopDown) {
  CImage image;
  ASSERT_TRUE(image.Create(5, -3, 32));
  EXPECT_EQ(image.GetHeight(), 3);
  EXPECT_EQ(image.GetPitch(), 20);
  EXPECT_EQ(image.GetPixelAddress(0, 2), image.GetBits() + 40);
  image.SetPixel(4, 2, makeColorWord(1, 2, 3));
  const std::uint8_t* p = image.GetBits() + 40 + 16;
  EXPECT_EQ(p[0], 3);
  EXPECT_EQ(p[2], 1);
  EXPECT_EQ(image.GetPixel(4, 2), makeColorWord(1, 2, 3));
}

TEST(RasterCreate, StartsBlackAndDestroyResetsEverything) {
  CImage image;
  ASSERT_TRUE(image.Create(3, 2, 24));
  EXPECT_EQ(image.GetPixel(2, 1), 0u);
  image.Destroy();
  EXPECT_TRUE(image.IsNull());
  EXPECT_EQ(image.GetBits(), nullptr);
  EXPECT_EQ(image.GetWidth(), 0);
  EXPECT_EQ(image.GetHeight(), 0);
  EXPECT_EQ(image.GetPitch(), 0);
  EXPECT_EQ(image.GetBPP(), 0);
  EXPECT_EQ(image.GetPixel(0, 0), 0u);
}

TEST(RasterCreate, RefusesBadRequestsWithoutAllocating) {
  CImage image;
  ASSERT_TRUE(image.Create(4, 4, 24));
  // A failed create still releases what the image held.
  EXPECT_FALSE(image.Create(4, 4, 2));
  EXPECT_TRUE(image.IsNull());
  EXPECT_FALSE(image.Create(0, 4, 24));
  EXPECT_FALSE(image.Create(-4, 4, 24));
  EXPECT_FALSE(image.Create(4, 0, 24));
  EXPECT_FALSE(image.Create(4, INT_MIN, 24));
  EXPECT_FALSE(image.Create(INT_MAX, INT_MAX, 32));
  EXPECT_FALSE(image.Create(INT_MAX, 1, 32));  // 8 GiB of one row
  EXPECT_FALSE(image.Create(65536, -65536, 8));
  EXPECT_TRUE(image.IsNull());
  EXPECT_EQ(image.GetBits(), nullptr);

  // The pixel limit is the codec's, so a program may lower it.
  CodecLimits& limits = codecLimits();
  const CodecLimits saved = limits;
  limits.maxPixels = 100;
  EXPECT_TRUE(image.Create(10, 10, 24));
  EXPECT_FALSE(image.Create(10, 11, 24));
  // Without a pixel limit the byte count must still keep row offsets in an int.
  limits.maxPixels = UINT64_MAX;
  EXPECT_FALSE(image.Create(INT_MAX, 1, 32));
  EXPECT_FALSE(image.Create(1 << 16, 1 << 15, 8));
  EXPECT_FALSE(image.Create(1 << 30, -(1 << 30), 1));
  limits = saved;
}

TEST(RasterPixels, PaletteDepthsReadThroughTheColourTable) {
  const std::uint32_t table[3] = {entry(1, 2, 3), entry(200, 100, 50), entry(9, 8, 7)};

  CImage mono;
  ASSERT_TRUE(mono.Create(10, 2, 1));
  mono.SetColorTable(0, 2, table);
  mono.GetPixelAddress(0, 0)[0] = 0xA0;  // pixels 0 and 2 set
  mono.GetPixelAddress(0, 0)[1] = 0x40;  // pixel 9 set
  EXPECT_EQ(mono.GetPixel(0, 0), makeColorWord(200, 100, 50));
  EXPECT_EQ(mono.GetPixel(1, 0), makeColorWord(1, 2, 3));
  EXPECT_EQ(mono.GetPixel(2, 0), makeColorWord(200, 100, 50));
  EXPECT_EQ(mono.GetPixel(8, 0), makeColorWord(1, 2, 3));
  EXPECT_EQ(mono.GetPixel(9, 0), makeColorWord(200, 100, 50));
  EXPECT_EQ(mono.GetPixel(9, 1), makeColorWord(1, 2, 3));

  CImage nibbles;
  ASSERT_TRUE(nibbles.Create(3, -1, 4));
  nibbles.SetColorTable(10, 3, table);
  nibbles.GetBits()[0] = 0xCA;  // pixel 0 -> 12, pixel 1 -> 10
  nibbles.GetBits()[1] = 0xB0;  // pixel 2 -> 11
  EXPECT_EQ(nibbles.GetPixel(0, 0), makeColorWord(9, 8, 7));
  EXPECT_EQ(nibbles.GetPixel(1, 0), makeColorWord(1, 2, 3));
  EXPECT_EQ(nibbles.GetPixel(2, 0), makeColorWord(200, 100, 50));

  CImage bytes;
  ASSERT_TRUE(bytes.Create(2, 2, 8));
  bytes.SetColorTable(254, 3, table);  // the third entry falls past the table
  ASSERT_EQ(bytes.GetColorTable().size(), 256u);
  bytes.GetPixelAddress(1, 1)[0] = 255;
  bytes.GetPixelAddress(0, 1)[0] = 254;
  EXPECT_EQ(bytes.GetPixel(1, 1), makeColorWord(200, 100, 50));
  EXPECT_EQ(bytes.GetPixel(0, 1), makeColorWord(1, 2, 3));
}

TEST(RasterPixels, FreshPaletteIsAGreyRamp) {
  CImage nibbles;
  ASSERT_TRUE(nibbles.Create(2, 1, 4));
  nibbles.GetBits()[0] = 0x5F;
  EXPECT_EQ(nibbles.GetPixel(0, 0), makeColorWord(85, 85, 85));
  EXPECT_EQ(nibbles.GetPixel(1, 0), makeColorWord(255, 255, 255));
  CImage mono;
  ASSERT_TRUE(mono.Create(2, 1, 1));
  mono.GetBits()[0] = 0x40;
  EXPECT_EQ(mono.GetPixel(0, 0), 0u);
  EXPECT_EQ(mono.GetPixel(1, 0), makeColorWord(255, 255, 255));
}

TEST(RasterPixels, SixteenBitsWidenByRepeatingTheTopBits) {
  auto put16 = [](CImage& image, int x, int y, std::uint32_t v) {
    std::uint8_t* p = image.GetPixelAddress(x, y);
    p[0] = static_cast<std::uint8_t>(v & 0xFF);
    p[1] = static_cast<std::uint8_t>(v >> 8);
  };
  CImage rgb555;
  ASSERT_TRUE(rgb555.Create(3, 2, 16));
  EXPECT_FALSE(rgb555.Is565());
  // The unused top bit is ignored.
  put16(rgb555, 0, 1, 0x8000u | (31u << 10) | (16u << 5) | 1u);
  put16(rgb555, 2, 0, (1u << 10) | (30u << 5));
  EXPECT_EQ(rgb555.GetPixel(0, 1), makeColorWord(255, 132, 8));
  EXPECT_EQ(rgb555.GetPixel(2, 0), makeColorWord(8, 247, 0));
  EXPECT_EQ(rgb555.GetPixel(1, 0), 0u);

  CImage rgb565;
  ASSERT_TRUE(rgb565.Create(2, 1, 16, CImage::kCreate565));
  EXPECT_TRUE(rgb565.Is565());
  put16(rgb565, 1, 0, (1u << 11) | (63u << 5) | 30u);
  put16(rgb565, 0, 0, (31u << 11) | (32u << 5) | 31u);
  EXPECT_EQ(rgb565.GetPixel(1, 0), makeColorWord(8, 255, 247));
  EXPECT_EQ(rgb565.GetPixel(0, 0), makeColorWord(255, 130, 255));
}

TEST(RasterPixels, TrueColourDepthsIgnoreAlpha) {
  CImage plain;
  ASSERT_TRUE(plain.Create(2, 2, 32));
  EXPECT_FALSE(plain.HasAlpha());
  CImage alpha;
  ASSERT_TRUE(alpha.Create(2, 2, 32, CImage::kCreateAlpha));
  EXPECT_TRUE(alpha.HasAlpha());
  for (CImage* image : {&plain, &alpha}) {
    std::uint8_t* p = image->GetPixelAddress(1, 0);
    p[0] = 11;
    p[1] = 22;
    p[2] = 33;
    p[3] = 44;
    EXPECT_EQ(image->GetPixel(1, 0), makeColorWord(33, 22, 11));
  }
  plain.SetPixel(0, 1, 0xFF010203u);  // bits 24-31 carry nothing
  alpha.SetPixel(0, 1, 0x00010203u);
  EXPECT_EQ(plain.GetPixel(0, 1), 0x00010203u);
  EXPECT_EQ(plain.GetPixelAddress(0, 1)[3], 0);
  EXPECT_EQ(alpha.GetPixelAddress(0, 1)[3], 255);

  CImage rgb;
  ASSERT_TRUE(rgb.Create(3, -2, 24));
  rgb.SetPixel(2, 1, makeColorWord(250, 5, 128));
  EXPECT_EQ(rgb.GetPixel(2, 1), makeColorWord(250, 5, 128));
  EXPECT_EQ(rgb.GetPixel(1, 1), 0u);
}

TEST(RasterPixels, OutsideTheImageAndUnwritableDepthsAreIgnored) {
  CImage rgb;
  ASSERT_TRUE(rgb.Create(2, 2, 24));
  rgb.SetPixel(-1, 0, 0xFFFFFFu);
  rgb.SetPixel(2, 0, 0xFFFFFFu);
  rgb.SetPixel(0, 2, 0xFFFFFFu);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(rgb.GetPixel(x, y), 0u);
  }
  rgb.SetPixel(1, 1, 0x123456u);
  EXPECT_EQ(rgb.GetPixel(2, 1), 0u);
  EXPECT_EQ(rgb.GetPixel(1, -1), 0u);
  EXPECT_EQ(rgb.GetPixelAddress(2, 0), nullptr);

  CImage indexed;
  ASSERT_TRUE(indexed.Create(2, 2, 8));
  indexed.SetPixel(0, 0, 0xFFFFFFu);
  EXPECT_EQ(indexed.GetPixelAddress(0, 0)[0], 0);
}

TEST(RasterCopy, CopiesOwnTheirPixelsAndKeepAddressing) {
  CImage original;
  ASSERT_TRUE(original.Create(3, 4, 24));
  original.SetPixel(0, 0, makeColorWord(1, 2, 3));
  original.SetPixel(2, 3, makeColorWord(4, 5, 6));
  original.BeginAccess();

  CImage copy(original);
  EXPECT_NE(copy.GetBits(), original.GetBits());
  EXPECT_EQ(copy.GetPitch(), original.GetPitch());
  EXPECT_EQ(copy.AccessCount(), 0);
  EXPECT_EQ(copy.GetPixel(0, 0), makeColorWord(1, 2, 3));
  EXPECT_EQ(copy.GetPixel(2, 3), makeColorWord(4, 5, 6));
  copy.SetPixel(0, 0, makeColorWord(9, 9, 9));
  EXPECT_EQ(original.GetPixel(0, 0), makeColorWord(1, 2, 3));

  CImage assigned;
  ASSERT_TRUE(assigned.Create(1, -1, 8));
  assigned = original;
  EXPECT_EQ(assigned.GetBPP(), 24);
  EXPECT_EQ(assigned.GetPitch(), -12);
  EXPECT_NE(assigned.GetBits(), original.GetBits());
  EXPECT_EQ(assigned.GetPixel(2, 3), makeColorWord(4, 5, 6));
  EXPECT_TRUE(assigned.GetColorTable().empty());

  const CImage& alias = assigned;
  assigned = alias;
  EXPECT_EQ(assigned.GetPixel(2, 3), makeColorWord(4, 5, 6));

  // A palette travels with its pixels.
  CImage indexed;
  ASSERT_TRUE(indexed.Create(1, 1, 8));
  const std::uint32_t red = entry(255, 0, 0);
  indexed.SetColorTable(0, 1, &red);
  CImage indexedCopy(indexed);
  EXPECT_EQ(indexedCopy.GetPixel(0, 0), makeColorWord(255, 0, 0));
}

TEST(RasterCopy, MovesHandTheBitmapOver) {
  CImage source;
  ASSERT_TRUE(source.Create(4, -2, 32, CImage::kCreateAlpha));
  source.SetPixel(3, 1, makeColorWord(7, 8, 9));
  const std::uint8_t* bits = source.GetBits();

  CImage moved(std::move(source));
  EXPECT_EQ(moved.GetBits(), bits);
  EXPECT_TRUE(moved.HasAlpha());
  EXPECT_EQ(moved.GetPixel(3, 1), makeColorWord(7, 8, 9));
  EXPECT_TRUE(source.IsNull());
  EXPECT_EQ(source.GetBits(), nullptr);

  CImage target;
  ASSERT_TRUE(target.Create(2, 2, 24));
  target = std::move(moved);
  EXPECT_EQ(target.GetBits(), bits);
  EXPECT_EQ(target.GetPitch(), 16);
  EXPECT_EQ(target.GetPixel(3, 1), makeColorWord(7, 8, 9));
  EXPECT_TRUE(moved.IsNull());
}

TEST(RasterAccess, OpeningsNestAndOnlyTheOutermostCloses) {
  CImage image;
  ASSERT_TRUE(image.Create(1, 1, 24));
  image.BeginAccess();
  image.BeginAccess();
  EXPECT_EQ(image.AccessCount(), 2);
  image.EndAccess();
  EXPECT_EQ(image.AccessCount(), 1);
  image.EndAccess();
  image.EndAccess();  // an unmatched close does not go below zero
  EXPECT_EQ(image.AccessCount(), 0);
  const CImage& reader = image;
  reader.BeginAccess();
  EXPECT_EQ(image.AccessCount(), 1);
  reader.EndAccess();
}

}  // namespace
