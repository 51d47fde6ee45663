#include "numeric/inverse.h"

#include <cmath>

#include "numeric/multiply.h"
#include "numeric/svd.h"

namespace KPX {

double invertInPlace(Matrix<double>& a) {
  const std::uint32_t n = a.rows();
  double determinant = 1.0;
  for (std::uint32_t i = 0; i < n; ++i) {
    double* ai = a[i];
    const double p = ai[i];
    determinant *= p;
    // Only a zero pivot stops the elimination. The running product can also
    // reach 0 by underflow (many small pivots) or be infinite after an
    // overflow, when it no longer tells whether this pivot is 0.
    if (p == 0.0) return 0.0;
    for (std::uint32_t k = 0; k < n; ++k) ai[k] /= p;
    ai[i] = 1.0 / p;
    for (std::uint32_t j = 0; j < n; ++j) {
      if (j == i) continue;
      double* aj = a[j];
      const double b = aj[i];
      // Every column but the pivot's, in two runs that vectorise.
      for (std::uint32_t k = 0; k < i; ++k) aj[k] -= b * ai[k];
      for (std::uint32_t k = i + 1; k < n; ++k) aj[k] -= b * ai[k];
      aj[i] = -(b / p);
    }
  }
  return determinant;
}

void pseudoInverseInPlace(Matrix<double>& a) {
  if (a.rows() == a.cols()) {
    invertInPlace(a);
  } else if (a.rows() < a.cols()) {
    // A^T (A A^T)^-1
    Matrix<double> gram = multiplyABt(a, a);
    invertInPlace(gram);
    a = multiplyAtB(a, gram);
  } else {
    // (A^T A)^-1 A^T
    Matrix<double> gram = multiplyAtB(a, a);
    invertInPlace(gram);
    a = multiplyABt(gram, a);
  }
}

Matrix<double> inverse(const Matrix<double>& a) {
  Matrix<double> result(a);
  pseudoInverseInPlace(result);
  return result;
}

Matrix<double> inverseBySvd(const Matrix<double>& a) {
  const std::uint32_t n = a.cols();
  Matrix<double> u(a);
  Vector<double> w;
  Matrix<double> v;
  svdDecompose(u, w, v);
  // V * D * U^T with D = diag(1/w) for the singular values kept: scaling the
  // columns of V is the same product without the zero-filled diagonal.
  for (std::uint32_t i = 0; i < n; ++i) {
    const double wi = std::fabs(w[i]) > 1e-10 ? 1.0 / w[i] : 0.0;
    for (std::uint32_t r = 0; r < n; ++r) v[r][i] *= wi;
  }
  return multiplyABt(v, u);
}

}  // namespace KPX
