#include "numeric/pca.h"

#include <cmath>
#include <limits>

#include "numeric/eigen.h"
#include "numeric/ica_pass_single.h"
#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric/status_guard.h"

using KPX::Matrix;
using KPX::Vector;

Status selectComponents(Vector<double>& eigenvalues, const Matrix<double>& eigenvectors,
                        std::uint32_t k, Matrix<double>& invSqrtD, Matrix<double>& sqrtD,
                        Matrix<double>& ek) {
  return guardStatus([&] {
    const std::uint32_t d = eigenvectors.rows();
    invSqrtD.resize(k, k);
    KPX::fill(invSqrtD, 0.0);
    sqrtD.resize(k, k);
    KPX::fill(sqrtD, 0.0);
    ek.resize(d, k);
    const std::uint32_t count = eigenvalues.count();
    for (std::uint32_t i = 0; i < k; ++i) {
      std::uint32_t chosen = 0;
      double magnitude = count > 0 ? std::fabs(eigenvalues[0]) : 0.0;
      for (std::uint32_t j = 1; j < count; ++j) {
        if (std::fabs(eigenvalues[j]) > magnitude) {
          magnitude = std::fabs(eigenvalues[j]);
          chosen = j;
        }
      }
      if (magnitude != 0.0) {
        const double root = std::sqrt(magnitude);
        invSqrtD[i][i] = 1.0 / root;
        sqrtD[i][i] = root;
      }
      for (std::uint32_t r = 0; r < d; ++r) ek[r][i] = eigenvectors[r][chosen];
      if (count > 0) eigenvalues[chosen] = 0.0;
    }
  });
}

Status whiten(IcaLearner& learner, const Matrix<double>& patches, WhitenedData whitenedData) {
  return whiten(learner, KPX::MatrixRows(patches), whitenedData);
}

Status whiten(IcaLearner& learner, const KPX::RowSource& patches, WhitenedData whitenedData) {
  const std::uint32_t n = patches.rows();
  const std::uint32_t d = patches.cols();
  if (n == 0) return status::DividedByZero;
  return guardStatus([&] {
    Matrix<double> gram(d, d);
    if (!patches.gramMatrix(gram)) {
      patches.forEachStrip([&](std::uint32_t first, std::uint32_t count, const double* rows) {
        KPX::accumulateGram(rows, count, d, gram, first > 0);
      });
      KPX::mirrorUpperTriangle(gram);
    }
    Matrix<double> covariance = KPX::divide(gram, n);
    Vector<double> eigenvalues;
    // A decomposition that did not converge is used as it stands.
    KPX::eigenSymmetric(covariance, eigenvalues);
    Matrix<double> invSqrtD;
    Matrix<double> sqrtD;
    Matrix<double> ek;
    FOLIM_RETURN_IF_ERROR(
        selectComponents(eigenvalues, covariance, learner.dimensionReduction, invSqrtD, sqrtD, ek));
    Matrix<double> whitening = KPX::multiplyABt(invSqrtD, ek);
    Matrix<double> dewhitening = KPX::multiply(ek, sqrtD);
    Matrix<double> whitened;
    if (whitenedData == WhitenedData::Keep) {
      whitened = Matrix<double>(n, whitening.rows());
      patches.forEachStrip([&](std::uint32_t first, std::uint32_t count, const double* rows) {
        KPX::multiplyRowsInto(rows, d, count, whitening, true, whitened[first]);
      });
    }
    learner.whitening = std::move(whitening);
    learner.dewhitening = std::move(dewhitening);
    learner.whitened = std::move(whitened);
    return status::Success;
  });
}

Status prepareLearning(IcaLearner& learner, const Matrix<double>& patches,
                       WhitenedData whitenedData) {
  return prepareLearning(learner, KPX::MatrixRows(patches), whitenedData);
}

Status prepareLearning(IcaLearner& learner, const KPX::RowSource& patches,
                       WhitenedData whitenedData) {
  FOLIM_RETURN_IF_ERROR(whiten(learner, patches, whitenedData));
  return guardStatus([&] {
    learner.whitenedSingle = KPX::Matrix<float>();
    learner.lastChange = std::numeric_limits<double>::infinity();
    learner.unmixing.resize(learner.dimensionReduction, learner.dimensionReduction);
    KPX::setDiagonal(learner.unmixing, 1.0);
  });
}
