// The integer Gram matrix of RGB patches against the double product over the
// extracted patches, bit for bit, and the cases where it must step aside.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "codec/colorspace.h"
#include "codec/patch_gram.h"
#include "codec/patches.h"
#include "numeric/multiply.h"
#include "numeric/numeric_helpers.h"
#include "numeric/pair_gram.h"
#include "numeric/parallel.h"
#include "support/bmp_file.h"
#include "support/matrices.h"
#include "support/test_support.h"

using testing_support::expectBitEqual;

namespace {

enum class Fill { Photo, Checker, Stripes, RandomExtremes, White };

struct Case {
  const char* name;
  Fill fill;
  int width;
  int height;
  int bpp;
  std::uint32_t pw;
  std::uint32_t ph;
};

const Case kCases[] = {
    {"photo_8x8", Fill::Photo, 400, 250, 24, 8, 8},
    {"photo_crop_odd_grid_8x8", Fill::Photo, 203, 141, 24, 8, 8},
    {"photo_32bit_4x4", Fill::Photo, 150, 97, 32, 4, 4},
    {"photo_16x16", Fill::Photo, 181, 133, 24, 16, 16},
    {"photo_8x4", Fill::Photo, 99, 70, 24, 8, 4},
    {"photo_1x2", Fill::Photo, 37, 21, 24, 1, 2},
    {"checker_8x8", Fill::Checker, 96, 64, 24, 8, 8},
    {"stripes_4x8", Fill::Stripes, 77, 45, 32, 4, 8},
    {"extremes_8x8", Fill::RandomExtremes, 130, 90, 24, 8, 8},
    {"extremes_16x16", Fill::RandomExtremes, 64, 80, 24, 16, 16},
    {"white_8x8", Fill::White, 40, 24, 24, 8, 8},
};

// The source image: a crop of the corpus photograph, or a pattern of 0 and
// 255 only (the largest products and their cancellations).
void makeImage(const Case& c, CImage& image) {
  CImage photo;
  if (c.fill == Fill::Photo) {
    std::string error;
    ASSERT_TRUE(testing_support::loadBmp(testing_support::corpusPath("aqua.bmp"), photo, &error))
        << error;
  }
  ASSERT_TRUE(image.Create(c.width, c.height, c.bpp));
  std::uint32_t state = 12345;
  for (int y = 0; y < c.height; ++y) {
    for (int x = 0; x < c.width; ++x) {
      std::uint32_t colour = 0;
      switch (c.fill) {
        case Fill::Photo:
          colour = photo.GetPixel((x + 31) % photo.GetWidth(), (y + 17) % photo.GetHeight());
          break;
        case Fill::Checker:
          colour = ((x + y) % 2 == 0) ? 0xFFFFFFu : 0u;
          break;
        case Fill::Stripes:
          colour = makeColorWord(x % 3 == 0 ? 255 : 0, y % 2 == 0 ? 255 : 0, (x / 2) % 2 ? 255 : 0);
          break;
        case Fill::RandomExtremes:
          state = state * 1103515245u + 12345u;
          colour = makeColorWord((state >> 16) & 1 ? 255 : 0, (state >> 18) & 1 ? 255 : 0,
                                 (state >> 20) & 1 ? 255 : 0);
          break;
        case Fill::White:
          colour = 0xFFFFFFu;
          break;
      }
      image.SetPixel(x, y, colour);
    }
  }
}

// The matrix the encoder formed before: the Gram product of the extracted,
// mean-removed patches in doubles.
KPX::Matrix<double> doubleGram(const CImage& image, std::uint32_t pw, std::uint32_t ph) {
  PatchMatrix patches;
  patches.patchWidth = pw;
  patches.patchHeight = ph;
  KPX::Matrix<double> averages;
  EXPECT_EQ(extractPatches(kColorSpaceRGB, image, patches, averages), status::Success);
  KPX::Matrix<double> gram(patches.cols(), patches.cols());
  KPX::accumulateGram(patches.data(), patches.rows(), patches.cols(), gram, false);
  KPX::mirrorUpperTriangle(gram);
  return gram;
}

class PatchGram : public ::testing::TestWithParam<Case> {
 protected:
  void TearDown() override { KPX::setThreadCount(0); }
};

TEST_P(PatchGram, EqualsTheDoubleProductBitForBit) {
  const Case& c = GetParam();
  CImage image;
  makeImage(c, image);
  const KPX::Matrix<double> expected = doubleGram(image, c.pw, c.ph);
  for (const std::uint32_t threads : {1u, 2u}) {
    for (const KPX::VectorLevel level : numeric_test::supportedLevels()) {
      const numeric_test::LevelScope scope(level);
      KPX::setThreadCount(threads);
      KPX::Matrix<double> gram;
      ASSERT_TRUE(integerPatchGram(kColorSpaceRGB, image, c.pw, c.ph, gram));
      SCOPED_TRACE(testing::Message() << threads << " threads, " << KPX::vectorLevelName(level));
      expectBitEqual(gram, expected);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Images, PatchGram, ::testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& p) {
                           return std::string(p.param.name);
                         });

struct Refusal {
  const char* name;
  std::uint16_t colorSpace;
  int bpp;
  std::uint32_t pw;
  std::uint32_t ph;
};

// Means that are not exact in doubles (patch sizes that are not powers of
// two), colour conversions, other depths and oversized patches keep the
// double product. (The bound on the sums, 2^53, is out of reach of images
// the limits allow: it needs 2^53 / 255^2 / n pixels, 538 million for n = 256.)
const Refusal kRefusals[] = {
    {"ycc", kColorSpaceYCC, 24, 8, 8},        {"hsv", kColorSpaceHSV, 24, 8, 8},
    {"six_by_six", kColorSpaceRGB, 24, 6, 6}, {"eight_by_three", kColorSpaceRGB, 24, 8, 3},
    {"eight_bit", kColorSpaceRGB, 8, 8, 8},   {"thirty_two_square", kColorSpaceRGB, 24, 32, 32},
    {"zero_side", kColorSpaceRGB, 24, 0, 8},
};

class PatchGramRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(PatchGramRefusal, LeavesTheMatrixToTheDoubleProduct) {
  const Refusal& r = GetParam();
  CImage image;
  ASSERT_TRUE(image.Create(48, 40, r.bpp));
  KPX::Matrix<double> gram(2, 2);
  gram[0][0] = 7.0;
  EXPECT_FALSE(integerPatchGram(r.colorSpace, image, r.pw, r.ph, gram));
  EXPECT_EQ(gram.rows(), 2u);
  EXPECT_EQ(gram[0][0], 7.0);
}

INSTANTIATE_TEST_SUITE_P(Cases, PatchGramRefusal, ::testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
