// Ordinary image files and decoded images that are damaged or unusual:
// what fuzzing found in our part of loading, our own GIF palette reader
// under systematic damage, and images whose size the loader must refuse
// before decoding.
#include <gtest/gtest.h>
#include <zlib.h>

#include <QImage>
#include <string>

#include "codec/limits.h"
#include "imageio/gif_palette.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"
#include "support/child_process.h"
#include "support/test_support.h"

using testing_support::ChildOutcome;
using testing_support::runInChild;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// A 3 x 2 GIF with a global table of 4 colours, a transparent index, a
// comment block and LZW data whose codes all stay 3 bits wide (a clear code
// before every pair of pixels).
std::string tinyGif() {
  const unsigned char bytes[] = {
      'G',  'I',  'F',  '8',  '9',  'a',  3, 0,   2,  0,  0x81, 0,   0,  // screen, 4-entry table
      0,    0,    0,    255,  0,    0,    0, 200, 40, 30, 60,   250,     // black, red, green, blue
      0x21, 0xFE, 2,    'h',  'i',  0,                                   // comment
      0x21, 0xF9, 4,    0x01, 0,    0,    3, 0,                          // transparent index 3
      0x2C, 0,    0,    0,    0,    3,    0, 2,   0,  0,                 // image 3 x 2
      2,    4,    0x44, 0xA8, 0x31, 0x2A,  // LZW: 0 1 | 2 3 | 1 2 | end
      0,    0x3B};
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// A PNG file of the given size whose pixel data is cut short: the header
// says width x height, the compressed data holds a few rows.
std::string pngAnnouncing(std::uint32_t width, std::uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n", 8);
  auto chunk = [&](const char* type, const std::string& data) {
    std::string body(type, 4);
    body += data;
    const std::uint32_t length = static_cast<std::uint32_t>(data.size());
    for (int i = 3; i >= 0; --i) png += static_cast<char>((length >> (8 * i)) & 0xFF);
    png += body;
    const uLong crc =
        crc32(0L, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()));
    for (int i = 3; i >= 0; --i) png += static_cast<char>((crc >> (8 * i)) & 0xFF);
  };
  std::string header;
  for (std::uint32_t v : {width, height})
    for (int i = 3; i >= 0; --i) header += static_cast<char>((v >> (8 * i)) & 0xFF);
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB, no interlace
  chunk("IHDR", header);
  // Two rows of zeros, compressed.
  const std::string raw(2 * (1 + 3 * static_cast<std::size_t>(width)), '\0');
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(&packed[0]), &size, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(size);
  chunk("IDAT", packed);
  chunk("IEND", "");
  return png;
}

}  // namespace

TEST(HostileImages, IndicesPastTheColourTableShowBlack) {
  // Found by fuzzing: a palette image whose indices reach past its table
  // showed the raster's initial grey ramp there, not the black Qt shows.
  QImage source(4, 1, QImage::Format_Indexed8);
  source.setColorTable({qRgb(200, 10, 20), qRgb(5, 250, 6)});
  const uchar indices[4] = {0, 1, 29, 255};
  std::copy(indices, indices + 4, source.scanLine(0));
  CImage raster;
  ASSERT_TRUE(imageio::rasterFromQImage(source, raster));
  ASSERT_EQ(raster.GetBPP(), 8);
  EXPECT_EQ(raster.GetPixel(0, 0), makeColorWord(200, 10, 20));
  EXPECT_EQ(raster.GetPixel(1, 0), makeColorWord(5, 250, 6));
  EXPECT_EQ(raster.GetPixel(2, 0), 0u);
  EXPECT_EQ(raster.GetPixel(3, 0), 0u);
  // Saved and loaded again, the pixels stay as they were.
  const QImage back = imageio::qimageFromRaster(raster);
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(back.pixel(x, 0) & 0xFFFFFFu, source.pixel(x, 0) & 0xFFFFFFu);

  // The same for a 1-bit image with a one-entry table.
  QImage mono(2, 1, QImage::Format_Mono);
  mono.setColorTable({qRgb(1, 2, 3)});
  mono.setPixel(0, 0, 0);
  mono.setPixel(1, 0, 1);
  ASSERT_TRUE(imageio::rasterFromQImage(mono, raster));
  EXPECT_EQ(raster.GetPixel(0, 0), makeColorWord(1, 2, 3));
  EXPECT_EQ(raster.GetPixel(1, 0), 0u);
}

TEST(HostileImages, GifPaletteReaderUnderEveryDamage) {
  TempDir dir;
  const std::string good = tinyGif();
  writeFileBytes(dir.file("good.gif"), good);
  const auto palette = imageio::readGifPalette(dir.file("good.gif"));
  ASSERT_TRUE(palette.has_value());
  EXPECT_EQ(palette->colours.size(), 4u);
  EXPECT_EQ(palette->colours[2], 0x00C828u);
  EXPECT_EQ(palette->transparentIndex, 3);
  CImageEx image;
  ASSERT_TRUE(LoadWithImageLibrary(dir.file("good.gif"), image));
  EXPECT_EQ(image.GetBPP(), 8);
  EXPECT_EQ(image.GetPixel(1, 0), makeColorWord(255, 0, 0));

  auto check = [&](const std::string& bytes, const std::string& what) {
    writeFileBytes(dir.file("bad.gif"), bytes);
    const auto found = imageio::readGifPalette(dir.file("bad.gif"));
    if (found) {
      EXPECT_FALSE(found->colours.empty()) << what;
      EXPECT_LE(found->colours.size(), 256u) << what;
      EXPECT_LT(found->transparentIndex, static_cast<int>(found->colours.size())) << what;
    }
    CImageEx loaded;
    EXPECT_TRUE(loaded.LoadImageFile(dir.file("bad.gif"), true)) << what;
    for (int y = 0; y < loaded.GetHeight(); ++y)
      for (int x = 0; x < loaded.GetWidth(); ++x) EXPECT_EQ(loaded.GetPixel(x, y) >> 24, 0u);
  };
  for (std::size_t length = 0; length < good.size(); ++length)
    check(good.substr(0, length), "cut at " + std::to_string(length));
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string bytes = good;
      bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
      check(bytes, "byte " + std::to_string(at) + " bit " + std::to_string(bit));
    }
  }
}

TEST(HostileImages, SmallFilesAnnouncingHugeImagesAreRefusedSmall) {
  TempDir dir;
  for (std::uint32_t side : {100000u, 20000u}) {  // 10^10 and 4 x 10^8 pixels
    SCOPED_TRACE(side);
    const std::string path = dir.file("bomb.png");
    writeFileBytes(path, pngAnnouncing(side, side));
    const ChildOutcome outcome = runInChild([&] {
      CImageEx image;
      std::string error;
      const bool loaded = LoadWithImageLibrary(path, image, &error);
      return !loaded && image.IsNull() && error.find("too large") != std::string::npos ? 0 : 1;
    });
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LT(outcome.peakGrowthKb, 32 * 1024);
    EXPECT_LT(outcome.seconds, 2.0);
  }
}
