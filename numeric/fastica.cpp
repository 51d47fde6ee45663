#include "numeric/fastica.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/eigen.h"
#include "numeric/ica_pass.h"
#include "numeric/ica_pass_single.h"
#include "numeric/inverse.h"
#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric/status_guard.h"
#include "numeric/trace.h"

using KPX::Matrix;
using KPX::Vector;

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

namespace {

// The first steps decide which fixed point the iteration reaches, and on
// some photographs a perturbation the size of single precision's rounding
// sends them to another one, reached later or not within the cap. Near a
// fixed point the step contracts and damps such rounding: the data pass
// runs in single precision once a step changed W by less than this.
constexpr double kSinglePrecisionChange = 0.01;

}  // namespace

Status iterate(IcaLearner& learner) {
  return guardStatus([&] {
    const Matrix<double>& old = learner.unmixing;
    const std::uint32_t n = learner.whitened.rows();
    const std::uint32_t k = old.rows();

    if (n == 0) throw KPX::MatrixException{KPX::kDividedByZero};
    // U = tanh(Y)^T Z and the sums of sech^2 = 1 - tanh^2, which reuses the
    // tangent instead of a second transcendental per element.
    Matrix<double> u;
    std::vector<double> derivative;
    if (learner.lastChange < kSinglePrecisionChange) {
      // Made when first needed: many pictures converge before, and a large
      // one's copy would take 2 bytes per value of memory for nothing.
      if (learner.whitenedSingle.rows() == 0)
        learner.whitenedSingle = KPX::toSingle(learner.whitened);
      KPX::icaSumsSingle(learner.whitenedSingle, old, u, derivative);
    } else {
      KPX::icaSums(learner.whitened, old, u, derivative);
    }
    for (double& m : derivative) m /= n;
    // U / N, row i the mean of tanh(y_ni) z_n.
    Matrix<double> w = KPX::divide(u, n);
    for (std::uint32_t i = 0; i < k; ++i) {
      const double* oldRow = old[i];
      double* row = w[i];
      for (std::uint32_t j = 0; j < old.cols(); ++j) row[j] -= derivative[i] * oldRow[j];
    }
    FOLIM_RETURN_IF_ERROR(decorrelate(w));

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
    learner.lastChange = mean;
    return mean < learner.conversionCondition ? kConverged : status::Success;
  });
}

Status extractBases(const IcaLearner& learner, Matrix<double>& bases) {
  if (learner.unmixing.rows() == 0) return status::NotReady;
  return guardStatus([&] { bases = KPX::multiplyABt(learner.unmixing, learner.dewhitening); });
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
  return guardStatus([&] {
    IcaLearner learner(conversionCondition, maxIterations, dimensionReduction);
    FOLIM_RETURN_IF_ERROR(prepareLearning(
        learner, patches, maxIterations == 0 ? WhitenedData::Skip : WhitenedData::Keep));
    std::uint32_t i = 0;
    for (; i < maxIterations; ++i) {
      tracef(".");
      if (iterate(learner) == kConverged) break;
    }
    // Passes run when the loop stopped on convergence, maxIterations + 1
    // when it never converged.
    tracef("%llu\n", static_cast<unsigned long long>(i) + 1);
    return extractBases(learner, bases);
  });
}
