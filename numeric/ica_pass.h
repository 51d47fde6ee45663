// The data pass of one FastICA step in single precision: the projections
// y = W z of every whitened patch, their tangents, and the sums the step needs.
// Single precision halves the cost of the products against double (twice
// the lanes per instruction); the sums still end in double.
#pragma once

#include <cstdint>
#include <vector>

#include "numeric/matrix.h"

namespace KPX {

// A copy of the whitened patches Z (N x k) in floats, rows padded with zeros
// to whole blocks. Results depend neither on the thread count nor on how the
// work is split: every sum runs in one fixed order.
class IcaPass {
 public:
  // Rows taken at a time: a float chain runs over one block, then joins the
  // double sum of the earlier blocks.
  static constexpr std::uint32_t kBlockRows = 192;
  // Components handled together (one register tile wide).
  static constexpr std::uint32_t kTileComponents = 16;

  // Throws MatrixException when memory runs out.
  explicit IcaPass(const Matrix<double>& whitened);

  std::uint32_t rows() const { return n_; }
  std::uint32_t cols() const { return k_; }

  // For W (k x k, rows w_i): u (k x k) = sum_n tanh(W z_n) z_n^T and
  // derivative[i] = sum_n (1 - tanh^2(w_i^T z_n)). Components are shared
  // among the threads. vectorise false takes the portable kernels (tests).
  void run(const Matrix<double>& w, Matrix<double>& u, std::vector<double>& derivative,
           bool vectorise = true) const;

  // The kernel both products use: c (m x 16, row stride 16) = sum over p < kc
  // of a[r * aRow + p * aStep] * b[p * 16 + col], one chain per element in
  // increasing p, each step one fused multiply-add (AVX2 and FMA) or a
  // multiply and an add (portable). m is at most 6.
  static void tile(std::uint32_t m, std::uint32_t kc, const float* a, std::size_t aRow,
                   std::size_t aStep, const float* b, float* c, bool vectorise);

 private:
  std::uint32_t n_;
  std::uint32_t k_;
  std::uint32_t ld_;  // row stride, k rounded up to whole tiles
  std::vector<float> z_;
};

}  // namespace KPX
