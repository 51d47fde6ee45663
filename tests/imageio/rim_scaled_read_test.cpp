// Scaled pictures of RIM files for other programs: from the averages when
// they are large enough and the file is whole as the decoder reads it, from
// the decoder otherwise.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "codec/rim_codec.h"
#include "imageio/qimage_raster.h"
#include "imageio/rim_read_cost.h"
#include "imageio/rim_thumbnail.h"
#include "support/rim_files.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::SmallRimOptions;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;
using testing_support::writeSmallRim;

namespace {

// A 100 x 60 image with 4 x 4 patches: 25 x 15 averages.
class RimScaledRead : public ::testing::Test {
 protected:
  void SetUp() override {
    SmallRimOptions options;
    options.width = 100;
    options.height = 60;
    ASSERT_EQ(writeSmallRim(rim, options), 0);
  }

  QImage averagesScaledTo(const QSize& size) {
    CImage preview;
    CRIMCodec codec;
    EXPECT_EQ(codec.renderAveragePreview(preview, rim), 0);
    return imageio::qimageFromRaster(preview).scaled(size, Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation);
  }

  QImage decodedScaledTo(const QSize& size) {
    CImage decoded;
    CRIMCodec codec;
    EXPECT_EQ(codec.decodeFile(decoded, rim), 0);
    const QImage image = imageio::qimageFromRaster(decoded);
    return size == image.size()
               ? image
               : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  }

  TraceCapture quiet;
  TempDir dir;
  std::string rim = dir.file("small.rim");
};

}  // namespace

TEST(FitInBox, KeepsTheAspectRatioAndNeverEnlarges) {
  struct Case {
    QSize image;
    int box;
    QSize fitted;
  };
  const Case cases[] = {
      {{400, 250}, 128, {128, 80}}, {{250, 400}, 128, {80, 128}}, {{100, 60}, 128, {100, 60}},
      {{1000, 1}, 128, {128, 1}},   {{0, 10}, 128, {}},           {{10, 10}, 0, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(imageio::fitInBox(c.image, c.box), c.fitted) << c.box;
}

TEST_F(RimScaledRead, SmallTargetsComeFromTheAverages) {
  // 25 x 15 averages serve targets up to 35 x 21 (0.7 of the target each way).
  for (const QSize target : {QSize(25, 15), QSize(35, 21), QSize(16, 10)}) {
    QImage image;
    ASSERT_EQ(imageio::readRimScaled(rim, target, image), 0);
    EXPECT_EQ(image.size(), target);
    EXPECT_EQ(image, averagesScaledTo(target)) << target.width();
  }
}

TEST_F(RimScaledRead, LargerTargetsAndTheFullSizeComeFromTheDecoder) {
  for (const QSize target : {QSize(36, 22), QSize(50, 30), QSize(100, 60), QSize(200, 120)}) {
    QImage image;
    ASSERT_EQ(imageio::readRimScaled(rim, target, image), 0);
    EXPECT_EQ(image.size(), target);
    EXPECT_EQ(image, decodedScaledTo(target)) << target.width();
  }
}

TEST_F(RimScaledRead, ThumbnailFitsTheBox) {
  QImage image;
  ASSERT_EQ(imageio::renderRimThumbnail(rim, 20, image), 0);
  EXPECT_EQ(image.size(), QSize(20, 12));
  EXPECT_EQ(image, averagesScaledTo(QSize(20, 12)));
  ASSERT_EQ(imageio::renderRimThumbnail(rim, 256, image), 0);
  EXPECT_EQ(image, decodedScaledTo(QSize(100, 60)));
}

TEST_F(RimScaledRead, DamagedFilesGiveAStatusAndNoPicture) {
  const std::string bytes = readFileBytes(rim);
  struct Case {
    const char* name;
    std::string bytes;
    Status expected;
  };
  std::string wrongMagic = bytes;
  wrongMagic[0] = 'X';
  std::string zeroWidth = bytes;
  for (int i = 12; i < 16; ++i) zeroWidth[static_cast<std::size_t>(i)] = 0;
  const Case cases[] = {
      {"wrong magic", wrongMagic, 21},
      {"zero width", zeroWidth, 22},
      {"header cut short", bytes.substr(0, 30), 14},
      // The averages are whole; the file is not, so the preview must not
      // pass it for whole.
      {"coefficients cut short", bytes.substr(0, bytes.size() - 1), -1},
  };
  for (const Case& c : cases) {
    writeFileBytes(dir.file("damaged.rim"), c.bytes);
    QImage image(1, 1, QImage::Format_RGB32);
    const Status s = imageio::readRimScaled(dir.file("damaged.rim"), QSize(16, 10), image);
    if (c.expected >= 0)
      EXPECT_EQ(s, c.expected) << c.name;
    else
      EXPECT_NE(s, 0) << c.name;
    EXPECT_TRUE(image.isNull()) << c.name;
  }
  QImage image;
  EXPECT_EQ(imageio::readRimScaled(dir.file("missing.rim"), QSize(16, 10), image), 8);
}

TEST_F(RimScaledRead, BytesAfterTheCoefficientsDoNotForceADecode) {
  // The decoder ignores what follows the coefficients; so does the choice.
  const std::string bytes = readFileBytes(rim);
  for (const std::size_t extra : {std::size_t{1}, std::size_t{4096}}) {
    writeFileBytes(dir.file("longer.rim"), bytes + std::string(extra, 'x'));
    QImage image;
    ASSERT_EQ(imageio::readRimScaled(dir.file("longer.rim"), QSize(16, 10), image), 0);
    EXPECT_EQ(image, averagesScaledTo(QSize(16, 10))) << extra;
  }
}

TEST_F(RimScaledRead, TheLayoutIsWholeWhereTheDecoderReadsTheFile) {
  const std::string bytes = readFileBytes(rim);
  imageio::RimLayout layout;
  ASSERT_EQ(imageio::readRimLayout(rim, layout), 0);
  const std::size_t coeffAt = layout.header.coeffOffset;
  std::string unknownMode = bytes;
  unknownMode[coeffAt] = 7;
  struct Case {
    const char* name;
    std::string bytes;
    bool whole;
  };
  const Case cases[] = {
      {"as written", bytes, true},
      {"bytes after it", bytes + "trailing", true},
      {"cut by a byte", bytes.substr(0, bytes.size() - 1), false},
      {"no coefficient section", bytes.substr(0, coeffAt), false},
      {"coefficients of an unknown mode", unknownMode, false},
  };
  for (const Case& c : cases) {
    writeFileBytes(dir.file("case.rim"), c.bytes);
    ASSERT_EQ(imageio::readRimLayout(dir.file("case.rim"), layout), 0) << c.name;
    EXPECT_EQ(layout.whole, c.whole) << c.name;
    EXPECT_EQ(layout.fileSize, c.bytes.size()) << c.name;
    CImage decoded;
    EXPECT_EQ(CRIMCodec().decodeFile(decoded, dir.file("case.rim")) == 0, c.whole) << c.name;
  }
}
