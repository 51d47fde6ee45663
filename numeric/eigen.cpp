#include "numeric/eigen.h"

#include <cmath>
#include <utility>

#include "numeric/trace.h"

namespace KPX {
namespace {

constexpr int kMaxQlIterations = 50;

// Householder reduction of the symmetric matrix a (only its lower triangle is
// read) to tridiagonal form. On return a holds the orthogonal transformation,
// d the diagonal and e the sub-diagonal (e[0] = 0). scratch holds n values.
//
// The classic formulation keeps the lower triangle of the shrinking active
// block and reads it along columns as well as rows. Here the whole active
// block is kept, mirrored, so every pass runs along rows: each element of the
// upper half is updated with the same two products as its mirror image, added
// in swapped order, and so stays bitwise equal to it.
void tridiagonalize(Matrix<double>& a, double* d, double* e, double* scratch, int n) {
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < i; ++j) {
      a[static_cast<std::uint32_t>(j)][i] = a[static_cast<std::uint32_t>(i)][j];
    }
  }
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
          for (int k = 0; k <= l; ++k) g += aj[k] * ai[k];
          e[j] = g / h;
          f += e[j] * ai[j];
        }
        const double hh = f / (h + h);
        for (int j = 0; j <= l; ++j) e[j] -= hh * ai[j];
        for (int j = 0; j <= l; ++j) {
          double* aj = a[static_cast<std::uint32_t>(j)];
          const double fj = ai[j];
          const double gj = e[j];
          for (int k = 0; k <= l; ++k) aj[k] -= (fj * e[k] + gj * ai[k]);
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
  // Accumulate the transformations. Row i holds u and column i holds u/H; the
  // block above and left of (i, i) is the product so far, updated as
  // Q -= (u/H) (u^T Q). Both passes walk Q by rows; each g[j] is still summed
  // over k in increasing order.
  for (int i = 0; i < n; ++i) {
    double* ai = a[static_cast<std::uint32_t>(i)];
    if (d[i] != 0.0) {
      for (int j = 0; j < i; ++j) scratch[j] = 0.0;
      for (int k = 0; k < i; ++k) {
        const double* ak = a[static_cast<std::uint32_t>(k)];
        const double u = ai[k];
        for (int j = 0; j < i; ++j) scratch[j] += u * ak[j];
      }
      for (int k = 0; k < i; ++k) {
        double* ak = a[static_cast<std::uint32_t>(k)];
        const double v = ak[i];
        for (int j = 0; j < i; ++j) ak[j] -= scratch[j] * v;
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

// The clones' resolver runs while the program is being loaded, before a
// ThreadSanitizer runtime is ready for the instrumented code; that build
// (which looks for races, not speed) keeps the plain function.
#if defined(__SANITIZE_THREAD__)
#define FOLIM_VECTOR_CLONES
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define FOLIM_VECTOR_CLONES
#endif
#endif
#ifndef FOLIM_VECTOR_CLONES
#define FOLIM_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

// Applies one plane rotation to the eigenvector rows p and q (n values). The
// hottest loop of the decomposition: cloned for wider vectors, which give the
// same results as the numeric core never contracts a multiply and an add.
FOLIM_VECTOR_CLONES void rotateRows(double* __restrict p, double* __restrict q, int n, double s,
                                    double c) {
  for (int k = 0; k < n; ++k) {
    const double f = q[k];
    q[k] = s * p[k] + c * f;
    p[k] = c * p[k] - s * f;
  }
}

// QL iteration with implicit shifts on the tridiagonal matrix (d, e). The
// rotations go to the rows of zt, the transposed eigenvector matrix, so that
// they run along contiguous memory. Returns 0, or -1 when one eigenvalue does
// not converge within kMaxQlIterations.
int diagonalizeTridiagonal(double* d, double* e, int n, Matrix<double>& zt) {
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
          rotateRows(zt[static_cast<std::uint32_t>(i)], zt[static_cast<std::uint32_t>(i + 1)], n, s,
                     c);
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

void transposeSquare(Matrix<double>& a) {
  const std::uint32_t n = a.rows();
  for (std::uint32_t i = 0; i < n; ++i) {
    for (std::uint32_t j = i + 1; j < n; ++j) std::swap(a[i][j], a[j][i]);
  }
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
  Vector<double> scratch;
  try {
    eigenvalues.resize(n);
    offDiagonal.resize(n);
    scratch.resize(n);
  } catch (const MatrixException& e) {
    throw MatrixException{e.message};
  }
  const int size = static_cast<int>(n);
  tridiagonalize(a, eigenvalues.data(), offDiagonal.data(), scratch.data(), size);
  transposeSquare(a);
  const int result = diagonalizeTridiagonal(eigenvalues.data(), offDiagonal.data(), size, a);
  transposeSquare(a);
  return result;
}

}  // namespace KPX
