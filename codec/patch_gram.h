// The Gram matrix of an image's mean-removed patches (the covariance before
// its division by the patch count) in integer arithmetic, straight from the
// pixels, for learning RGB bases without cutting the patches into doubles.
#pragma once

#include <cstdint>

#include "codec/raster.h"
#include "numeric/matrix.h"

// Where the patch values are exact in doubles and so are all the sums the
// double Gram product forms, that product is exact whatever its order, and
// this one gives it bit for bit: RGB of a 24 or 32-bit image, pw * ph a power
// of two up to 256, and patch count x 255^2 x (pw * ph)^2 below 2^53. Then
// gram becomes the d x d matrix (d = 3 * pw * ph, both triangles) and the
// result is true; otherwise false, gram untouched.
bool integerPatchGram(std::uint16_t colorSpace, const CImage& source, std::uint32_t pw,
                      std::uint32_t ph, KPX::Matrix<double>& gram);
