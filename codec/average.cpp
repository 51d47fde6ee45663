// The averages component: 3 x N per-channel patch means, quantised by one
// step per channel and predicted from the left neighbour.
#include <cmath>

#include "codec/components.h"
#include "numeric/status_guard.h"

void CAverage::shapeFor(const RIMHeader& h, std::uint32_t& rows, std::uint32_t& cols) const {
  rows = 3;
  cols = patchCount(h);
}

Status CAverage::setCompressionParameters(const CompressionParameters& p) {
  AverageQuantizeStep = p.AverageQuantizeStep;
  FOLIM_RETURN_IF_ERROR(guardStatus([&] {
    KPX::Vector<std::uint32_t> channelSteps(3);
    KPX::fill(channelSteps, p.AverageQuantizeStep);
    steps = std::move(channelSteps);
  }));
  parameters.precisionBits = p.PrecisionBit;
  parameters.maxZeroRun = p.MaxZeroRun;
  return status::Success;
}

Status CAverage::quantize() {
  if (steps.count() != rows()) return status::NotReady;
  for (std::uint32_t c = 0; c < rows(); ++c) {
    const std::uint32_t a = steps[c];
    if (a == 0) continue;
    double* row = (*this)[c];
    for (std::uint32_t j = 0; j < cols(); ++j) row[j] = std::trunc(row[j] / a);
  }
  return status::Success;
}

Status CAverage::writeSteps() {
  if (steps.count() != rows()) return status::NotReady;
  return writeStepTable(steps);
}

Status CAverage::readSteps() { return readStepTable(steps); }

Status CAverage::predict() {
  const std::uint32_t n = cols();
  if (n < 2) return status::Success;
  for (std::uint32_t c = 0; c < rows(); ++c) {
    double* row = (*this)[c];
    for (std::uint32_t j = n - 1; j >= 1; --j) row[j] -= row[j - 1];
  }
  return status::Success;
}

Status CAverage::restorePrediction() {
  const std::uint32_t n = cols();
  if (n < 2) return status::Success;
  for (std::uint32_t c = 0; c < rows(); ++c) {
    double* row = (*this)[c];
    for (std::uint32_t j = 1; j < n; ++j) row[j] += row[j - 1];
  }
  return status::Success;
}

Status CAverage::dequantize() {
  if (steps.count() != rows()) return status::NotReady;
  for (std::uint32_t c = 0; c < rows(); ++c) {
    const std::uint32_t a = steps[c];
    if (a == 0) return status::DividedByZero;
    double* row = (*this)[c];
    for (std::uint32_t j = 0; j < cols(); ++j) row[j] *= a;
  }
  return status::Success;
}
