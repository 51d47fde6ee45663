// Base similarity of RIM files: what is read from a file and how unreadable
// files answer.
#include "retrieval/edge_similarity.h"

#include <gtest/gtest.h>

#include "retrieval/synthetic_rim.h"
#include "support/bytes.h"
#include "support/test_support.h"

using testing_support::getU32;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

// 24 x 16 pixels with 4 x 4 patches: 6 x 4 patches, bases of 48 values.
synthetic::Rim smallRim(std::uint32_t dimension, unsigned seed) {
  return synthetic::randomRim(synthetic::header(24, 16, 4, dimension, 0), seed);
}

}  // namespace

TEST(EdgeSimilarityFile, ReadsTheStoredBasesWithoutDividingByTheSteps) {
  TempDir dir;
  synthetic::Rim rim = smallRim(12, 1);
  ASSERT_EQ(synthetic::write(dir.file("a.rim"), rim), 0);
  KPX::Matrix<double> bases;
  ASSERT_EQ(EdgeSimilarity::ReadRimBases(dir.file("a.rim"), bases), 0);
  ASSERT_EQ(bases.rows(), 12u);
  ASSERT_EQ(bases.cols(), 48u);
  for (std::uint32_t k = 0; k < bases.count(); ++k)
    ASSERT_EQ(bases.data()[k], rim.bases.data()[k]) << k;

  KPX::Vector<double> norms;
  ASSERT_EQ(EdgeSimilarity::LoadBases(bases, norms, dir.file("a.rim")), 0);
  ASSERT_EQ(norms.count(), 12u);
  double s = 0;
  for (std::uint32_t j = 0; j < 48; ++j) s += rim.bases[3][j] * rim.bases[3][j];
  EXPECT_DOUBLE_EQ(norms[3], std::sqrt(s));
}

TEST(EdgeSimilarityFile, AFileComparedWithItselfGivesOne) {
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"), smallRim(48, 2)), 0);
  ASSERT_EQ(synthetic::write(dir.file("b.rim"), smallRim(48, 3)), 0);
  EdgeSimilarity edge;
  edge.baseLimit = 96;
  ASSERT_EQ(edge.SetQuery(dir.file("a.rim")), 0);
  EXPECT_NEAR(edge.Compare(dir.file("a.rim")), 1.0, 1e-12);
  const double other = edge.Compare(dir.file("b.rim"));
  EXPECT_GT(other, 0.0);
  EXPECT_LT(other, 0.9);
}

TEST(EdgeSimilarityFile, OnlyTheFirstBasesOfTheFileTakePart) {
  // 120 bases (P = 3 * 8 * 8 = 192), the first 96 shared with the query.
  TempDir dir;
  synthetic::Rim query = synthetic::randomRim(synthetic::header(64, 64, 8, 120, 0), 4);
  synthetic::Rim target = synthetic::randomRim(synthetic::header(64, 64, 8, 120, 0), 5);
  for (std::uint32_t i = 0; i < 96; ++i)
    for (std::uint32_t j = 0; j < 192; ++j) target.bases[i][j] = query.bases[i][j];
  ASSERT_EQ(synthetic::write(dir.file("q.rim"), query), 0);
  ASSERT_EQ(synthetic::write(dir.file("t.rim"), target), 0);
  EdgeSimilarity edge;
  edge.baseLimit = 96;
  ASSERT_EQ(edge.SetQuery(dir.file("q.rim")), 0);
  EXPECT_NEAR(edge.Compare(dir.file("t.rim")), 1.0, 1e-12);
  edge.baseLimit = 0;
  EXPECT_LT(edge.Compare(dir.file("t.rim")), 0.99);
}

TEST(EdgeSimilarityFile, UnreadableTargetsGiveMinusOne) {
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"), smallRim(12, 6)), 0);
  EdgeSimilarity edge;
  ASSERT_EQ(edge.SetQuery(dir.file("a.rim")), 0);
  KPX::Matrix<double> bases;
  EXPECT_EQ(EdgeSimilarity::ReadRimBases(dir.file("missing.rim"), bases), 8);
  EXPECT_EQ(edge.Compare(dir.file("missing.rim")), -1.0);

  const std::string bytes = readFileBytes(dir.file("a.rim"));
  // Another kind of file.
  std::string wrong = bytes;
  wrong[0] = 'X';
  writeFileBytes(dir.file("wrong.rim"), wrong);
  EXPECT_EQ(EdgeSimilarity::ReadRimBases(dir.file("wrong.rim"), bases), 21);
  EXPECT_EQ(edge.Compare(dir.file("wrong.rim")), -1.0);
  // A short header.
  writeFileBytes(dir.file("short.rim"), bytes.substr(0, 30));
  EXPECT_EQ(EdgeSimilarity::ReadRimBases(dir.file("short.rim"), bases), 14);
  EXPECT_EQ(edge.Compare(dir.file("short.rim")), -1.0);
  // A bases section cut short, and one of an unknown mode.
  const std::uint32_t baseOffset = getU32(bytes, 36);
  writeFileBytes(dir.file("cut.rim"), bytes.substr(0, baseOffset + 50));
  EXPECT_NE(EdgeSimilarity::ReadRimBases(dir.file("cut.rim"), bases), 0);
  EXPECT_EQ(edge.Compare(dir.file("cut.rim")), -1.0);
  std::string mode = bytes;
  mode[baseOffset] = 2;
  writeFileBytes(dir.file("mode.rim"), mode);
  EXPECT_EQ(EdgeSimilarity::ReadRimBases(dir.file("mode.rim"), bases), 16);
  EXPECT_EQ(edge.Compare(dir.file("mode.rim")), -1.0);
  // The failed reads left the output alone.
  EXPECT_EQ(bases.rows(), 0u);
}

TEST(EdgeSimilarityFile, AnUnreadableQueryResemblesNothing) {
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("a.rim"), smallRim(12, 7)), 0);
  EdgeSimilarity edge;
  EXPECT_EQ(edge.SetQuery(dir.file("missing.rim")), 14);
  EXPECT_EQ(edge.Compare(dir.file("a.rim")), 0.0);
}

TEST(EdgeSimilarityFile, OtherPatchSizesAreNotComparable) {
  TempDir dir;
  ASSERT_EQ(synthetic::write(dir.file("p4.rim"), smallRim(12, 8)), 0);
  ASSERT_EQ(synthetic::write(dir.file("p8.rim"),
                             synthetic::randomRim(synthetic::header(24, 16, 8, 12, 0), 9)),
            0);
  EdgeSimilarity edge;
  ASSERT_EQ(edge.SetQuery(dir.file("p4.rim")), 0);
  EXPECT_EQ(edge.Compare(dir.file("p8.rim")), 0.0);
}
