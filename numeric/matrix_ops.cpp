#include "numeric/matrix_ops.h"

#include <cmath>

namespace KPX {

void setDiagonal(Matrix<double>& m, double x) {
  if (m.rows() == 0 || m.cols() == 0) return;
  fill(m, 0.0);
  const std::uint32_t n = m.rows() < m.cols() ? m.rows() : m.cols();
  for (std::uint32_t i = 0; i < n; ++i) m[i][i] = x;
}

Matrix<double> transpose(const Matrix<double>& a) {
  Matrix<double> t(a.cols(), a.rows(), a.hasRowViews());
  for (std::uint32_t i = 0; i < a.rows(); ++i) {
    const double* src = a[i];
    for (std::uint32_t j = 0; j < a.cols(); ++j) t[j][i] = src[j];
  }
  return t;
}

Matrix<double> subtract(const Matrix<double>& a, const Matrix<double>& b) {
  Matrix<double> r(a.rows(), b.cols(), a.hasRowViews() || b.hasRowViews());
  const double* pa = a.data();
  const double* pb = b.data();
  double* pr = r.data();
  for (std::uint32_t k = 0; k < a.count(); ++k) pr[k] = pa[k] - pb[k];
  return r;
}

Matrix<double> divide(const Matrix<double>& a, double x) {
  if (x == 0.0) throw MatrixException{kDividedByZero};
  Matrix<double> r(a.rows(), a.cols(), a.hasRowViews());
  const double* pa = a.data();
  double* pr = r.data();
  for (std::uint32_t k = 0; k < a.count(); ++k) pr[k] = pa[k] / x;
  return r;
}

Matrix<double> abs(const Matrix<double>& a) {
  Matrix<double> r(a.rows(), a.cols(), a.hasRowViews());
  const double* pa = a.data();
  double* pr = r.data();
  for (std::uint32_t k = 0; k < a.count(); ++k) pr[k] = std::fabs(pa[k]);
  return r;
}

Vector<double> abs(const Vector<double>& v) {
  Vector<double> r(v.count());
  for (std::uint32_t i = 0; i < v.count(); ++i) r[i] = std::fabs(v[i]);
  return r;
}

Vector<double> scale(const Vector<double>& v, double x) {
  Vector<double> r(v.count());
  for (std::uint32_t i = 0; i < v.count(); ++i) r[i] = x * v[i];
  return r;
}

Vector<double> scale(double x, const Vector<double>& v) { return scale(v, x); }

Vector<double> column(const Matrix<double>& a, std::uint32_t j) {
  Vector<double> r(a.rows());
  for (std::uint32_t i = 0; i < a.rows(); ++i) r[i] = a[i][j];
  return r;
}

Vector<double> row(const Matrix<double>& a, std::uint32_t i) {
  Vector<double> r(a.cols());
  const double* src = a[i];
  for (std::uint32_t j = 0; j < a.cols(); ++j) r[j] = src[j];
  return r;
}

Matrix<double> tanh(const Matrix<double>& a) {
  Matrix<double> r(a.rows(), a.cols(), true);
  const double* pa = a.data();
  double* pr = r.data();
  for (std::uint32_t k = 0; k < a.count(); ++k) pr[k] = std::tanh(pa[k]);
  return r;
}

double squaredNorm(const double* buffer, std::uint32_t count) {
  // Four interleaved partial sums, then the tail.
  double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
  std::uint32_t k = 0;
  for (; k + 4 <= count; k += 4) {
    s0 += buffer[k] * buffer[k];
    s1 += buffer[k + 1] * buffer[k + 1];
    s2 += buffer[k + 2] * buffer[k + 2];
    s3 += buffer[k + 3] * buffer[k + 3];
  }
  double sum = s0 + s1 + s2 + s3;
  for (; k < count; ++k) sum += buffer[k] * buffer[k];
  return sum;
}

}  // namespace KPX
