// FastICA base learning: the symmetric fixed-point iteration with the
// nonlinearity tanh on the whitened patches, and the bases it yields.
#pragma once

#include <cstdint>

#include "numeric/matrix.h"
#include "numeric/pca.h"
#include "numeric/status.h"

// Learns the k x d bases of the patches X (N x d) into bases: whitening, then
// up to maxIterations FastICA steps (one "." on the trace each), then the
// count of passes plus a newline, then the rows of W * dewhitening^T. With
// maxIterations 0 the bases are the principal components scaled by the square
// roots of their eigenvalues. Returns status::Success; status::DividedByZero
// or status::NoMemory from whitening; status::NotReady when k is 0;
// status::NoMemory when memory runs out. bases is only assigned on success.
Status learnBases(double conversionCondition, std::uint32_t maxIterations,
                  std::uint32_t dimensionReduction, const KPX::Matrix<double>& patches,
                  KPX::Matrix<double>& bases);
// The same from patches handed over in strips.
Status learnBases(double conversionCondition, std::uint32_t maxIterations,
                  std::uint32_t dimensionReduction, const KPX::RowSource& patches,
                  KPX::Matrix<double>& bases);

// One fixed-point step on the learner's unmixing matrix W:
//   w_i <- E[z tanh(w_i^T z)] - E[sech^2(w_i^T z)] w_i, then decorrelate.
// The expectations come from the double-precision pass over whitened
// (numeric/ica_pass.h) while W still changes much (lastChange at least
// 0.01), from the single-precision pass over whitenedSingle
// (numeric/ica_pass_single.h) after; the rest of the step is in double
// precision. The change measure is left in lastChange.
// Returns kConverged when the mean of |1 - |<new w_i, old w_i>|| is below
// conversionCondition, status::Success when not, status::NoMemory when memory
// ran out or Z has no rows (W is then left as it was).
//
// kConverged is a step's result, not a status code (its number, 1, is one no
// status takes) and is never shown.
inline constexpr Status kConverged{1};
Status iterate(IcaLearner& learner);

// Symmetric orthogonalisation W <- W (W^T W)^(-1/2), computed as
// W E D E^-1 from the eigen decomposition W^T W = E diag(l) E^T, with
// D = diag(1/sqrt(l)) (0 where l <= 0). Does nothing on an empty W. Returns
// status::Success; throws MatrixException when memory runs out.
Status decorrelate(KPX::Matrix<double>& w);

// bases = W * dewhitening^T (k x d). Returns status::Success,
// status::NotReady when W has no rows, status::NoMemory when memory runs out.
Status extractBases(const IcaLearner& learner, KPX::Matrix<double>& bases);
