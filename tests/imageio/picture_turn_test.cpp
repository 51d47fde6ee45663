// Turning pictures by quarter turns: the EXIF orientation arithmetic, the
// raster turned in every depth, a JPEG turned by its tag alone (its
// compressed picture kept) and other formats written again turned.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTransform>
#include <string>

#include "codec/base_type.h"
#include "imageio/orientation_writer.h"
#include "imageio/picture_turn.h"
#include "imageio/qimage_raster.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::readFileBytes;
using testing_support::tagOrientation;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// The picture as a viewer shows it: the orientation tag applied.
QImage shownPixels(const std::string& path) {
  QImageReader reader(QString::fromStdString(path));
  reader.setAutoTransform(true);
  return reader.read().convertToFormat(QImage::Format_RGB32);
}

// The picture turned clockwise by whole quarters (Qt turns exactly at
// multiples of 90 degrees).
QImage turned(const QImage& image, int quarterTurns) {
  return image.transformed(QTransform().rotate(90.0 * ((quarterTurns % 4 + 4) % 4)));
}

// The compressed picture of a JPEG: from the start of its scan to the end.
std::string scanData(const std::string& bytes) {
  const std::size_t start = bytes.find("\xFF\xDA");
  return start == std::string::npos ? std::string() : bytes.substr(start);
}

}  // namespace

TEST(TurnedOrientation, TurnsAndKeepsMirroring) {
  struct Case {
    int orientation;
    int quarters;
    int expected;
  };
  // 1 upright, 6 a quarter clockwise, 3 half, 8 a quarter anticlockwise;
  // 2, 5, 4 and 7 the same mirrored.
  const Case cases[] = {{1, 1, 6},  {6, 1, 3},  {3, 1, 8}, {8, 1, 1}, {1, -1, 8}, {1, 2, 3},
                        {6, -1, 1}, {1, 4, 1},  {1, 5, 6}, {2, 1, 7}, {7, 1, 4},  {4, 1, 5},
                        {5, 1, 2},  {2, -1, 5}, {0, 1, 6}, {9, 1, 6}, {3, 0, 3}};
  for (const Case& c : cases) {
    EXPECT_EQ(turnedOrientation(c.orientation, c.quarters), c.expected)
        << c.orientation << " turned " << c.quarters;
  }
}

TEST(TurnRaster, EveryDepthTurnsEachPixelToItsPlace) {
  const QImage source = QImage(QString::fromStdString(corpusPath("garden.jpg")))
                            .scaled(37, 23)
                            .convertToFormat(QImage::Format_RGB32);
  struct Depth {
    QImage::Format format;
    const char* name;
  };
  const Depth depths[] = {{QImage::Format_RGB32, "32"},   {QImage::Format_ARGB32, "32 alpha"},
                          {QImage::Format_RGB888, "24"},  {QImage::Format_RGB16, "16"},
                          {QImage::Format_Indexed8, "8"}, {QImage::Format_Mono, "1"}};
  for (const Depth& depth : depths) {
    CImage raster;
    ASSERT_TRUE(imageio::rasterFromQImage(source.convertToFormat(depth.format), raster));
    const QImage expectedUpright =
        imageio::qimageFromRaster(raster).convertToFormat(QImage::Format_ARGB32);
    for (const int quarters : {-1, 0, 1, 2, 3, 5}) {
      SCOPED_TRACE(std::string(depth.name) + " bits, turned " + std::to_string(quarters));
      CImage result;
      ASSERT_TRUE(turnRaster(raster, quarters, result));
      EXPECT_EQ(result.GetBPP(), raster.GetBPP());
      EXPECT_EQ(result.HasAlpha(), raster.HasAlpha());
      EXPECT_EQ(imageio::qimageFromRaster(result).convertToFormat(QImage::Format_ARGB32),
                turned(expectedUpright, quarters));
    }
  }
  CImage empty, result;
  EXPECT_FALSE(turnRaster(empty, 1, result));
  EXPECT_TRUE(result.IsNull());
}

TEST(TurnImageFile, AJpegTurnsByItsTagAndKeepsItsCompressedPicture) {
  TempDir temp;
  const std::string path = temp.file("photo.jpg");
  const std::string original = readFileBytes(corpusPath("ladybird.jpg"));
  writeFileBytes(path, original);
  const QImage upright = shownPixels(path);
  ASSERT_FALSE(upright.isNull());

  struct Step {
    int quarters;
    int orientation;  // the tag afterwards
    int shownTurn;    // the original's turn shown afterwards
  };
  const Step steps[] = {{1, 6, 1}, {1, 3, 2}, {-1, 6, 1}, {2, 8, 3}, {1, 1, 0}};
  for (const Step& step : steps) {
    SCOPED_TRACE("turned " + std::to_string(step.quarters));
    std::string why;
    ASSERT_TRUE(turnImageFile(path, kBaseTypeOther, step.quarters, why)) << why;
    const std::string bytes = readFileBytes(path);
    EXPECT_EQ(scanData(bytes), scanData(original));
    EXPECT_EQ(readOrientation(path, why), step.orientation) << why;
    EXPECT_EQ(shownPixels(path), turned(upright, step.shownTurn));
  }
}

TEST(TurnImageFile, AJpegWithATagAlreadyTurnsFromWhereItIsShown) {
  TempDir temp;
  const std::string path = temp.file("tagged.jpeg");
  writeFileBytes(path, readFileBytes(corpusPath("dune.jpg")));
  tagOrientation(path, 3);
  const QImage before = shownPixels(path);
  std::string why;
  ASSERT_TRUE(turnImageFile(path, kBaseTypeOther, 1, why)) << why;
  EXPECT_EQ(readOrientation(path, why), 8);
  EXPECT_EQ(shownPixels(path), turned(before, 1));
}

TEST(TurnImageFile, OtherFormatsAreWrittenAgainTurned) {
  TempDir temp;
  const QImage picture = QImage(QString::fromStdString(corpusPath("garden.jpg")))
                             .scaled(64, 40)
                             .convertToFormat(QImage::Format_RGB32);
  for (const char* name : {"p.png", "p.bmp", "p.tiff"}) {
    SCOPED_TRACE(name);
    const std::string path = temp.file(name);
    ASSERT_TRUE(picture.save(QString::fromStdString(path)));
    std::string why;
    ASSERT_TRUE(turnImageFile(path, kBaseTypeOther, -1, why)) << why;
    EXPECT_EQ(shownPixels(path), turned(picture, -1));
  }
}

TEST(TurnImageFile, WhatCannotBeTurnedSaysWhyAndStaysAsItWas) {
  TempDir temp;
  const std::string broken = temp.file("broken.jpg");
  writeFileBytes(broken, "\xFF\xD8\xFF not really a photograph");
  const std::string unknown = temp.file("picture.xyz");
  writeFileBytes(unknown, "pixels");
  for (const std::string& path : {broken, unknown, temp.file("missing.png")}) {
    SCOPED_TRACE(path);
    const bool existed = QFile::exists(QString::fromStdString(path));
    const std::string before = existed ? readFileBytes(path) : std::string();
    std::string why;
    EXPECT_FALSE(turnImageFile(path, kBaseTypeOther, 1, why));
    EXPECT_FALSE(why.empty());
    if (existed) {
      EXPECT_EQ(readFileBytes(path), before);
    }
  }
}
