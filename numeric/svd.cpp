#include "numeric/svd.h"

#include <algorithm>
#include <cmath>

#include "numeric/eigen.h"

namespace KPX {
namespace {

constexpr int kMaxSweeps = 50;

double withSign(double magnitude, double sign) {
  return sign >= 0.0 ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// Element access with signed indices, which the descending loops need.
struct Grid {
  Matrix<double>& m;
  double& operator()(int i, int j) const {
    return m[static_cast<std::uint32_t>(i)][static_cast<std::uint32_t>(j)];
  }
};

// Householder reduction to bidiagonal form: w receives the diagonal, rv1 the
// super-diagonal (rv1[0] = 0), a keeps the reflectors. Returns the norm
// estimate used by the convergence tests.
double bidiagonalize(const Grid& a, int m, int n, double* w, double* rv1) {
  double g = 0.0;
  double scale = 0.0;
  double anorm = 0.0;
  for (int i = 0; i < n; ++i) {
    const int l = i + 1;
    rv1[i] = scale * g;
    g = 0.0;
    scale = 0.0;
    double s = 0.0;
    if (i < m) {
      for (int k = i; k < m; ++k) scale += std::fabs(a(k, i));
      if (scale != 0.0) {
        for (int k = i; k < m; ++k) {
          a(k, i) /= scale;
          s += a(k, i) * a(k, i);
        }
        double f = a(i, i);
        g = -withSign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, i) = f - g;
        for (int j = l; j < n; ++j) {
          s = 0.0;
          for (int k = i; k < m; ++k) s += a(k, i) * a(k, j);
          f = s / h;
          for (int k = i; k < m; ++k) a(k, j) += f * a(k, i);
        }
        for (int k = i; k < m; ++k) a(k, i) *= scale;
      }
    }
    w[i] = scale * g;
    g = 0.0;
    scale = 0.0;
    s = 0.0;
    if (i < m && i != n - 1) {
      for (int k = l; k < n; ++k) scale += std::fabs(a(i, k));
      if (scale != 0.0) {
        for (int k = l; k < n; ++k) {
          a(i, k) /= scale;
          s += a(i, k) * a(i, k);
        }
        const double f = a(i, l);
        g = -withSign(std::sqrt(s), f);
        const double h = f * g - s;
        a(i, l) = f - g;
        for (int k = l; k < n; ++k) rv1[k] = a(i, k) / h;
        for (int j = l; j < m; ++j) {
          s = 0.0;
          for (int k = l; k < n; ++k) s += a(j, k) * a(i, k);
          for (int k = l; k < n; ++k) a(j, k) += s * rv1[k];
        }
        for (int k = l; k < n; ++k) a(i, k) *= scale;
      }
    }
    anorm = std::max(anorm, std::fabs(w[i]) + std::fabs(rv1[i]));
  }
  return anorm;
}

// Builds V from the right-hand reflectors kept in a.
void accumulateRight(const Grid& a, const Grid& v, int n, const double* rv1) {
  double g = 0.0;
  int l = n;
  for (int i = n - 1; i >= 0; --i) {
    if (i < n - 1) {
      if (g != 0.0) {
        // Double division avoids a possible underflow.
        for (int j = l; j < n; ++j) v(j, i) = (a(i, j) / a(i, l)) / g;
        for (int j = l; j < n; ++j) {
          double s = 0.0;
          for (int k = l; k < n; ++k) s += a(i, k) * v(k, j);
          for (int k = l; k < n; ++k) v(k, j) += s * v(k, i);
        }
      }
      for (int j = l; j < n; ++j) v(i, j) = v(j, i) = 0.0;
    }
    v(i, i) = 1.0;
    g = rv1[i];
    l = i;
  }
}

// Turns a into U from the left-hand reflectors.
void accumulateLeft(const Grid& a, int m, int n, const double* w) {
  for (int i = std::min(m, n) - 1; i >= 0; --i) {
    const int l = i + 1;
    double g = w[i];
    for (int j = l; j < n; ++j) a(i, j) = 0.0;
    if (g != 0.0) {
      g = 1.0 / g;
      for (int j = l; j < n; ++j) {
        double s = 0.0;
        for (int k = l; k < m; ++k) s += a(k, i) * a(k, j);
        const double f = (s / a(i, i)) * g;
        for (int k = i; k < m; ++k) a(k, j) += f * a(k, i);
      }
      for (int j = i; j < m; ++j) a(j, i) *= g;
    } else {
      for (int j = i; j < m; ++j) a(j, i) = 0.0;
    }
    a(i, i) += 1.0;
  }
}

// Rotates columns p and q of x (rows rows): (y, z) -> (y c + z s, z c - y s).
void rotateColumns(const Grid& x, int rows, int p, int q, double c, double s) {
  for (int j = 0; j < rows; ++j) {
    const double y = x(j, p);
    const double z = x(j, q);
    x(j, p) = y * c + z * s;
    x(j, q) = z * c - y * s;
  }
}

// Diagonalizes the bidiagonal form (w, rv1) by implicit-shift QR sweeps,
// applying the rotations to U (a) and V.
void diagonalize(const Grid& a, const Grid& v, int m, int n, double* w, double* rv1, double anorm) {
  for (int k = n - 1; k >= 0; --k) {
    for (int sweep = 0;; ++sweep) {
      // Test for splitting; rv1[0] is always 0, which ends the search at l = 0.
      bool cancel = true;
      int l = k;
      for (;; --l) {
        if (l == 0 || std::fabs(rv1[l]) + anorm == anorm) {
          cancel = false;
          break;
        }
        if (std::fabs(w[l - 1]) + anorm == anorm) break;
      }
      if (cancel) {
        // w[l - 1] is negligible: cancel rv1[l] by rotations.
        const int nm = l - 1;
        double c = 0.0;
        double s = 1.0;
        for (int i = l; i <= k; ++i) {
          const double f = s * rv1[i];
          rv1[i] = c * rv1[i];
          if (std::fabs(f) + anorm == anorm) break;
          const double g = w[i];
          double h = pythag(f, g);
          w[i] = h;
          h = 1.0 / h;
          c = g * h;
          s = -f * h;
          rotateColumns(a, m, nm, i, c, s);
        }
      }
      double z = w[k];
      if (l == k) {
        // Converged: make the singular value non-negative.
        if (z < 0.0) {
          w[k] = -z;
          for (int j = 0; j < n; ++j) v(j, k) = -v(j, k);
        }
        break;
      }
      if (sweep == kMaxSweeps) break;  // keep what was reached
      // Shift from the bottom 2 x 2 minor.
      double x = w[l];
      const int nm = k - 1;
      double y = w[nm];
      double g = rv1[nm];
      double h = rv1[k];
      double f = ((y - z) * (y + z) + (g - h) * (g + h)) / (2.0 * h * y);
      g = pythag(f, 1.0);
      f = ((x - z) * (x + z) + h * ((y / (f + withSign(g, f))) - h)) / x;
      // Next QR transformation.
      double c = 1.0;
      double s = 1.0;
      for (int j = l; j <= nm; ++j) {
        const int i = j + 1;
        g = rv1[i];
        y = w[i];
        h = s * g;
        g = c * g;
        z = pythag(f, h);
        rv1[j] = z;
        c = f / z;
        s = h / z;
        f = x * c + g * s;
        g = g * c - x * s;
        h = y * s;
        y *= c;
        rotateColumns(v, n, j, i, c, s);
        z = pythag(f, h);
        w[j] = z;
        if (z != 0.0) {
          // The rotation is arbitrary when z is 0.
          z = 1.0 / z;
          c = f * z;
          s = h * z;
        }
        f = c * g + s * y;
        x = c * y - s * g;
        rotateColumns(a, m, j, i, c, s);
      }
      rv1[l] = 0.0;
      rv1[k] = f;
      w[k] = x;
    }
  }
}

}  // namespace

void svdDecompose(Matrix<double>& a, Vector<double>& w, Matrix<double>& v) {
  const int m = static_cast<int>(a.rows());
  const int n = static_cast<int>(a.cols());
  w.resize(a.cols());
  v.resize(a.cols(), a.cols());
  Vector<double> rv1(a.cols());
  const Grid ga{a};
  const Grid gv{v};
  const double anorm = bidiagonalize(ga, m, n, w.data(), rv1.data());
  accumulateRight(ga, gv, n, rv1.data());
  accumulateLeft(ga, m, n, w.data());
  diagonalize(ga, gv, m, n, w.data(), rv1.data(), anorm);
}

}  // namespace KPX
