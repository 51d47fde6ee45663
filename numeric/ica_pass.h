// The data pass of one FastICA step: the projections y = W z of every
// whitened patch, their tangents, and the sums the step needs, in one walk
// over the patches with the work of a block of rows kept in the cache.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

namespace KPX {

// Components handled together (one register tile wide).
constexpr std::uint32_t kIcaTileComponents = 8;

// For the whitened patches Z (N x k, rows z_n) and W (k x k, rows w_i):
//   u (k x k)        = sum_n tanh(W z_n) z_n^T
//   derivative[i]    = sum_n (1 - tanh^2(w_i^T z_n))
// Every element is one chain in a fixed order (w_i^T z_n over the columns,
// the sums over n), each step a fused multiply-add from the AVX2 level on or
// a multiply and an add at the portable level: the same chains as
// multiplyRowsInto and accumulateAtB, so the same results bit for bit as
// those products at the same vector level. The tangents are tanhInPlace's
// (numeric/vector_tanh.h). Components are shared among the
// threads: results do not depend on the thread count. Throws MatrixException
// when memory runs out.
void icaSums(const Matrix<double>& z, const Matrix<double>& w, Matrix<double>& u,
             std::vector<double>& derivative);

// The tile both products use: c (m x 8, row stride 8) = sum over p < kc of
// a[r * aRow + p * aStep] * b[p * 8 + col], one chain per element in
// increasing p, added to c's contents when accumulate is set, at the vector
// level in force. m is 1 to 12.
void icaTile(std::uint32_t m, std::uint32_t kc, const double* a, std::size_t aRow,
             std::size_t aStep, const double* b, double* c, bool accumulate);

}  // namespace KPX
