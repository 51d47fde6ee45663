// RIM files built from chosen component matrices, for tests that need files
// with exactly known contents.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "codec/colorspace.h"
#include "codec/rimformat.h"
#include "codec/status.h"
#include "numeric/matrix.h"

namespace testing_support {

struct SyntheticRim {
  std::uint16_t colorSpace = 0;
  std::uint16_t learningMethod = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t patchWidth = 8;
  std::uint32_t patchHeight = 8;
  std::uint32_t dimension = 0;
  std::uint32_t averageStep = 1;
  KPX::Matrix<double> averages;          // 3 x N, before quantisation
  KPX::Matrix<double> bases;             // D x P, already quantised
  std::vector<std::uint32_t> baseSteps;  // D
  KPX::Matrix<double> coefficients;      // N x D
  std::uint32_t precisionBits = 16;
  std::uint32_t basePrecisionBits = 16;
  std::uint32_t maxZeroRun = 16;
  std::uint32_t averageMode = 0;
  std::uint32_t baseMode = 0;
  std::uint32_t coeffMode = 0;
};

// Codes the three components and writes header and sections to path.
Status writeSyntheticRim(const std::string& path, const SyntheticRim& rim);

// A RIM file that decodes exactly to the given channel values (integers in
// the colour space): identity bases scaled by steps 1, 2, 3, 1, 2, 3, ...,
// averages quantised with averageStep, and coefficients carrying the rest.
// Pixels past the image edge repeat the last column and row.
using ChannelFunction = std::function<ColorTriple(std::uint32_t x, std::uint32_t y)>;
SyntheticRim exactImageRim(std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                           std::uint32_t patchHeight, std::uint16_t colorSpace,
                           std::uint32_t averageStep, const ChannelFunction& channels);

// A small file (5 x 3 pixels, 2 x 2 patches, 4 bases) with non-trivial
// contents in every section.
SyntheticRim smallRim();

// Open file descriptors of this process (to catch leaked handles).
int openFileDescriptorCount();

}  // namespace testing_support
