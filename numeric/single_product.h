// Many rows times one small matrix in single precision: the encoder's
// coefficient product, whose results are truncated to integers anyway, so
// that twice the values fit in a vector. Not for the decoder, whose pixels
// stay those of the double product.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

namespace KPX {

class SingleProduct {
 public:
  // b (n x p) kept in single precision, its rows padded with zeros to whole
  // vectors.
  explicit SingleProduct(const Matrix<double>& b);

  // c (rows x p, row stride p) = the rows x n block a (row stride lda) times
  // b, summed in single precision with fused multiply-adds where the vector
  // level has them; the rows are shared among the threads. Each element is
  // within float rounding of the double product, and the same whatever the
  // thread count.
  void multiplyRows(const double* a, std::size_t lda, std::uint32_t rows, double* c) const;

  std::uint32_t inner() const { return n_; }
  std::uint32_t cols() const { return p_; }

 private:
  std::uint32_t n_;
  std::uint32_t p_;
  std::uint32_t stride_;  // p_ rounded up to whole vectors
  std::vector<float> b_;  // n_ x stride_
};

}  // namespace KPX
