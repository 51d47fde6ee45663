// Files and pixels must not depend on how many threads share the work.
#include <gtest/gtest.h>

#include "codec/limits.h"
#include "codec/rim_codec.h"
#include "numeric/parallel.h"
#include "support/bmp_file.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;

namespace {

struct Setting {
  const char* name;
  bool strips;  // the encoder cuts the image strip by strip
  std::uint16_t colorSpace;
  std::uint32_t patchSide;
  std::uint32_t dimension;
  std::uint32_t iterations;
};

const Setting kSettings[] = {
    {"rgb_pca_8", false, 0, 8, 96, 0},       {"ycc_ica_6", false, 1, 6, 60, 5},
    {"hsv_pca_5", false, 2, 5, 40, 0},       {"rgb_pca_8_strips", true, 0, 8, 96, 0},
    {"hsv_ica_7_strips", true, 2, 7, 64, 5},
};

// Encodes the corpus photograph with threads threads, then decodes the file
// again; returns the file's bytes and the decoded image.
void roundTrip(const Setting& s, std::uint32_t threads, const std::string& path, std::string& bytes,
               CImage& decoded) {
  const std::uint32_t saved = KPX::threadCount();
  KPX::setThreadCount(threads);
  CImage photo;
  std::string error;
  ASSERT_TRUE(testing_support::loadBmp(corpusPath("aqua.bmp"), photo, &error)) << error;
  // Two by two copies: large enough that every step is split among threads.
  CImage source;
  ASSERT_TRUE(source.Create(2 * photo.GetWidth(), 2 * photo.GetHeight(), 24));
  for (int y = 0; y < source.GetHeight(); ++y) {
    for (int x = 0; x < source.GetWidth(); ++x) {
      source.SetPixel(x, y, photo.GetPixel(x % photo.GetWidth(), y % photo.GetHeight()));
    }
  }
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  common.ColorSpace = s.colorSpace;
  common.PatchWidth = common.PatchHeight = s.patchSide;
  learning.DimensionReduction = s.dimension;
  learning.MaxIterations = s.iterations;
  compression.AverageQuantizeStep =
      deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
  {
    TraceCapture quiet;
    CRIMCodec encoder;
    ASSERT_EQ(encoder.setParameters(&common, &learning, &compression), status::Success);
    ASSERT_EQ(encoder.encodeFile(path, source), status::Success);
    CRIMCodec decoder;
    ASSERT_EQ(decoder.decodeFile(decoded, path), status::Success);
  }
  bytes = readFileBytes(path);
  KPX::setThreadCount(saved);
}

class CodecThreads : public ::testing::TestWithParam<Setting> {};

TEST_P(CodecThreads, FilesAndPixelsAreTheSameForEveryThreadCount) {
  TempDir dir;
  std::string one;
  CImage oneImage;
  // The reference keeps the whole patch matrix.
  codecLimits().maxWholePatchBytes = UINT64_MAX;
  roundTrip(GetParam(), 1, dir.file("one.rim"), one, oneImage);
  codecLimits() = CodecLimits();
  for (std::uint32_t threads : {1u, 2u, 3u}) {
    if (threads == 1 && !GetParam().strips) continue;
    if (GetParam().strips) {
      // Cut in strips of a few grid rows, the file is the same as that of
      // the whole patch matrix on one thread.
      codecLimits().maxWholePatchBytes = 0;
      codecLimits().stripPatches = 500;
    }
    std::string many;
    CImage manyImage;
    roundTrip(GetParam(), threads, dir.file("many.rim"), many, manyImage);
    codecLimits() = CodecLimits();
    ASSERT_FALSE(one.empty());
    EXPECT_TRUE(one == many) << threads << " threads";
    ASSERT_EQ(oneImage.GetWidth(), manyImage.GetWidth());
    ASSERT_EQ(oneImage.GetHeight(), manyImage.GetHeight());
    for (int y = 0; y < oneImage.GetHeight(); ++y) {
      for (int x = 0; x < oneImage.GetWidth(); ++x) {
        ASSERT_EQ(oneImage.GetPixel(x, y), manyImage.GetPixel(x, y)) << x << "," << y;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, CodecThreads, ::testing::ValuesIn(kSettings),
                         [](const ::testing::TestParamInfo<Setting>& param) {
                           return std::string(param.param.name);
                         });

}  // namespace
