// Writing rasters to image files chosen by the file name's extension.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <filesystem>

#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "imageio/qimage_raster.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::filesIn;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// A 24-bit raster with distinct colours everywhere.
CImage gradient(int width, int height) {
  CImage image;
  EXPECT_TRUE(image.Create(width, height, 24));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.SetPixel(x, y, makeColorWord(x * 255 / width, y * 255 / height, (x * y) % 256));
  return image;
}

// The format Qt detects from the file's contents (not its name).
std::string detectedFormat(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  reader.setDecideFormatFromContent(true);
  return reader.format().toStdString();
}

}  // namespace

TEST(SaveByExtension, TheExtensionChoosesTheWriter) {
  TempDir dir;
  const CImage image = gradient(40, 30);
  const std::pair<const char*, const char*> cases[] = {
      {"a.bmp", "bmp"},   {"a.png", "png"},     {"a.jpg", "jpeg"}, {"a.tif", "tiff"},
      {"b.tiff", "tiff"}, {"out.JPEG", "jpeg"}, {"c.Png", "png"},  {"dir.x/d.bmp", "bmp"},
  };
  std::filesystem::create_directory(dir.file("dir.x"));
  for (const auto& [name, format] : cases) {
    const std::string path = dir.file(name);
    ASSERT_TRUE(SaveByExtension(image, path)) << name;
    EXPECT_EQ(detectedFormat(path), format) << name;
    const QImage back(QString::fromStdString(path));
    EXPECT_EQ(back.width(), 40);
    EXPECT_EQ(back.height(), 30);
  }
}

TEST(SaveByExtension, NoExtensionOrAnUnknownOneWritesNothing) {
  TempDir dir;
  const CImage image = gradient(8, 8);
  for (const char* name : {"noextension", "a.rim", "a.RIM", "a.", "a.gif", "a.unknown"}) {
    EXPECT_FALSE(SaveByExtension(image, dir.file(name))) << name;
    EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
  }
  // The dot must be in the last path component.
  std::filesystem::create_directory(dir.file("folder.png"));
  EXPECT_FALSE(SaveByExtension(image, dir.file("folder.png/plain")));
  EXPECT_EQ(targetExtension("/a.b/c"), "");
  EXPECT_EQ(targetExtension("/a.b/c.tar.PNG"), ".PNG");
  EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(SaveByExtension, EmptyRasterOrUnwritableTargetFailsWithoutLeftovers) {
  TempDir dir;
  EXPECT_FALSE(SaveByExtension(CImage(), dir.file("empty.png")));
  // The target is an existing folder: the write fails and the folder stays.
  std::filesystem::create_directory(dir.file("taken.bmp"));
  EXPECT_FALSE(SaveByExtension(gradient(4, 4), dir.file("taken.bmp")));
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("taken.bmp")));
  EXPECT_FALSE(SaveByExtension(gradient(4, 4), dir.file("missing/x.png")));
  EXPECT_EQ(filesIn(dir.path()), 1u);  // no temporary files left behind
}

TEST(SaveWithFormat, TheNamedWriterWhateverTheName) {
  TempDir dir;
  ASSERT_TRUE(SaveWithFormat(gradient(8, 8), dir.file("a.tbmp"), "bmp"));
  EXPECT_EQ(detectedFormat(dir.file("a.tbmp")), "bmp");
  EXPECT_FALSE(SaveWithFormat(gradient(8, 8), dir.file("b.gif"), "gif"));  // no GIF writer
  EXPECT_FALSE(SaveWithFormat(gradient(8, 8), dir.file("c.bmp"), "nonsense"));
  EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(SaveByExtension, ReplacesAnExistingFileWhole) {
  TempDir dir;
  writeFileBytes(dir.file("a.png"), "old contents");
  ASSERT_TRUE(SaveByExtension(gradient(16, 16), dir.file("a.png")));
  EXPECT_EQ(detectedFormat(dir.file("a.png")), "png");
  EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(SaveByExtension, LosslessRoundTripsForEveryDepth) {
  TempDir dir;
  const QImage photo(QString::fromStdString(corpusPath("aqua.bmp")));
  ASSERT_FALSE(photo.isNull());
  const QImage::Format formats[] = {
      QImage::Format_Mono,   QImage::Format_Indexed8, QImage::Format_RGB555, QImage::Format_RGB16,
      QImage::Format_BGR888, QImage::Format_RGB32,    QImage::Format_ARGB32};
  for (QImage::Format format : formats) {
    SCOPED_TRACE(static_cast<int>(format));
    const QImage source = photo.convertToFormat(format);
    CImage raster;
    ASSERT_TRUE(imageio::rasterFromQImage(source, raster));
    for (const char* name : {"r.png", "r.bmp", "r.tif"}) {
      ASSERT_TRUE(SaveByExtension(raster, dir.file(name))) << name;
      const QImage back = QImage(QString::fromStdString(dir.file(name)));
      ASSERT_EQ(back.size(), source.size()) << name;
      int mismatches = 0;
      for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
          if (back.pixel(x, y) != source.pixel(x, y)) ++mismatches;
      EXPECT_EQ(mismatches, 0) << name;
    }
  }
}

TEST(SaveByExtension, AlphaIsHandedToTheWriter) {
  TempDir dir;
  QImage translucent(QString::fromStdString(corpusPath("ladybird.png")));
  translucent = translucent.convertToFormat(QImage::Format_ARGB32);
  translucent.setPixel(0, 0, qRgba(9, 9, 9, 200));
  ASSERT_TRUE(translucent.save(QString::fromStdString(dir.file("in.png"))));
  CImageEx image;
  ASSERT_TRUE(LoadWithImageLibrary(dir.file("in.png"), image));
  ASSERT_TRUE(image.HasAlpha());
  // Make one pixel half transparent so that the alpha channel matters.
  image.GetPixelAddress(5, 7)[3] = 128;
  ASSERT_TRUE(SaveByExtension(image, dir.file("out.png")));
  const QImage back(QString::fromStdString(dir.file("out.png")));
  EXPECT_TRUE(back.hasAlphaChannel());
  EXPECT_EQ(qAlpha(back.pixel(5, 7)), 128);
  EXPECT_EQ(qAlpha(back.pixel(0, 0)), 200);
  // A format without alpha still takes the image.
  ASSERT_TRUE(SaveByExtension(image, dir.file("out.jpg")));
  EXPECT_FALSE(QImage(QString::fromStdString(dir.file("out.jpg"))).isNull());
}

TEST(SaveByExtension, JpegUsesTheWritersDefaultQuality) {
  TempDir dir;
  const CImage image = gradient(64, 64);
  ASSERT_TRUE(SaveByExtension(image, dir.file("a.jpg")));
  const QImage pixels = imageio::qimageFromRaster(image);
  ASSERT_TRUE(pixels.save(QString::fromStdString(dir.file("b.jpg")), "jpeg"));
  EXPECT_EQ(readFileBytes(dir.file("a.jpg")), readFileBytes(dir.file("b.jpg")));
}
