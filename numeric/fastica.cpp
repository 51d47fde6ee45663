#include "numeric/fastica.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/eigen.h"
#include "numeric/inverse.h"
#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"

using KPX::Matrix;
using KPX::Vector;

namespace {

// Rows taken at a time by an iteration: their projections, tangents and
// products stay in the cache instead of going through an N x k matrix.
constexpr std::uint32_t kStripRows = 2048;

// Replaces every element of the strip y (rows x k) by its hyperbolic tangent
// and adds the derivative sech^2 = 1 - tanh^2 of each column to sums. The
// derivative reuses the tangent instead of a second transcendental per
// element; (1 - t)(1 + t) keeps it accurate near |t| = 1, and the means agree
// with 1 / cosh^2 to within a few units in the last place.
void tanhStrip(double* y, std::uint32_t rows, std::uint32_t k, std::vector<double>& sums) {
  // The columns are shared among the threads, so that each sum still runs
  // over the rows in order, strip after strip.
  KPX::parallelFor(k, 1, [&](std::uint64_t first, std::uint64_t end) {
    std::vector<double> partial(sums.begin() + static_cast<std::ptrdiff_t>(first),
                                sums.begin() + static_cast<std::ptrdiff_t>(end));
    for (std::uint32_t r = 0; r < rows; ++r) {
      double* row = y + static_cast<std::size_t>(r) * k;
      for (std::uint64_t i = first; i < end; ++i) {
        const double t = std::tanh(row[i]);
        row[i] = t;
        partial[i - first] += (1.0 - t) * (1.0 + t);
      }
    }
    std::copy(partial.begin(), partial.end(), sums.begin() + static_cast<std::ptrdiff_t>(first));
  });
}

}  // namespace

Status decorrelate(Matrix<double>& w) {
  if (w.rows() == 0 || w.cols() == 0) return status::Success;
  Matrix<double> e = KPX::multiplyAtB(w, w);
  Vector<double> lambda;
  // A decomposition that did not converge is used as it stands.
  KPX::eigenSymmetric(e, lambda);
  const std::uint32_t k = e.rows();
  // E D: column i of E scaled by 1/sqrt(l_i), the same as the product with the
  // zero-filled diagonal matrix.
  Matrix<double> ed(e);
  for (std::uint32_t i = 0; i < k; ++i) {
    const double scale = lambda[i] > 0.0 ? 1.0 / std::sqrt(lambda[i]) : 0.0;
    for (std::uint32_t r = 0; r < k; ++r) ed[r][i] *= scale;
  }
  // E^-1 by Gauss-Jordan elimination. The elimination has no pivoting and
  // stops on a zero pivot, which an orthogonal E can have (a permutation, for
  // one); E^T is then its inverse.
  Matrix<double> inverseE(e);
  if (KPX::invertInPlace(inverseE) == 0.0) inverseE = KPX::transpose(e);
  const Matrix<double> root = KPX::multiply(ed, inverseE);
  w = KPX::multiply(w, root);
  return status::Success;
}

Status iterate(IcaLearner& learner) {
  try {
    const Matrix<double>& z = learner.whitened;
    const Matrix<double>& old = learner.unmixing;
    const std::uint32_t n = z.rows();
    const std::uint32_t k = old.rows();

    if (n == 0) throw KPX::MatrixException{KPX::kDividedByZero};
    // Strip by strip: y_ni = <w_i, z_n>, its tangent, and U = tanh(Y)^T Z
    // continued over the strip's rows.
    std::vector<double> derivative(k, 0.0);
    Matrix<double> u(k, z.cols());
    std::vector<double> y(static_cast<std::size_t>(std::min(kStripRows, n)) * k);
    for (std::uint32_t first = 0; first < n; first += kStripRows) {
      const std::uint32_t rows = std::min(kStripRows, n - first);
      KPX::multiplyRowsInto(z[first], z.cols(), rows, old, true, y.data());
      tanhStrip(y.data(), rows, k, derivative);
      KPX::accumulateAtB(y.data(), k, rows, z[first], z.cols(), u, first > 0);
    }
    for (double& m : derivative) m /= n;
    // U / N, row i the mean of tanh(y_ni) z_n.
    Matrix<double> w = KPX::divide(u, n);
    for (std::uint32_t i = 0; i < k; ++i) {
      const double* oldRow = old[i];
      double* row = w[i];
      for (std::uint32_t j = 0; j < old.cols(); ++j) row[j] -= derivative[i] * oldRow[j];
    }
    decorrelate(w);

    double delta = 0.0;
    for (std::uint32_t i = 0; i < k; ++i) {
      const double* a = w[i];
      const double* b = old[i];
      double dot = 0.0;
      for (std::uint32_t j = 0; j < old.cols(); ++j) dot += a[j] * b[j];
      delta += std::fabs(1.0 - std::fabs(dot));
    }
    const double mean = k > 0 ? delta / k : 0.0;
    learner.unmixing = std::move(w);
    return mean < learner.conversionCondition ? 1 : 0;
  } catch (...) {
    return status::NoMemory;
  }
}

Status extractBases(const IcaLearner& learner, Matrix<double>& bases) {
  if (learner.unmixing.rows() == 0) return status::NotReady;
  try {
    bases = KPX::multiplyABt(learner.unmixing, learner.dewhitening);
    return status::Success;
  } catch (...) {
    return status::NoMemory;
  }
}

Status learnBases(double conversionCondition, std::uint32_t maxIterations,
                  std::uint32_t dimensionReduction, const Matrix<double>& patches,
                  Matrix<double>& bases) {
  return learnBases(conversionCondition, maxIterations, dimensionReduction,
                    KPX::MatrixRows(patches), bases);
}

Status learnBases(double conversionCondition, std::uint32_t maxIterations,
                  std::uint32_t dimensionReduction, const KPX::RowSource& patches,
                  Matrix<double>& bases) {
  try {
    IcaLearner learner(conversionCondition, maxIterations, dimensionReduction);
    const Status prepared = prepareLearning(
        learner, patches, maxIterations == 0 ? WhitenedData::Skip : WhitenedData::Keep);
    if (prepared != status::Success) return prepared;
    std::uint32_t i = 0;
    for (; i < maxIterations; ++i) {
      tracef(".");
      if (iterate(learner) == 1) break;
    }
    // Passes run when the loop stopped on convergence, maxIterations + 1
    // when it never converged.
    tracef("%llu\n", static_cast<unsigned long long>(i) + 1);
    return extractBases(learner, bases);
  } catch (...) {
    return status::NoMemory;
  }
}
