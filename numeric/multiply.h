// The matrix product, the hot spot of the codec (coefficients, decoding,
// whitening, learning).
#pragma once

#include "numeric/matrix.h"

namespace KPX {

// a (m x n) times b (n x p): a new m x p matrix; hasRowViews is set if either
// operand has it. Tiled over a transposed copy of b.
Matrix<double> multiply(const Matrix<double>& a, const Matrix<double>& b);

}  // namespace KPX
