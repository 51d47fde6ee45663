// Signatures: learned in memory they equal what the encoder stores, and the
// measures between signatures give what the file measures give.
#include "retrieval/signature.h"

#include <gtest/gtest.h>

#include "codec/trace.h"
#include "retrieval/color_similarity.h"
#include "retrieval/edge_similarity.h"
#include "retrieval/synthetic_rim.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::TempDir;

namespace {

void expectSameMatrix(const KPX::Matrix<double>& a, const KPX::Matrix<double>& b) {
  ASSERT_EQ(a.rows(), b.rows());
  ASSERT_EQ(a.cols(), b.cols());
  for (std::uint32_t k = 0; k < a.count(); ++k) ASSERT_EQ(a.data()[k], b.data()[k]) << k;
}

void expectSameVector(const KPX::Vector<double>& a, const KPX::Vector<double>& b) {
  ASSERT_EQ(a.count(), b.count());
  for (std::uint32_t k = 0; k < a.count(); ++k) ASSERT_EQ(a[k], b[k]) << k;
}

struct LearnCase {
  const char* name;
  std::uint16_t colorSpace;
  std::uint32_t maxIterations;
  int width;
  int height;
};

class LearnedSignature : public ::testing::TestWithParam<LearnCase> {};

// What the encoder writes and what learning keeps in memory are the same
// numbers, for every colour space and both learning methods.
TEST_P(LearnedSignature, EqualsTheSignatureOfTheEncodedFile) {
  const LearnCase& c = GetParam();
  TempDir dir;
  const CImage image = testing_support::patternImage(c.width, c.height);
  ASSERT_EQ(testing_support::writeRimFile(dir.file("a.rim"), image, c.colorSpace, c.maxIterations),
            status::Success);
  Signature fromFile;
  ASSERT_EQ(ReadRimSignature(dir.file("a.rim"), fromFile), status::Success);

  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  common.ColorSpace = c.colorSpace;
  learning.MaxIterations = c.maxIterations;
  Signature learned;
  {
    TraceTarget quiet(nullptr);
    ASSERT_EQ(LearnSignature(image, common, learning, compression, learned), status::Success);
  }
  EXPECT_EQ(learned.learningMethod, c.maxIterations != 0 ? 1 : 0);
  EXPECT_EQ(learned.learningMethod, fromFile.learningMethod);
  EXPECT_EQ(learned.imageWidth, fromFile.imageWidth);
  EXPECT_EQ(learned.imageHeight, fromFile.imageHeight);
  EXPECT_EQ(learned.dimension, fromFile.dimension);
  expectSameMatrix(learned.bases, fromFile.bases);
  expectSameVector(learned.baseNorms, fromFile.baseNorms);
  expectSameMatrix(learned.blockMeans, fromFile.blockMeans);
  expectSameVector(learned.histogram, fromFile.histogram);
  expectSameVector(learned.structure, fromFile.structure);
  EXPECT_DOUBLE_EQ(SignatureEdgeSimilarity(learned, fromFile), 1.0);
}

INSTANTIATE_TEST_SUITE_P(
    ColourSpacesAndMethods, LearnedSignature,
    ::testing::Values(LearnCase{"rgb_pca", 0, 0, 120, 90}, LearnCase{"ycc_pca", 1, 0, 97, 75},
                      LearnCase{"hsv_pca", 2, 0, 80, 120}, LearnCase{"rgb_ica", 0, 5, 96, 96}),
    [](const ::testing::TestParamInfo<LearnCase>& p) { return std::string(p.param.name); });

// The measures between signatures are the file measures of the search.
TEST(SignatureMeasures, EqualTheFileMeasuresInEveryColourMode) {
  TempDir dir;
  const RIMHeader h1 = synthetic::header(160, 120, 8, 40, 0);
  const RIMHeader h2 = synthetic::header(136, 104, 8, 40, 0);
  ASSERT_EQ(synthetic::write(dir.file("q.rim"), synthetic::randomRim(h1, 11)), 0);
  ASSERT_EQ(synthetic::write(dir.file("t.rim"), synthetic::randomRim(h2, 12)), 0);
  Signature q, t;
  ASSERT_EQ(ReadRimSignature(dir.file("q.rim"), q), status::Success);
  ASSERT_EQ(ReadRimSignature(dir.file("t.rim"), t), status::Success);

  EdgeSimilarity edge;
  edge.baseLimit = 96;
  ASSERT_EQ(edge.SetQuery(dir.file("q.rim")), status::Success);
  EXPECT_EQ(SignatureEdgeSimilarity(q, t), edge.Compare(dir.file("t.rim")));
  for (std::int32_t mode : {0, 1, 2}) {
    ColorSimilarity color;
    color.resolution = 4;
    color.mode = mode;
    ASSERT_EQ(color.ComputeFeatures(color.queryBlockMeans, color.queryHistogram, dir.file("q.rim")),
              status::Success);
    EXPECT_EQ(SignatureColorSimilarity(q, t, mode), color.Compare(dir.file("t.rim"))) << mode;
  }
  // 3 is the robust measure's colour half; a number past it measures nothing.
  EXPECT_GT(SignatureColorSimilarity(q, t, kRobustColorMode), 0.0);
  EXPECT_EQ(SignatureColorSimilarity(q, t, kRobustColorMode + 1), 0.0);
}

TEST(SignatureReading, ReportsAMissingOrForeignFile) {
  TempDir dir;
  Signature s;
  s.dimension = 7;
  EXPECT_EQ(ReadRimSignature(dir.file("none.rim"), s), status::CannotOpenFile);
  testing_support::writeFileBytes(dir.file("text.rim"), std::string(100, 'x'));
  EXPECT_NE(ReadRimSignature(dir.file("text.rim"), s), status::Success);
  EXPECT_EQ(s.dimension, 7u);  // untouched on failure
}

TEST(SignatureLearning, RefusesAnEmptyImageAndADimensionBeyondThePatch) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  Signature s;
  EXPECT_EQ(LearnSignature(CImage(), common, learning, compression, s), status::InvalidValues);
  learning.DimensionReduction = 3 * 8 * 8 + 1;
  EXPECT_EQ(LearnSignature(testing_support::patternImage(64, 64), common, learning, compression, s),
            status::InconsistentParameters);
}

}  // namespace
