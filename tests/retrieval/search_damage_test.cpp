// Systematic damage of an encoder-made RIM file as a search target: every
// truncation and every single bit flipped. The search readers must answer
// with a status and the measures with a similarity in [0, 1], -1 (cannot be
// read) or not a number (ranked last), quickly. The block-mean cosine is
// the exception: averages a damaged file decodes to may be negative, which
// takes it down to -1.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>

#include "codec/components.h"
#include "retrieval/color_similarity.h"
#include "retrieval/edge_similarity.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::SmallRimOptions;
using testing_support::TempDir;
using testing_support::writeFileBytes;
using testing_support::writeSmallRim;

namespace {

// 40 x 36 pixels in 4 x 4 patches: a 10 x 9 grid, enough for the colour
// structure windows.
SmallRimOptions gridFile() {
  SmallRimOptions o;
  o.width = 40;
  o.height = 36;
  o.dimension = 10;
  return o;
}

void expectScore(double score, const std::string& what, double lowest = 0.0) {
  if (std::isnan(score) || score == -1.0) return;
  EXPECT_GE(score, lowest - 1e-9) << what;
  EXPECT_LE(score, 1.0 + 1e-9) << what;
}

class SearchTargets {
 public:
  explicit SearchTargets(const std::string& query) {
    edge_.baseLimit = 96;
    EXPECT_EQ(edge_.SetQuery(query), 0);
    for (std::int32_t mode = 0; mode < 3; ++mode) {
      colors_[mode].resolution = 4;
      colors_[mode].mode = mode;
      EXPECT_EQ(colors_[mode].ComputeFeatures(colors_[mode].queryBlockMeans,
                                              colors_[mode].queryHistogram, query),
                0);
    }
  }

  // Reads and scores path as a target; the colour measure turns with `turn`.
  void run(const std::string& path, int turn, const std::string& what) {
    const auto start = std::chrono::steady_clock::now();
    KPX::Matrix<double> bases;
    const Status b = EdgeSimilarity::ReadRimBases(path, bases);
    EXPECT_TRUE(b >= 0 && b < status::Count) << what;
    CAverage averages;
    const Status a = ColorSimilarity::ReadRimAverages(averages, path);
    EXPECT_TRUE(a >= 0 && a < status::Count) << what;
    expectScore(edge_.Compare(path), what);
    const ColorSimilarity& color = colors_[turn % 3];
    expectScore(color.Compare(path), what, color.mode == ColorSimilarity::kBlockMean ? -1.0 : 0.0);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    slowest_ = std::max(slowest_, took.count());
    if (b == status::Success && a == status::Success) ++readable_;
  }

  double slowestSeconds() const { return slowest_; }
  int readable() const { return readable_; }

 private:
  EdgeSimilarity edge_;
  ColorSimilarity colors_[3];
  double slowest_ = 0.0;
  int readable_ = 0;
};

}  // namespace

TEST(SearchDamage, EveryTruncationOfATarget) {
  TempDir dir;
  ASSERT_EQ(writeSmallRim(dir.file("query.rim"), gridFile()), 0);
  const std::string good = readFileBytes(dir.file("query.rim"));
  SearchTargets targets(dir.file("query.rim"));
  targets.run(dir.file("query.rim"), 0, "whole");
  ASSERT_EQ(targets.readable(), 1);
  for (std::size_t length = 0; length < good.size(); ++length) {
    writeFileBytes(dir.file("cut.rim"), good.substr(0, length));
    targets.run(dir.file("cut.rim"), static_cast<int>(length), "cut at " + std::to_string(length));
  }
  // Bases and averages lie before the coefficients: cuts inside the
  // coefficients still leave both readable.
  EXPECT_GT(targets.readable(), 1);
  EXPECT_LT(targets.slowestSeconds(), 0.5);
}

TEST(SearchDamage, EveryBitFlipOfATarget) {
  TempDir dir;
  ASSERT_EQ(writeSmallRim(dir.file("query.rim"), gridFile()), 0);
  const std::string good = readFileBytes(dir.file("query.rim"));
  SearchTargets targets(dir.file("query.rim"));
  for (std::size_t at = 0; at < good.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string bytes = good;
      bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
      writeFileBytes(dir.file("bad.rim"), bytes);
      targets.run(dir.file("bad.rim"), bit,
                  "byte " + std::to_string(at) + " bit " + std::to_string(bit));
    }
  }
  EXPECT_LT(targets.slowestSeconds(), 0.5);
}
