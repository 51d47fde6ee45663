// The data pass of one FastICA step in single precision (twice the lanes of
// a vector register of the double-precision pass in numeric/ica_pass.h): the
// projections y = W z of every whitened patch, their tangents, and the sums
// the step needs, in one walk over the patches with a block of rows kept in
// the cache; the sums of each block are carried on in double precision.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

namespace KPX {

// Components handled together (one 512-bit register of floats).
constexpr std::uint32_t kIcaSingleTileComponents = 16;

// For the whitened patches Z (N x k, rows z_n, in single precision) and W
// (k x k, rows w_i, rounded to single precision):
//   u (k x k)        = sum_n tanh(W z_n) z_n^T
//   derivative[i]    = sum_n (1 - tanh^2(w_i^T z_n))
// The rows are taken in blocks; within a block every element is one chain in
// a fixed order (icaTileSingle's), the block's sums are then added in double
// precision in block order. The tangents are tanhInPlace's for floats
// (numeric/vector_tanh.h). The AVX2 and AVX-512 levels give the same results
// bit for bit; the portable level, without fused multiply-adds and with the
// library's tangent, agrees with them to single precision. Components are
// shared among the threads: results do not depend on the thread count.
// Throws MatrixException when memory runs out.
void icaSumsSingle(const Matrix<float>& z, const Matrix<double>& w, Matrix<double>& u,
                   std::vector<double>& derivative);

// The tile both products use: c (m x 16, row stride 16) = sum over p < kc of
// a[r * aRow + p * aStep] * b[p * 16 + col], one chain per element in
// increasing p (fused multiply-adds from the AVX2 level on), added to c's
// contents when accumulate is set, at the vector level in force. m is 1 to
// 12.
void icaTileSingle(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                   std::size_t aStep, const float* b, float* c, bool accumulate);

// Z rounded to single precision, as icaSumsSingle reads it.
Matrix<float> toSingle(const Matrix<double>& z);

}  // namespace KPX
