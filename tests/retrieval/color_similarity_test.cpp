// Colour similarity of RIM files: the stored averages as read from a file,
// and the answers for identical, different and unreadable files.
#include "retrieval/color_similarity.h"

#include <gtest/gtest.h>

#include "retrieval/synthetic_rim.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

ColorSimilarity measure(std::int32_t mode, const std::string& query) {
  ColorSimilarity c;
  c.resolution = 4;
  c.mode = mode;
  EXPECT_EQ(c.ComputeFeatures(c.queryBlockMeans, c.queryHistogram, query), 0);
  return c;
}

}  // namespace

TEST(ColorSimilarityFile, ReadsTheAveragesAsStoredBeforeDequantisation) {
  TempDir dir;
  synthetic::Rim rim = synthetic::randomRim(synthetic::header(20, 12, 4, 6, 0), 1);
  rim.averageStep = 3;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"), rim), 0);
  CAverage averages;
  ASSERT_EQ(ColorSimilarity::ReadRimAverages(averages, dir.file("a.rim")), 0);
  ASSERT_EQ(averages.rows(), 3u);
  ASSERT_EQ(averages.cols(), 15u);  // 5 x 3 patches
  for (std::uint32_t k = 0; k < averages.count(); ++k)
    ASSERT_EQ(averages.data()[k], static_cast<double>(static_cast<int>(rim.averages.data()[k] / 3)))
        << k;
}

TEST(ColorSimilarityFile, AFileComparedWithItselfGivesOneInEveryMode) {
  TempDir dir;
  // 80 x 72 pixels, 8 x 8 patches: 10 x 9 patches, enough for a structure
  // window.
  ASSERT_EQ(synthetic::write(dir.file("a.rim"),
                             synthetic::randomRim(synthetic::header(80, 72, 8, 4, 0), 2)),
            0);
  ASSERT_EQ(synthetic::write(dir.file("b.rim"),
                             synthetic::randomRim(synthetic::header(80, 72, 8, 4, 0), 3)),
            0);
  for (std::int32_t mode = 0; mode < 3; ++mode) {
    const ColorSimilarity c = measure(mode, dir.file("a.rim"));
    EXPECT_NEAR(c.Compare(dir.file("a.rim")), 1.0, 1e-12) << "mode " << mode;
    const double other = c.Compare(dir.file("b.rim"));
    EXPECT_GE(other, 0.0) << "mode " << mode;
    EXPECT_LT(other, 0.999) << "mode " << mode;
  }
}

TEST(ColorSimilarityFile, StructureOfASmallImageResemblesItself) {
  // 8 patch columns: one window as wide as the picture, so that the file
  // resembles itself as in the other modes.
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"),
                             synthetic::randomRim(synthetic::header(64, 200, 8, 4, 0), 4)),
            0);
  const ColorSimilarity c = measure(ColorSimilarity::kColorStructure, dir.file("a.rim"));
  EXPECT_NEAR(c.Compare(dir.file("a.rim")), 1.0, 1e-12);
  EXPECT_NEAR(measure(ColorSimilarity::kHistogram, dir.file("a.rim")).Compare(dir.file("a.rim")),
              1.0, 1e-12);
}

TEST(ColorSimilarityFile, UnreadableTargetsAndBadSettings) {
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"),
                             synthetic::randomRim(synthetic::header(40, 40, 8, 4, 1), 5)),
            0);
  const ColorSimilarity c = measure(ColorSimilarity::kBlockMean, dir.file("a.rim"));
  CAverage averages;
  EXPECT_EQ(ColorSimilarity::ReadRimAverages(averages, dir.file("missing.rim")), 8);
  EXPECT_EQ(c.Compare(dir.file("missing.rim")), -1.0);
  std::string bytes = readFileBytes(dir.file("a.rim"));
  bytes[1] = 0;
  writeFileBytes(dir.file("wrong.rim"), bytes);
  EXPECT_EQ(ColorSimilarity::ReadRimAverages(averages, dir.file("wrong.rim")), 21);
  EXPECT_EQ(c.Compare(dir.file("wrong.rim")), -1.0);
  writeFileBytes(dir.file("short.rim"), bytes.substr(0, 43));
  EXPECT_EQ(ColorSimilarity::ReadRimAverages(averages, dir.file("short.rim")), 14);

  // Resolution 0 (or below) is refused, and every comparison fails.
  ColorSimilarity zero;
  zero.resolution = 0;
  KPX::Matrix<double> M;
  KPX::Vector<double> H;
  EXPECT_EQ(zero.ComputeFeatures(M, H, dir.file("a.rim")), 22);
  EXPECT_EQ(zero.Compare(dir.file("a.rim")), -1.0);
  zero.resolution = -4;
  EXPECT_EQ(zero.Compare(dir.file("a.rim")), -1.0);
  // A mode outside 0..2 compares as 0.
  ColorSimilarity odd;
  odd.resolution = 4;
  odd.mode = 5;
  EXPECT_EQ(odd.Compare(dir.file("a.rim")), 0.0);
}

TEST(ColorSimilarityFile, AnUnreadableQueryResemblesNothing) {
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"),
                             synthetic::randomRim(synthetic::header(80, 80, 8, 4, 0), 6)),
            0);
  for (std::int32_t mode = 0; mode < 3; ++mode) {
    ColorSimilarity c;
    c.resolution = 4;
    c.mode = mode;
    EXPECT_EQ(c.ComputeFeatures(c.queryBlockMeans, c.queryHistogram, dir.file("none.rim")), 14);
    EXPECT_EQ(c.Compare(dir.file("a.rim")), 0.0) << "mode " << mode;
  }
}
