// What the codec tests measure a coding by: the photograph they encode, the
// quality of a decoded image against it, and a decoding with its trace
// kept out of the test's output.
#pragma once

#include <string>

#include "codec/raster.h"
#include "codec/status.h"

namespace testing_support {

// The corpus photograph aqua.bmp, read once.
const CImage& photograph();

// The PSNR of b against a (same size) over the three channels, in dB; 99
// when they are equal.
double psnr(const CImage& a, const CImage& b);

// Decodes the RIM file at path into target; the trace it writes goes into
// *trace when given.
Status decode(const std::string& path, CImage& target, std::string* trace = nullptr);

}  // namespace testing_support
