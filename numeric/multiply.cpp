#include "numeric/multiply.h"

#include "numeric/matrix_ops.h"

namespace KPX {

Matrix<double> multiply(const Matrix<double>& a, const Matrix<double>& b) {
  Matrix<double> result(a.rows(), b.cols(), a.hasRowViews() || b.hasRowViews());
  fill(result, 0.0);
  const Matrix<double> bt = transpose(b);
  const std::uint32_t n = a.cols();
  for (std::uint32_t i = 0; i < a.rows(); ++i) {
    const double* ar = a[i];
    double* rr = result[i];
    for (std::uint32_t j = 0; j < b.cols(); ++j) {
      const double* br = bt[j];
      double s = 0;
      for (std::uint32_t k = 0; k < n; ++k) s += ar[k] * br[k];
      rr[j] = s;
    }
  }
  return result;
}

}  // namespace KPX
