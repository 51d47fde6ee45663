// Every vector level the processor has, on the same inputs. The kernels that
// compute exactly (cutting patches, converting pixels, quantising) give the
// same bits at every level, the portable one included; the levels with fused
// multiply-add give the same files and the same decoded pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "codec/colorspace.h"
#include "codec/components.h"
#include "codec/patches.h"
#include "codec/rim_codec.h"
#include "numeric/numeric_helpers.h"
#include "support/bmp_file.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using KPX::VectorLevel;
using numeric_test::LevelScope;
using testing_support::corpusPath;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;

namespace {

using Bytes = std::vector<unsigned char>;

void append(Bytes& out, const void* data, std::size_t size) {
  const auto* p = static_cast<const unsigned char*>(data);
  out.insert(out.end(), p, p + size);
}

void appendMatrix(Bytes& out, const KPX::Matrix<double>& m) {
  append(out, m.data(), m.count() * sizeof(double));
}

void appendPixels(Bytes& out, const CImage& image) {
  for (int y = 0; y < image.GetHeight(); ++y) {
    for (int x = 0; x < image.GetWidth(); ++x) {
      const std::uint32_t colour = image.GetPixel(x, y);
      append(out, &colour, sizeof(colour));
    }
  }
}

// Runs work at each of levels, the first one as the reference, and expects
// the same bytes from every other.
template <class Work>
void expectSameBytes(const std::vector<VectorLevel>& levels, const Work& work) {
  ASSERT_FALSE(levels.empty());
  Bytes reference;
  {
    const LevelScope scope(levels.front());
    reference = work();
  }
  ASSERT_FALSE(reference.empty());
  for (std::size_t i = 1; i < levels.size(); ++i) {
    const LevelScope scope(levels[i]);
    EXPECT_TRUE(work() == reference)
        << KPX::vectorLevelName(levels[i]) << " against " << KPX::vectorLevelName(levels.front());
  }
}

std::vector<VectorLevel> fusedLevels() {
  std::vector<VectorLevel> levels;
  for (VectorLevel level : numeric_test::supportedLevels())
    if (level != VectorLevel::Portable) levels.push_back(level);
  return levels;
}

CImage photograph(int bitsPerPixel) {
  CImage photo;
  std::string error;
  EXPECT_TRUE(testing_support::loadBmp(corpusPath("aqua.bmp"), photo, &error)) << error;
  if (bitsPerPixel == photo.GetBPP()) return photo;
  CImage copy;
  EXPECT_TRUE(copy.Create(photo.GetWidth(), photo.GetHeight(), bitsPerPixel));
  for (int y = 0; y < photo.GetHeight(); ++y)
    for (int x = 0; x < photo.GetWidth(); ++x) copy.SetPixel(x, y, photo.GetPixel(x, y));
  return copy;
}

struct PatchCase {
  const char* name;
  std::uint16_t colorSpace;
  int bitsPerPixel;
  std::uint32_t patchSide;
};

// RGB with sides of 8 takes the whole-row pixel kernels; 32-bit sources the
// vector spreading of rows; YCbCr its own plane conversion.
const PatchCase kPatchCases[] = {
    {"rgb_24_side_8", kColorSpaceRGB, 24, 8}, {"rgb_32_side_8", kColorSpaceRGB, 32, 8},
    {"rgb_32_side_5", kColorSpaceRGB, 32, 5}, {"ycc_24_side_8", kColorSpaceYCC, 24, 8},
    {"ycc_32_side_6", kColorSpaceYCC, 32, 6}, {"hsv_24_side_8", kColorSpaceHSV, 24, 8},
};

class VectorLevels : public ::testing::TestWithParam<PatchCase> {};

TEST_P(VectorLevels, PatchesAndPixelsAreTheSameAtEveryLevel) {
  const PatchCase& c = GetParam();
  const CImage source = photograph(c.bitsPerPixel);
  expectSameBytes(numeric_test::supportedLevels(), [&] {
    Bytes out;
    PatchMatrix patches;
    patches.patchWidth = patches.patchHeight = c.patchSide;
    KPX::Matrix<double> averages;
    EXPECT_EQ(extractPatches(c.colorSpace, source, patches, averages), status::Success);
    appendMatrix(out, patches);
    appendMatrix(out, averages);
    CImage target;
    EXPECT_TRUE(target.Create(source.GetWidth(), source.GetHeight(), 24));
    EXPECT_EQ(arrangePatches(c.colorSpace, c.patchSide, c.patchSide, target, patches, averages),
              status::Success);
    appendPixels(out, target);
    return out;
  });
}

INSTANTIATE_TEST_SUITE_P(Sources, VectorLevels, ::testing::ValuesIn(kPatchCases),
                         [](const ::testing::TestParamInfo<PatchCase>& p) {
                           return std::string(p.param.name);
                         });

// Values around every edge of the clamp and the truncation, in every lane.
TEST(VectorLevelsQuantise, CoefficientsAreTheSameAtEveryLevel) {
  const double specials[] = {0.0,
                             -0.0,
                             0.75,
                             -0.75,
                             1.5,
                             -2.5,
                             32767.9,
                             -32768.9,
                             1e12,
                             -1e12,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
  constexpr std::uint32_t kRows = 7;
  constexpr std::uint32_t kCols = 11;  // not a multiple of the vector width
  std::vector<double> values(kRows * kCols);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = specials[(i * 5) % (sizeof(specials) / sizeof(specials[0]))] * (1 + i % 3);
  for (std::uint32_t precision : {8u, 16u, 31u}) {
    SCOPED_TRACE(precision);
    expectSameBytes(numeric_test::supportedLevels(), [&] {
      CommonParameters common;
      LearningParameters learning;
      CompressionParameters compression;
      setDefaultParameters(common, learning, compression);
      compression.PrecisionBit = precision;
      CCoeff coeff;
      EXPECT_EQ(coeff.setCompressionParameters(compression), status::Success);
      EXPECT_EQ(coeff.prepareIntegers(kRows, kCols), status::Success);
      coeff.quantizeRows(values.data(), 0, kRows);
      EXPECT_EQ(coeff.encodeIntegers(), status::Success);
      Bytes out;
      append(out, coeff.stream.data(), coeff.stream.byteCount());
      return out;
    });
  }
}

struct CodecCase {
  const char* name;
  testing_support::RimSetting setting;
};

const CodecCase kCodecCases[] = {
    {"rgb_pca_8", {kColorSpaceRGB, 8, 96, 0}},
    {"ycc_ica_6", {kColorSpaceYCC, 6, 60, 5}},
};

class VectorLevelsCodec : public ::testing::TestWithParam<CodecCase> {};

TEST_P(VectorLevelsCodec, FusedLevelsWriteTheSameFileAndPixels) {
  const std::vector<VectorLevel> levels = fusedLevels();
  if (levels.size() < 2) GTEST_SKIP() << "fewer than two levels with fused multiply-add here";
  const CImage source = photograph(24);
  TempDir dir;
  expectSameBytes(levels, [&] {
    const std::string path =
        dir.file(std::string(KPX::vectorLevelName(KPX::vectorLevel())) + ".rim");
    EXPECT_EQ(testing_support::writeRimFile(path, source, GetParam().setting), status::Success);
    CImage decoded;
    {
      TraceCapture quiet;
      CRIMCodec decoder;
      EXPECT_EQ(decoder.decodeFile(decoded, path), status::Success);
    }
    const std::string file = readFileBytes(path);
    Bytes out(file.begin(), file.end());
    appendPixels(out, decoded);
    return out;
  });
}

INSTANTIATE_TEST_SUITE_P(Settings, VectorLevelsCodec, ::testing::ValuesIn(kCodecCases),
                         [](const ::testing::TestParamInfo<CodecCase>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
