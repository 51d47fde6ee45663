// Base similarity on base sets held in memory: the similarity matrix and the
// matching score.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "retrieval/edge_similarity.h"

namespace {

KPX::Matrix<double> randomBases(std::uint32_t count, std::uint32_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<int> value(-63, 63);
  KPX::Matrix<double> m(count, length);
  for (std::uint32_t k = 0; k < m.count(); ++k) m.data()[k] = value(random);
  return m;
}

KPX::Vector<double> normsOf(const KPX::Matrix<double>& m) {
  KPX::Vector<double> v(m.rows());
  for (std::uint32_t i = 0; i < m.rows(); ++i) {
    double s = 0;
    for (std::uint32_t j = 0; j < m.cols(); ++j) s += m[i][j] * m[i][j];
    v[i] = std::sqrt(s);
  }
  return v;
}

EdgeSimilarity queryOf(const KPX::Matrix<double>& bases, std::uint32_t limit = 0) {
  EdgeSimilarity e;
  e.queryBases = bases;
  e.queryNorms = normsOf(bases);
  e.baseLimit = limit;
  return e;
}

// The first n rows of m with rows [from, to) replaced by other values.
KPX::Matrix<double> withRows(const KPX::Matrix<double>& m, std::uint32_t rows,
                             std::uint32_t changedFrom, unsigned seed) {
  KPX::Matrix<double> other = randomBases(rows, m.cols(), seed);
  for (std::uint32_t i = 0; i < rows && i < changedFrom && i < m.rows(); ++i)
    for (std::uint32_t j = 0; j < m.cols(); ++j) other[i][j] = m[i][j];
  return other;
}

}  // namespace

TEST(EdgeSimilarityMatrix, AbsoluteCosineAndZeroBases) {
  KPX::Matrix<double> Q(3, 2), T(2, 2);
  Q[0][0] = 3, Q[0][1] = 4;  // length 5
  Q[1][0] = 0, Q[1][1] = 0;  // zero base
  Q[2][0] = 1, Q[2][1] = 0;
  T[0][0] = -4, T[0][1] = -3;  // length 5, opposite-ish
  T[1][0] = 0, T[1][1] = 0;
  KPX::Matrix<double> S;
  ASSERT_EQ(EdgeSimilarity::BuildSimilarityMatrix(S, Q, normsOf(Q), T, normsOf(T)), 0);
  ASSERT_EQ(S.rows(), 3u);
  ASSERT_EQ(S.cols(), 2u);
  EXPECT_DOUBLE_EQ(S[0][0], 24.0 / 25.0);  // |-12 - 12| / 25
  EXPECT_EQ(S[0][1], 0.0);                 // one zero base
  EXPECT_EQ(S[1][0], 0.0);
  EXPECT_EQ(S[1][1], 1.0);  // two zero bases count as identical
  EXPECT_DOUBLE_EQ(S[2][0], 4.0 / 5.0);
}

TEST(EdgeSimilarityMatrix, RefusesShapesThatDoNotFit) {
  KPX::Matrix<double> S;
  const KPX::Matrix<double> Q = randomBases(4, 12, 1);
  const KPX::Matrix<double> T = randomBases(4, 27, 2);
  EXPECT_EQ(EdgeSimilarity::BuildSimilarityMatrix(S, Q, normsOf(Q), T, normsOf(T)), 22);
  EXPECT_EQ(EdgeSimilarity::BuildSimilarityMatrix(S, Q, normsOf(Q), Q, KPX::Vector<double>(3)), 22);
}

TEST(EdgeMatchScore, SameBasesGiveOne) {
  const KPX::Matrix<double> B = randomBases(96, 192, 7);
  const EdgeSimilarity e = queryOf(B, 96);
  EXPECT_NEAR(e.MatchScore(B, normsOf(B)), 1.0, 1e-12);
  // A positive factor per base (the skipped division by the steps) does not
  // change a cosine.
  KPX::Matrix<double> scaled = B;
  for (std::uint32_t i = 0; i < scaled.rows(); ++i)
    for (std::uint32_t j = 0; j < scaled.cols(); ++j) scaled[i][j] *= 1.0 + i;
  EXPECT_NEAR(e.MatchScore(scaled, normsOf(scaled)), 1.0, 1e-12);
}

TEST(EdgeMatchScore, ExtraBasesOnEitherSideAreIgnored) {
  const KPX::Matrix<double> Q = randomBases(10, 48, 11);
  const KPX::Matrix<double> T = randomBases(10, 48, 12);
  const double base = queryOf(Q).MatchScore(T, normsOf(T));
  ASSERT_GT(base, 0.0);
  ASSERT_LT(base, 1.0);
  // More target bases, the first 10 unchanged.
  const KPX::Matrix<double> moreT = withRows(T, 25, 10, 13);
  EXPECT_EQ(queryOf(Q).MatchScore(moreT, normsOf(moreT)), base);
  // More query bases.
  const KPX::Matrix<double> moreQ = withRows(Q, 17, 10, 14);
  EXPECT_EQ(queryOf(moreQ).MatchScore(T, normsOf(T)), base);
}

TEST(EdgeMatchScore, BaseLimitCutsBothSides) {
  // 120 bases each; only the first 96 take part.
  const KPX::Matrix<double> Q = randomBases(120, 24, 21);
  const KPX::Matrix<double> T = withRows(Q, 120, 96, 22);
  const EdgeSimilarity limited = queryOf(Q, 96);
  EXPECT_NEAR(limited.MatchScore(T, normsOf(T)), 1.0, 1e-12);
  const EdgeSimilarity unlimited = queryOf(Q, 0);
  EXPECT_LT(unlimited.MatchScore(T, normsOf(T)), 0.99);
  // The limited score equals the score of the first 96 bases alone.
  const KPX::Matrix<double> Q96 = withRows(Q, 96, 96, 0);
  const KPX::Matrix<double> T2 = randomBases(120, 24, 23);
  EXPECT_EQ(limited.MatchScore(T2, normsOf(T2)),
            queryOf(Q96).MatchScore(withRows(T2, 96, 96, 0), normsOf(withRows(T2, 96, 96, 0))));
}

TEST(EdgeMatchScore, NothingToCompareGivesZero) {
  const KPX::Matrix<double> B = randomBases(8, 12, 31);
  // No query bases (its file could not be read) or no target bases.
  EXPECT_EQ(EdgeSimilarity().MatchScore(B, normsOf(B)), 0.0);
  EXPECT_EQ(queryOf(B).MatchScore(KPX::Matrix<double>(), KPX::Vector<double>()), 0.0);
  // Bases of another length (another patch size) cannot be compared.
  const KPX::Matrix<double> other = randomBases(8, 27, 32);
  EXPECT_EQ(queryOf(B).MatchScore(other, normsOf(other)), 0.0);
}

TEST(EdgeMatchScore, WeightsTheFirstMatchesMost) {
  // Query base 0 matches target base 1 exactly, query base 1 is orthogonal to
  // target base 0: (2 * 1 + 1 * 0) / 3.
  KPX::Matrix<double> Q(2, 2), T(2, 2);
  Q[0][0] = 1, Q[0][1] = 0;
  Q[1][0] = 1, Q[1][1] = 0;
  T[0][0] = 0, T[0][1] = 2;
  T[1][0] = -5, T[1][1] = 0;
  EXPECT_DOUBLE_EQ(queryOf(Q).MatchScore(T, normsOf(T)), 2.0 / 3.0);
}
