#include "numeric/eigen.h"

#include <cmath>

#include "numeric/trace.h"

namespace KPX {
namespace {

constexpr int kMaxQlIterations = 50;

// Householder reduction of the symmetric matrix a to tridiagonal form. On
// return a holds the orthogonal transformation, d the diagonal and e the
// sub-diagonal (e[0] = 0).
void tridiagonalize(Matrix<double>& a, double* d, double* e, int n) {
  for (int i = n - 1; i > 0; --i) {
    const int l = i - 1;
    double h = 0.0;
    double* ai = a[static_cast<std::uint32_t>(i)];
    if (l > 0) {
      double scale = 0.0;
      for (int k = 0; k <= l; ++k) scale += std::fabs(ai[k]);
      if (scale == 0.0) {
        // The row is already reduced; skipping avoids dividing by zero.
        e[i] = ai[l];
      } else {
        for (int k = 0; k <= l; ++k) {
          ai[k] /= scale;
          h += ai[k] * ai[k];
        }
        double f = ai[l];
        double g = f >= 0.0 ? -std::sqrt(h) : std::sqrt(h);
        e[i] = scale * g;
        h -= f * g;
        ai[l] = f - g;
        f = 0.0;
        for (int j = 0; j <= l; ++j) {
          double* aj = a[static_cast<std::uint32_t>(j)];
          aj[i] = ai[j] / h;  // stores u/H for the accumulation below
          g = 0.0;
          for (int k = 0; k <= j; ++k) g += aj[k] * ai[k];
          for (int k = j + 1; k <= l; ++k) g += a[static_cast<std::uint32_t>(k)][j] * ai[k];
          e[j] = g / h;
          f += e[j] * ai[j];
        }
        const double hh = f / (h + h);
        for (int j = 0; j <= l; ++j) {
          double* aj = a[static_cast<std::uint32_t>(j)];
          f = ai[j];
          e[j] = g = e[j] - hh * f;
          for (int k = 0; k <= j; ++k) aj[k] -= (f * e[k] + g * ai[k]);
        }
      }
    } else {
      e[i] = ai[l];
    }
    d[i] = h;
  }
  if (n > 0) {
    d[0] = 0.0;
    e[0] = 0.0;
  }
  // Accumulate the transformations.
  for (int i = 0; i < n; ++i) {
    double* ai = a[static_cast<std::uint32_t>(i)];
    if (d[i] != 0.0) {
      for (int j = 0; j < i; ++j) {
        double g = 0.0;
        for (int k = 0; k < i; ++k) g += ai[k] * a[static_cast<std::uint32_t>(k)][j];
        for (int k = 0; k < i; ++k) {
          double* ak = a[static_cast<std::uint32_t>(k)];
          ak[j] -= g * ak[i];
        }
      }
    }
    d[i] = ai[i];
    ai[i] = 1.0;
    for (int j = 0; j < i; ++j) a[static_cast<std::uint32_t>(j)][i] = ai[j] = 0.0;
  }
}

double withSign(double magnitude, double sign) {
  return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// QL iteration with implicit shifts on the tridiagonal matrix (d, e), with the
// rotations applied to the columns of z. Returns 0, or -1 when one eigenvalue
// does not converge within kMaxQlIterations.
int diagonalizeTridiagonal(double* d, double* e, int n, Matrix<double>& z) {
  for (int i = 1; i < n; ++i) e[i - 1] = e[i];
  if (n > 0) e[n - 1] = 0.0;
  for (int l = 0; l < n; ++l) {
    int iterations = 0;
    int m;
    do {
      // Look for a single small sub-diagonal element to split the matrix.
      for (m = l; m < n - 1; ++m) {
        const double dd = std::fabs(d[m]) + std::fabs(d[m + 1]);
        if (std::fabs(e[m]) + dd == dd) break;
      }
      if (m != l) {
        if (iterations++ == kMaxQlIterations) {
          tracef("Too many iterations in routine tqli.\n");
          return -1;
        }
        double g = (d[l + 1] - d[l]) / (2.0 * e[l]);
        double r = pythag(g, 1.0);
        g = d[m] - d[l] + e[l] / (g + withSign(r, g));
        double s = 1.0;
        double c = 1.0;
        double p = 0.0;
        int i;
        for (i = m - 1; i >= l; --i) {
          double f = s * e[i];
          const double b = c * e[i];
          e[i + 1] = (r = pythag(f, g));
          if (r == 0.0) {
            // Recover from underflow.
            d[i + 1] -= p;
            e[m] = 0.0;
            break;
          }
          s = f / r;
          c = g / r;
          g = d[i + 1] - p;
          r = (d[i] - g) * s + 2.0 * c * b;
          d[i + 1] = g + (p = s * r);
          g = c * r - b;
          for (std::uint32_t k = 0; k < static_cast<std::uint32_t>(n); ++k) {
            double* zk = z[k];
            f = zk[i + 1];
            zk[i + 1] = s * zk[i] + c * f;
            zk[i] = c * zk[i] - s * f;
          }
        }
        if (r == 0.0 && i >= l) continue;
        d[l] -= p;
        e[l] = g;
        e[m] = 0.0;
      }
    } while (m != l);
  }
  return 0;
}

}  // namespace

double pythag(double a, double b) {
  const double absa = std::fabs(a);
  const double absb = std::fabs(b);
  if (absa > absb) {
    const double q = absb / absa;
    return absa * std::sqrt(1.0 + q * q);
  }
  if (absb == 0.0) return 0.0;
  const double q = absa / absb;
  return absb * std::sqrt(1.0 + q * q);
}

int eigenSymmetric(Matrix<double>& a, Vector<double>& eigenvalues) {
  const std::uint32_t n = a.cols();
  Vector<double> offDiagonal;
  try {
    eigenvalues.resize(n);
    offDiagonal.resize(n);
  } catch (const MatrixException& e) {
    throw MatrixException{e.message};
  }
  const int size = static_cast<int>(n);
  tridiagonalize(a, eigenvalues.data(), offDiagonal.data(), size);
  return diagonalizeTridiagonal(eigenvalues.data(), offDiagonal.data(), size, a);
}

}  // namespace KPX
