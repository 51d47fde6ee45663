// Making small RIM files for tests with the real encoder.
#pragma once

#include <cstdint>
#include <string>

#include "codec/raster.h"
#include "codec/status.h"

namespace testing_support {

// A 24-bit image of smooth gradients with some texture, so that every
// patch has something to code.
CImage patternImage(int width, int height);

// Encodes image into path with the default parameters, the given colour
// space and MaxIterations (0: PCA bases). The codec trace is dropped.
Status writeRimFile(const std::string& path, const CImage& image, std::uint16_t colorSpace = 0,
                    std::uint32_t maxIterations = 0);

// The learning flag of the RIM file at path (1: ICA bases, 0: PCA); 99
// with a failed expectation when it cannot be read.
std::uint16_t learningMethodOf(const std::string& path);

// The parameters a test changes from the defaults; 0 keeps the default.
struct RimSetting {
  std::uint16_t colorSpace = 0;
  std::uint32_t patchSide = 0;  // square patches (the average step follows)
  std::uint32_t dimension = 0;
  std::uint32_t maxIterations = 0;  // 0: PCA bases
};

Status writeRimFile(const std::string& path, const CImage& image, const RimSetting& setting);

}  // namespace testing_support
