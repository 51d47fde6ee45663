// Principal component whitening of the patch matrix, the first stage of
// learning the bases of an image, and the learning state it shares with
// FastICA.
#pragma once

#include <cstdint>
#include <limits>

#include "numeric/matrix.h"
#include "numeric/row_source.h"
#include "numeric/status.h"

// One per encoded image: built from the learning parameters, filled by
// prepareLearning, iterated by FastICA, read once for the bases.
struct IcaLearner {
  IcaLearner(double condition, std::uint32_t iterations, std::uint32_t components)
      : conversionCondition(condition), maxIterations(iterations), dimensionReduction(components) {}

  double conversionCondition;        // convergence threshold of the mean change
  std::uint32_t maxIterations;       // iteration limit
  std::uint32_t dimensionReduction;  // k, the number of components kept
  KPX::Matrix<double> unmixing;      // W, k x k, rows are the unmixing vectors
  KPX::Matrix<double> whitened;      // Z, N x k, one row per patch
  KPX::Matrix<float>
      whitenedSingle;  // Z rounded to floats, for the steps near the end (made by the first)
  // The last step's change measure; none yet is +infinity.
  double lastChange = std::numeric_limits<double>::infinity();
  KPX::Matrix<double> whitening;    // k x d, patch to whitened coordinates
  KPX::Matrix<double> dewhitening;  // d x k, whitened coordinates back to a patch
};

// Picks the k eigenvalues of largest magnitude, largest first (the lowest
// index wins among equal magnitudes; index 0 once all that remain are 0).
// invSqrtD and sqrtD become k x k diagonal with 1/sqrt|l| and sqrt|l| (0 for a
// zero eigenvalue), ek (d x k) the matching columns of eigenvectors (d x d).
// Chosen eigenvalues are set to 0. Returns status::Success, or
// status::NoMemory when memory runs out.
Status selectComponents(KPX::Vector<double>& eigenvalues, const KPX::Matrix<double>& eigenvectors,
                        std::uint32_t k, KPX::Matrix<double>& invSqrtD, KPX::Matrix<double>& sqrtD,
                        KPX::Matrix<double>& ek);

// Whitens the patches X (N x d, each patch free of its channel means, so the
// columns are not centred): fills whitening, dewhitening and whitened from the
// k leading eigenvectors of the covariance X^T X / N. Returns status::Success;
// status::DividedByZero when X has no rows; status::NoMemory when memory runs
// out (the learner's matrices are then unchanged).
//
// Bases taken from the whitening alone (no iterations) never read the
// whitened data; Skip leaves it empty and saves its N x k product.
enum class WhitenedData { Keep, Skip };
Status whiten(IcaLearner& learner, const KPX::Matrix<double>& patches,
              WhitenedData whitenedData = WhitenedData::Keep);
// The same from patches handed over in strips (read once, twice when the
// whitened data is kept); the same results bit for bit.
Status whiten(IcaLearner& learner, const KPX::RowSource& patches, WhitenedData whitenedData);

// whiten, then unmixing = k x k identity and lastChange = +infinity (no
// step yet); whitenedSingle is made by the first step that reads it.
// Returns whiten's failure, or status::Success, or status::NoMemory.
Status prepareLearning(IcaLearner& learner, const KPX::Matrix<double>& patches,
                       WhitenedData whitenedData = WhitenedData::Keep);
Status prepareLearning(IcaLearner& learner, const KPX::RowSource& patches,
                       WhitenedData whitenedData);
