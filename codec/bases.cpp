// The bases component: D x P learned bases, quantised to a few bits each,
// with one step per base; the second and third colour planes are predicted
// from the first.
#include <cmath>
#include <vector>

#include "codec/components.h"
#include "codec/saturating.h"
#include "numeric/inverse.h"
#include "numeric/matrix_ops.h"
#include "numeric/status_guard.h"

void CBase::shapeFor(const RIMHeader& h, std::uint32_t& rows, std::uint32_t& cols) const {
  rows = h.dimension;
  cols = patchLength(h);
}

Status CBase::setCompressionParameters(const CompressionParameters& p) {
  parameters.precisionBits = p.BasePrecisionBit != 0 ? p.BasePrecisionBit : p.PrecisionBit;
  CoeffQuantizeStep = p.CoeffQuantizeStep;
  DoChangeStep = p.DoChangeStep;
  parameters.maxZeroRun = p.MaxZeroRun;
  return status::Success;
}

Status CBase::writeSteps() {
  if (steps.count() != rows()) return status::NotReady;
  return writeStepTable(steps);
}

Status CBase::readSteps() { return readStepTable(steps); }

Status CBase::predict() {
  const std::uint32_t n = cols() / 3;
  for (std::uint32_t i = 0; i < rows(); ++i) {
    double* row = (*this)[i];
    for (std::uint32_t k = 0; k < n; ++k) {
      row[n + k] -= row[k];
      row[2 * n + k] -= row[k];
    }
  }
  return status::Success;
}

Status CBase::restorePrediction() {
  const std::uint32_t n = cols() / 3;
  for (std::uint32_t i = 0; i < rows(); ++i) {
    double* row = (*this)[i];
    for (std::uint32_t k = 0; k < n; ++k) {
      row[n + k] += row[k];
      row[2 * n + k] += row[k];
    }
  }
  return status::Success;
}

Status CBase::dequantize() {
  if (steps.count() != rows()) return status::NotReady;
  for (std::uint32_t i = 0; i < rows(); ++i) {
    const std::uint32_t s = steps[i];
    if (s == 0) return status::DividedByZero;
    double* row = (*this)[i];
    for (std::uint32_t k = 0; k < cols(); ++k) row[k] /= s;
  }
  return status::Success;
}

namespace {

double rowNorm(const double* row, std::uint32_t n) { return std::sqrt(KPX::squaredNorm(row, n)); }

}  // namespace

Status CBase::prepareBases(KPX::Matrix<double>& analysis) {
  return guardStatus([&]() -> Status {
    const std::uint32_t d = rows();
    const std::uint32_t p = cols();
    if (d == 0 || p == 0) return status::InvalidValues;
    // Every base shares one step that must divide its norm.
    if (DoChangeStep == 0 && CoeffQuantizeStep == 0) return status::DividedByZero;

    // 1. Strongest base first; equal norms keep their order.
    std::vector<double> norms(d);
    for (std::uint32_t i = 0; i < d; ++i) norms[i] = rowNorm((*this)[i], p);
    KPX::Matrix<double> sorted(d, p);
    std::vector<double> sortedNorms(d);
    std::vector<bool> taken(d, false);
    for (std::uint32_t k = 0; k < d; ++k) {
      std::uint32_t best = d;
      for (std::uint32_t i = 0; i < d; ++i) {
        if (taken[i]) continue;
        if (best == d || norms[i] > norms[best]) best = i;
      }
      taken[best] = true;
      sortedNorms[k] = norms[best];
      const double* from = (*this)[best];
      double* to = sorted[k];
      for (std::uint32_t j = 0; j < p; ++j) to[j] = from[j];
    }
    static_cast<KPX::Matrix<double>&>(*this) = std::move(sorted);

    // 2. Quantise each base to b bits of magnitude.
    const double q = std::pow(2.0, static_cast<double>(parameters.precisionBits) - 1.0) - 1.0;
    for (std::uint32_t i = 0; i < d; ++i) {
      double* row = (*this)[i];
      double m = 0.0;
      for (std::uint32_t j = 0; j < p; ++j) m = std::fmax(m, std::fabs(row[j]));
      if (m == 0.0) continue;
      const double scale = toUint32(std::trunc(q / m));
      for (std::uint32_t j = 0; j < p; ++j) row[j] = std::trunc(scale * row[j]);
    }

    // 3. Coefficient step per base: the weakest base gets the configured
    // step, stronger ones proportionally finer steps.
    std::vector<std::uint32_t> coefficientSteps(d, CoeffQuantizeStep);
    if (DoChangeStep != 0) {
      for (std::uint32_t i = 0; i < d; ++i) {
        std::uint32_t step = 1;
        if (sortedNorms[0] != 0.0) {
          step = toUint32(std::trunc(static_cast<double>(CoeffQuantizeStep) * sortedNorms[d - 1] /
                                     sortedNorms[i]));
          if (step == 0) step = 1;
        }
        coefficientSteps[i] = step;
      }
    }

    // 4. Analysis matrix P x D.
    KPX::Matrix<double> w = d == p ? KPX::inverseBySvd(*this) : KPX::inverse(*this);

    // 5. Stored steps and column scaling.
    KPX::Vector<std::uint32_t> stored(d);
    for (std::uint32_t i = 0; i < d; ++i) {
      const double r = rowNorm((*this)[i], p);
      if (r == 0.0) {
        stored[i] = coefficientSteps[i];
        continue;
      }
      std::uint32_t s = toUint32(std::trunc(r / coefficientSteps[i]));
      if (s == 0) s = 1;
      stored[i] = s;
      for (std::uint32_t j = 0; j < w.rows(); ++j) w[j][i] *= s;
    }

    // 6.
    steps = std::move(stored);
    analysis = std::move(w);
    return status::Success;
  });
}
