#include "retrieval/greedy_match.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "support/matrices.h"

using testing_support::matrixOf;

namespace {

bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(GreedyMatch, WorkedExampleFollowsTheRearrangedBlock) {
  // Step 0 takes 0.9 at (1, 2); row 0 is copied over row 1 and column 0
  // over column 2, leaving the block [[0.2, 0.1], [0.8, 0.7]]. Step 1 takes
  // 0.8 at (2, 1); step 2 what is left at (2, 2): query 0 against target 0.
  KPX::Matrix<double> S = matrixOf(3, 3,
                                   {0.1, 0.2, 0.5,  //
                                    0.3, 0.4, 0.9,  //
                                    0.7, 0.8, 0.6});
  std::vector<MatchStep> steps;
  KPX::Matrix<double> copy = S;
  const double reference = GreedyMatchScoreReference(copy, 3, &steps);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].row, 1u);
  EXPECT_EQ(steps[0].column, 2u);
  EXPECT_EQ(steps[0].value, 0.9);
  EXPECT_EQ(steps[1].row, 2u);
  EXPECT_EQ(steps[1].column, 1u);
  EXPECT_EQ(steps[1].value, 0.8);
  EXPECT_EQ(steps[2].row, 2u);
  EXPECT_EQ(steps[2].column, 2u);
  // Query 0 and target 0 are the ones left; S[0][0] = 0.1.
  EXPECT_EQ(steps[2].value, 0.1);
  EXPECT_DOUBLE_EQ(reference, (3 * 0.9 + 2 * 0.8 + 1 * 0.1) / 6);

  std::vector<MatchStep> fastSteps;
  EXPECT_TRUE(sameBits(GreedyMatchScore(S, 3, &fastSteps), reference));
  ASSERT_EQ(fastSteps.size(), 3u);
  for (std::size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(fastSteps[k].row, steps[k].row);
    EXPECT_EQ(fastSteps[k].column, steps[k].column);
  }
}

TEST(GreedyMatch, EqualEntriesPickTheDiagonal) {
  KPX::Matrix<double> S(5, 5);
  KPX::fill(S, 0.5);
  std::vector<MatchStep> steps;
  EXPECT_DOUBLE_EQ(GreedyMatchScore(S, 5, &steps), 0.5);
  for (std::uint32_t i = 0; i < 5; ++i) {
    EXPECT_EQ(steps[i].row, i);
    EXPECT_EQ(steps[i].column, i);
  }
}

TEST(GreedyMatch, NothingToMatchGivesZero) {
  KPX::Matrix<double> S;
  EXPECT_EQ(GreedyMatchScore(S, 0), 0.0);
  EXPECT_EQ(GreedyMatchScoreReference(S, 0), 0.0);
}

TEST(GreedyMatch, OnlyTheLeadingBlockTakesPart) {
  // A large value outside the 2 x 2 block is never chosen.
  KPX::Matrix<double> S = matrixOf(3, 3,
                                   {0.5, 0.25, 1.0,  //
                                    0.25, 0.5, 1.0,  //
                                    1.0, 1.0, 1.0});
  EXPECT_DOUBLE_EQ(GreedyMatchScore(S, 2), 0.5);
}

TEST(GreedyMatch, NotANumberNeverReplacesTheCandidate) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  KPX::Matrix<double> S = matrixOf(2, 2,
                                   {0.2, nan,  //
                                    nan, 0.1});
  std::vector<MatchStep> steps;
  EXPECT_DOUBLE_EQ(GreedyMatchScore(S, 2, &steps), (2 * 0.2 + 0.1) / 3);
  EXPECT_EQ(steps[0].column, 0u);
  // A NaN at (i, i) is kept: nothing compares greater than it.
  KPX::Matrix<double> T = matrixOf(2, 2,
                                   {nan, 0.9,  //
                                    0.9, 0.1});
  EXPECT_TRUE(std::isnan(GreedyMatchScore(T, 2, &steps)));
  EXPECT_EQ(steps[0].row, 0u);
  EXPECT_EQ(steps[0].column, 0u);
}

// The fast procedure must make exactly the reference's choices, ties and
// NaNs included, and give the same bits.
TEST(GreedyMatch, FastProcedureEqualsTheReference) {
  std::mt19937 random(20240611);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (int trial = 0; trial < 3000; ++trial) {
    const std::uint32_t n = 1 + random() % 24;
    const std::uint32_t rows = n + random() % 4;
    const std::uint32_t cols = n + random() % 4;
    // Few distinct values make ties the rule; some trials add NaNs and
    // signed zeros, some use continuous values.
    const int kind = trial % 4;
    const int levels = 1 + static_cast<int>(random() % 4);
    KPX::Matrix<double> S(rows, cols);
    for (std::uint32_t k = 0; k < S.count(); ++k) {
      double v;
      if (kind == 3) {
        v = std::uniform_real_distribution<double>(0.0, 1.0)(random);
      } else {
        v = static_cast<double>(random() % levels) / levels;
        if (kind == 1 && random() % 10 == 0) v = nan;
        if (kind == 2 && v == 0.0 && random() % 2 == 0) v = -0.0;
      }
      S.data()[k] = v;
    }
    KPX::Matrix<double> copy = S;
    std::vector<MatchStep> expected, actual;
    const double reference = GreedyMatchScoreReference(copy, n, &expected);
    const double fast = GreedyMatchScore(S, n, &actual);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
      ASSERT_EQ(actual[k].row, expected[k].row) << "trial " << trial << " step " << k;
      ASSERT_EQ(actual[k].column, expected[k].column) << "trial " << trial << " step " << k;
      ASSERT_TRUE(sameBits(actual[k].value, expected[k].value)) << "trial " << trial;
    }
    ASSERT_TRUE(sameBits(fast, reference)) << "trial " << trial;
  }
}
