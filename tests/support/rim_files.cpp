#include "support/rim_files.h"

#include <gtest/gtest.h>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"

namespace testing_support {

CImage patternImage(int width, int height) {
  CImage image;
  if (!image.Create(width, height, 24)) return image;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint32_t red = static_cast<std::uint32_t>(x * 255 / width);
      const std::uint32_t green = static_cast<std::uint32_t>(y * 255 / height);
      const std::uint32_t blue = static_cast<std::uint32_t>(((x / 3) ^ (y / 5)) * 37 % 256);
      image.SetPixel(x, y, makeColorWord(red, green, blue));
    }
  }
  return image;
}

Status writeRimFile(const std::string& path, const CImage& image, std::uint16_t colorSpace,
                    std::uint32_t maxIterations) {
  RimSetting setting;
  setting.colorSpace = colorSpace;
  setting.maxIterations = maxIterations;
  return writeRimFile(path, image, setting);
}

Status writeRimFile(const std::string& path, const CImage& image, const RimSetting& setting) {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  common.ColorSpace = setting.colorSpace;
  if (setting.patchSide != 0) {
    common.PatchWidth = common.PatchHeight = setting.patchSide;
    compression.AverageQuantizeStep =
        deriveAverageQuantizeStep(compression.CoeffQuantizeStep, common.PatchWidth);
  }
  if (setting.dimension != 0) learning.DimensionReduction = setting.dimension;
  learning.MaxIterations = setting.maxIterations;
  TraceTarget quiet(nullptr);
  CRIMCodec codec;
  Status result = codec.setParameters(&common, &learning, &compression);
  if (result == status::Success) result = codec.encodeFile(path, image, nullptr);
  return result;
}

std::uint16_t learningMethodOf(const std::string& path) {
  CRIMCodec codec;
  std::uint16_t method = 99;
  EXPECT_EQ(codec.readLearningMethod(path, method), 0) << path;
  return method;
}

}  // namespace testing_support
