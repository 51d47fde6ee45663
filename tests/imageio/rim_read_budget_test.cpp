// What drawing a RIM file for another program may cost. Files of at most a
// megabyte that announce huge images (through tiny patches, wide patches,
// many bases, dense coefficients or zlib) cost the thumbnailer, the
// window's thumbnails and a Qt program's scaled read at most 256 MB and 2 s:
// they are drawn from their averages or refused (status 7), never decoded
// at any price.
#include <gtest/gtest.h>

#include <QImage>
#include <QString>
#include <algorithm>
#include <cmath>
#include <string>

#include "imageio/rim_read_cost.h"
#include "imageio/rim_thumbnail.h"
#include "support/hostile_rim.h"
#include "support/read_probe.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using testing_support::binPath;
using testing_support::ProbeRead;
using testing_support::runReadProbe;
using testing_support::StretchedRimOptions;
using testing_support::TempDir;
using testing_support::writeStretchedRim;

namespace {

// The figure every reader for someone else keeps, for the whole process;
// the time as processor time of all its threads, which a busy machine
// does not inflate (on an idle one the wall time is less).
constexpr long kFigureKb = 256 * 1024;
constexpr double kFigureSeconds = 2.0;

struct HostileCase {
  const char* name;
  StretchedRimOptions file;
  Status thumbnail;  // the desktop thumbnail (box 128)
  Status scaled;     // a scaled read of 128 x 128 within Qt's default limit (128 MB)
};

void PrintTo(const HostileCase& c, std::ostream* out) { *out << c.name; }

class HostileRim : public ::testing::TestWithParam<HostileCase> {
 protected:
  void SetUp() override { ASSERT_EQ(writeStretchedRim(path, GetParam().file), 0); }

  // A picture of at most box pixels each way, every one the files' grey; or
  // none, with the status expected.
  static void expectRead(const ProbeRead& read, int expected, int box, bool square,
                         const char* what) {
    ASSERT_TRUE(read.ran) << what;
    EXPECT_EQ(read.status, expected) << what;
    if (expected == 0) {
      EXPECT_TRUE(read.grey) << what;
      EXPECT_TRUE(square ? read.width == box && read.height == box
                         : std::max(read.width, read.height) == box)
          << what << ": " << read.width << "x" << read.height;
    } else {
      EXPECT_EQ(read.width, 0) << what;
    }
    if (!testing_support::kProbeCostsAreReal) return;
    EXPECT_LT(read.peakKb, kFigureKb) << what;
    EXPECT_LT(read.seconds, kFigureSeconds) << what;
  }

  TempDir dir;
  std::string path = dir.file("hostile.rim");
};

TEST_P(HostileRim, CostsAThumbnailOrAScaledReadLittle) {
  const HostileCase& c = GetParam();
  expectRead(runReadProbe({"thumbnail", path, "128"}), c.thumbnail.code(), 128, false, "thumbnail");
  // The window's thumbnails draw them the same way.
  expectRead(runReadProbe({"window", path, "128"}), c.thumbnail == 0 ? 0 : 1, 128, false,
             "window thumbnail");
  expectRead(runReadProbe({"scaled", path, "128", "128", "128"}), c.scaled.code(), 128, true,
             "scaled read");
}

StretchedRimOptions stretched(std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                              std::uint32_t patchHeight, std::uint32_t dimension = 1) {
  StretchedRimOptions o;
  o.width = width;
  o.height = height;
  o.patchWidth = patchWidth;
  o.patchHeight = patchHeight;
  o.dimension = dimension;
  return o;
}

StretchedRimOptions withTrailingByte(StretchedRimOptions o) {
  o.trailingBytes = 1;
  return o;
}

StretchedRimOptions dense(StretchedRimOptions o) {
  o.coefficient = 1;
  return o;
}

StretchedRimOptions zlibCoefficients(StretchedRimOptions o) {
  o.coeffMode = 1;
  return o;
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileRim,
    ::testing::Values(
        // 500 KB: 16000 x 16000 flat, the averages serve; with a byte after
        // the coefficients (which the decoder ignores) it once took 3 GB.
        HostileCase{"flat_16000_trailing_byte", withTrailingByte(stretched(16000, 16000, 8, 8)), 0,
                    0},
        HostileCase{"flat_16000", stretched(16000, 16000, 8, 8), 0, 0},
        // 1 MB: 7.8 million averages (188 MB of them).
        HostileCase{"one_pixel_patches", stretched(2800, 2800, 1, 1), 7, 7},
        // 130 KB: 33.5 million averages.
        HostileCase{"one_pixel_patches_zlib", zlibCoefficients(stretched(5792, 5792, 1, 1)), 7, 7},
        // 7 KB: three patches a row, so only a whole decode could draw it.
        HostileCase{"patches_5461_by_1", stretched(16000, 16000, 5461, 1), 7, 7},
        // 60 KB: 77 MB of bases, twice over while multiplying.
        HostileCase{"bases_of_77_megabytes", stretched(1000, 1000, 73, 73, 600), 7, 7},
        // 1 MB: four million coefficients of 4800 multiply-adds each; its
        // averages cover a thumbnail but not a square.
        HostileCase{"dense_coefficients", dense(stretched(4000, 2000, 40, 40, 800)), 0, 7},
        // 830 KB: just over the work a scaled read may do.
        HostileCase{"dense_coefficients_near_the_budget", dense(stretched(2000, 1660, 20, 20, 400)),
                    0, 7}),
    [](const ::testing::TestParamInfo<HostileCase>& p) { return std::string(p.param.name); });

TEST(ThumbnailerProgram, KeepsTheFigureOnTheFileThatOnceTookThreeGigabytes) {
  TempDir dir;
  ASSERT_EQ(
      writeStretchedRim(dir.file("flat.rim"), withTrailingByte(stretched(16000, 16000, 8, 8))), 0);
  ASSERT_EQ(writeStretchedRim(dir.file("wide.rim"), stretched(16000, 16000, 5461, 1)), 0);
  const ProbeRead flat = testing_support::runMeasured(
      binPath("folim-thumbnailer"), {"-s", "128", dir.file("flat.rim"), dir.file("flat.png")});
  ASSERT_TRUE(flat.ran);
  EXPECT_EQ(flat.status, 0) << flat.err;
  const QImage picture(QString::fromStdString(dir.file("flat.png")));
  EXPECT_EQ(picture.size(), QSize(128, 128));
  EXPECT_EQ(picture.pixel(64, 64), qRgb(100, 100, 100));
  if (testing_support::kProbeCostsAreReal) {
    EXPECT_LT(flat.peakKb, kFigureKb);
    EXPECT_LT(flat.seconds, kFigureSeconds);
  }
  const ProbeRead wide = testing_support::runMeasured(
      binPath("folim-thumbnailer"), {"-s", "128", dir.file("wide.rim"), dir.file("wide.png")});
  ASSERT_TRUE(wide.ran);
  EXPECT_EQ(wide.status, 1);
  EXPECT_EQ(wide.err,
            "folim-thumbnailer: " + dir.file("wide.rim") + ": Cannot allocate memory anymore.\n");
  if (testing_support::kProbeCostsAreReal) {
    EXPECT_LT(wide.peakKb, kFigureKb);
    EXPECT_LT(wide.seconds, kFigureSeconds);
  }
}

// The estimates are upper bounds of what drawing really takes: measured
// without a budget, each way of drawing stays within its estimate.
struct EstimateCase {
  const char* name;
  StretchedRimOptions file;  // width 0: a photograph-like file of the encoder
  QSize target;
};

void PrintTo(const EstimateCase& c, std::ostream* out) { *out << c.name; }

class RimReadCostBounds : public ::testing::TestWithParam<EstimateCase> {};

TEST_P(RimReadCostBounds, EstimatesAreNotExceeded) {
  if (!testing_support::kProbeCostsAreReal) GTEST_SKIP() << "a sanitizer build's costs";
  const EstimateCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.file("file.rim");
  if (c.file.width == 0) {
    testing_support::SmallRimOptions options;
    options.width = 1200;
    options.height = 800;
    options.patchWidth = options.patchHeight = 8;
    options.dimension = 96;
    ASSERT_EQ(testing_support::writeSmallRim(path, options), 0);
  } else {
    ASSERT_EQ(writeStretchedRim(path, c.file), 0);
  }
  imageio::RimLayout layout;
  ASSERT_EQ(imageio::readRimLayout(path, layout), 0);
  ASSERT_TRUE(layout.whole);
  const QSize full(static_cast<int>(layout.header.imageWidth),
                   static_cast<int>(layout.header.imageHeight));
  const double columns = std::ceil(full.width() / double(layout.header.patchWidth));
  const bool fromAverages = columns >= imageio::kPreviewRatio * c.target.width();
  const imageio::ReadCost cost = fromAverages ? imageio::averagesCost(layout, c.target)
                                              : imageio::decodeCost(layout, c.target);
  const ProbeRead read = runReadProbe(
      {"scaled", path, std::to_string(c.target.width()), std::to_string(c.target.height()), "0"});
  ASSERT_TRUE(read.ran);
  ASSERT_EQ(read.status, 0);
  // A few megabytes of the allocator's, of Qt's own and of code first run
  // are not estimated.
  EXPECT_LT(read.growthKb * 1024, static_cast<long>(cost.bytes) + (4 << 20))
      << (fromAverages ? "averages, " : "decode, ") << cost.bytes / 1024 << " KB estimated";
}

INSTANTIATE_TEST_SUITE_P(
    Files, RimReadCostBounds,
    ::testing::Values(
        EstimateCase{"flat_averages", stretched(8000, 8000, 8, 8), QSize(128, 128)},
        EstimateCase{"flat_decoded_and_scaled", stretched(4000, 3000, 8, 8), QSize(3000, 2000)},
        EstimateCase{"flat_decoded_whole", stretched(4000, 3000, 8, 8), QSize(4000, 3000)},
        EstimateCase{"zlib_coefficients_decoded", zlibCoefficients(stretched(3000, 2000, 4, 4, 48)),
                     QSize(1500, 1000)},
        EstimateCase{"dense_decoded", dense(stretched(2000, 1000, 16, 16, 100)), QSize(1000, 500)},
        EstimateCase{"photograph_decoded", StretchedRimOptions{0}, QSize(1200, 800)}),
    [](const ::testing::TestParamInfo<EstimateCase>& p) { return std::string(p.param.name); });

}  // namespace
