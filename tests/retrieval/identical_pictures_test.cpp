// A picture compared with itself scores 1 in every colour mode, the robust
// measure's included, and for the edges, whatever its size: small pictures and thin strips
// included, where a fixed structure window does not fit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "retrieval/search.h"
#include "retrieval/signature.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::patternImage;
using testing_support::TempDir;
using testing_support::writeRimFile;

namespace {

struct Size {
  int width;
  int height;
};

class IdenticalPictures : public testing::TestWithParam<Size> {};

TEST_P(IdenticalPictures, ScoreOneAgainstThemselves) {
  const Size size = GetParam();
  TempDir dir;
  const std::string path = dir.file("picture.rim");
  ASSERT_EQ(writeRimFile(path, patternImage(size.width, size.height)), 0);

  ImageEntry entry;
  entry.name = "picture.rim";
  entry.path = path;
  for (std::int32_t mode : {0, 1, 2}) {
    SearchRequest request;
    request.queryPath = path;
    request.queryBaseType = 0;
    request.colorMode = mode;
    const SearchResult result = RunSearch(request, {entry});
    ASSERT_EQ(result.outcome, SearchOutcome::Ranked) << result.message;
    ASSERT_EQ(result.candidates.size(), 1u);
    EXPECT_NEAR(result.candidates[0].colorSimilarity, 1.0, 5e-7) << "mode " << mode;
    EXPECT_NEAR(result.candidates[0].edgeSimilarity, 1.0, 5e-7);
    EXPECT_NEAR(result.candidates[0].score, 1.0, 5e-7) << "mode " << mode;
  }
  // The index compares signatures: the same there.
  Signature signature;
  ASSERT_EQ(ReadRimSignature(path, signature), 0);
  EXPECT_NEAR(SignatureEdgeSimilarity(signature, signature), 1.0, 5e-7);
  for (std::int32_t mode : {0, 1, 2, kRobustColorMode})
    EXPECT_NEAR(SignatureColorSimilarity(signature, signature, mode), 1.0, 5e-7) << mode;
  // The robust measure trusts the edges less on small pictures, but the
  // score of a picture against itself stays 1 at every size.
  const double edge = SignatureEdgeSimilarity(signature, signature);
  const double robustColor = SignatureColorSimilarity(signature, signature, kRobustColorMode);
  EXPECT_NEAR(SignatureScore(signature, signature, kRobustColorMode, 0.7, edge, robustColor), 1.0,
              5e-7);
}

// 8 x 8 patches: 64 pixels or less on a side is at most 8 patches, where no
// structure window fitted; 65 to 72 is 9, the first size where one did.
INSTANTIATE_TEST_SUITE_P(Sizes, IdenticalPictures,
                         testing::Values(Size{1, 1}, Size{2, 3}, Size{7, 7}, Size{8, 8}, Size{9, 9},
                                         Size{16, 64}, Size{64, 64}, Size{65, 65}, Size{72, 72},
                                         Size{73, 80}, Size{1, 300}, Size{300, 1}, Size{300, 9},
                                         Size{37, 100}, Size{100, 37}, Size{300, 300}),
                         [](const testing::TestParamInfo<Size>& p) {
                           return std::to_string(p.param.width) + "x" +
                                  std::to_string(p.param.height);
                         });

}  // namespace
