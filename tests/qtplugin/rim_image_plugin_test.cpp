// The Qt image plugin as a Qt program meets it: under the program's
// allocation limit it reads what Qt's own readers would read there and
// refuses what they would refuse, and a scaled read is drawn from the patch
// averages where they cover it, within the figure every reader for other
// programs keeps (256 MB, 2 s).
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageIOPlugin>
#include <QImageReader>
#include <QPluginLoader>
#include <memory>
#include <string>

#include "support/hostile_rim.h"
#include "support/read_probe.h"
#include "support/test_support.h"

using testing_support::ProbeRead;
using testing_support::runReadProbe;
using testing_support::StretchedRimOptions;
using testing_support::TempDir;
using testing_support::writeStretchedRim;

namespace {

constexpr long kFigureKb = 256 * 1024;

StretchedRimOptions flat(std::uint32_t width, std::uint32_t height, std::size_t trailing = 0) {
  StretchedRimOptions o;
  o.width = width;
  o.height = height;
  o.trailingBytes = trailing;
  return o;
}

class RimImagePlugin : public ::testing::Test {
 protected:
  void SetUp() override {
    // The plugin of this build, whatever the machine's plugin folder holds.
    plugin_ = qobject_cast<QImageIOPlugin*>(loader_.instance());
    ASSERT_NE(plugin_, nullptr) << loader_.errorString().toStdString();
  }
  void TearDown() override { QImageReader::setAllocationLimit(savedLimit_); }

  // Reads path through the plugin's handler, at scaled when it is valid.
  bool read(const std::string& path, const QSize& scaled, QImage& image) {
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) return false;
    const std::unique_ptr<QImageIOHandler> handler(plugin_->create(&file, "rim"));
    if (scaled.isValid()) handler->setOption(QImageIOHandler::ScaledSize, scaled);
    return handler->read(&image);
  }

  TempDir dir;

 private:
  QPluginLoader loader_{QStringLiteral(FOLIM_QT_PLUGIN)};
  QImageIOPlugin* plugin_ = nullptr;
  int savedLimit_ = QImageReader::allocationLimit();
};

TEST_F(RimImagePlugin, FullSizeReadsObeyTheAllocationLimitAsQtsOwnReadersDo) {
  // 3000 x 3000: 36 MB as Qt's PNG reader holds it, 54 MB as the decoder
  // and the picture it hands out hold it.
  const std::string rim = dir.file("flat.rim");
  ASSERT_EQ(writeStretchedRim(rim, flat(3000, 3000)), 0);
  const std::string png = dir.file("flat.png");
  QImage grey(3000, 3000, QImage::Format_RGB32);
  grey.fill(qRgb(100, 100, 100));
  ASSERT_TRUE(grey.save(QString::fromStdString(png)));

  const struct {
    int limitMegabytes;
    bool read;
  } cases[] = {{16, false}, {64, true}, {0, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.limitMegabytes);
    QImageReader::setAllocationLimit(c.limitMegabytes);
    EXPECT_EQ(!QImageReader(QString::fromStdString(png)).read().isNull(), c.read);
    QImage image;
    EXPECT_EQ(read(rim, QSize(), image), c.read);
    EXPECT_EQ(image.isNull(), !c.read);
    if (c.read) {
      EXPECT_EQ(image.size(), QSize(3000, 3000));
      EXPECT_EQ(image.pixel(1500, 1500), qRgb(100, 100, 100));
    }
  }
}

TEST_F(RimImagePlugin, ScaledReadsComeFromTheAveragesWithinTheSameLimit) {
  const std::string rim = dir.file("flat.rim");
  ASSERT_EQ(writeStretchedRim(rim, flat(3000, 3000)), 0);
  // 375 x 375 averages: 16 MB of limit is plenty for them, not for a decode.
  QImageReader::setAllocationLimit(16);
  QImage image;
  ASSERT_TRUE(read(rim, QSize(300, 200), image));
  EXPECT_EQ(image.size(), QSize(300, 200));
  EXPECT_EQ(image.pixel(150, 100), qRgb(100, 100, 100));
  QImage larger;
  EXPECT_FALSE(read(rim, QSize(1000, 1000), larger));
  EXPECT_TRUE(larger.isNull());
}

TEST_F(RimImagePlugin, AHugeFlatFileCostsAScaledReadLittleAndIsRefusedWhole) {
  // 16000 x 16000 in 500 KB, with a byte after the coefficients: once 3.2 GB
  // and 13 s for a 128 x 128 read, and 1.5 GB for the full size under a
  // limit of 128 MB.
  const std::string rim = dir.file("huge.rim");
  ASSERT_EQ(writeStretchedRim(rim, flat(16000, 16000, 1)), 0);
  const ProbeRead scaled = runReadProbe({"plugin", FOLIM_QT_PLUGIN, rim, "128", "128", "128"});
  ASSERT_TRUE(scaled.ran);
  EXPECT_EQ(scaled.status, 0);
  EXPECT_EQ(scaled.width, 128);
  EXPECT_TRUE(scaled.grey);
  if (testing_support::kProbeCostsAreReal) {
    EXPECT_LT(scaled.peakKb, kFigureKb);
    EXPECT_LT(scaled.seconds, 2.0);
  }
  const ProbeRead whole = runReadProbe({"plugin", FOLIM_QT_PLUGIN, rim, "0", "0", "128"});
  ASSERT_TRUE(whole.ran);
  EXPECT_EQ(whole.status, 1);
  if (testing_support::kProbeCostsAreReal) {
    EXPECT_LT(whole.peakKb, kFigureKb);
  }
}

}  // namespace
