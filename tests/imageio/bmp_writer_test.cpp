// The direct BMP writer against Qt's own writer.
#include "codec/bmp_file.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QImageWriter>
#include <cstdio>

#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;

namespace {

CImage pattern(int width, int height, bool bottomUp) {
  CImage image;
  EXPECT_TRUE(image.Create(width, bottomUp ? height : -height, 24));
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < width; ++x)
      image.SetPixel(x, y, makeColorWord(x * 37 + y, y * 11 + 3, (x * y) % 256));
  return image;
}

// The direct writer's file, as bytes.
QByteArray directBytes(const CImage& image) {
  std::FILE* file = std::tmpfile();
  EXPECT_NE(file, nullptr);
  EXPECT_TRUE(bmp::write(image, file));
  QByteArray bytes;
  std::rewind(file);
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
    bytes.append(buffer, static_cast<qsizetype>(n));
  std::fclose(file);
  return bytes;
}

QByteArray qtBytes(const CImage& image) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "bmp");
  EXPECT_TRUE(writer.write(imageio::qimageFromRaster(image)));
  return buffer.data();
}

struct Size {
  int width;
  int height;
  bool bottomUp;
};

class DirectBmp : public ::testing::TestWithParam<Size> {};

// Every padding of a row (widths 1 to 4 modulo 4) and both row orders.
TEST_P(DirectBmp, SameBytesAsQtsWriter) {
  const Size s = GetParam();
  const CImage image = pattern(s.width, s.height, s.bottomUp);
  const QByteArray direct = directBytes(image);
  const QByteArray expected = qtBytes(image);
  ASSERT_EQ(direct.size(), expected.size());
  EXPECT_TRUE(direct == expected);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DirectBmp,
                         ::testing::Values(Size{1, 1, true}, Size{2, 3, true}, Size{3, 2, false},
                                           Size{5, 7, true}, Size{17, 9, false}, Size{64, 33, true},
                                           Size{301, 200, true}));

TEST(DirectBmp, SaveByExtensionTakesItForBmpOnly) {
  TempDir dir;
  const CImage image = pattern(13, 6, true);
  ASSERT_TRUE(SaveByExtension(image, dir.file("a.BMP")));
  EXPECT_EQ(readFileBytes(dir.file("a.BMP")), qtBytes(image).toStdString());
  EXPECT_EQ(writerFormatFor("x.Bmp"), "bmp");

  CImage palette;
  ASSERT_TRUE(palette.Create(4, 4, 8));
  EXPECT_FALSE(bmp::writable(palette));
  EXPECT_FALSE(bmp::writable(CImage()));
}

}  // namespace
