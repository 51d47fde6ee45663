// The coefficients component: N x D weights, clamped to the precision; the
// coder's truncation to integers is their quantisation.
#include <cmath>

#include "codec/component_guard.h"
#include "codec/components.h"
#include "codec/huffman.h"

void CCoeff::shapeFor(const RIMHeader& h, std::uint32_t& rows, std::uint32_t& cols) const {
  rows = patchCount(h);
  cols = h.dimension;
}

Status CCoeff::setCompressionParameters(const CompressionParameters& p) {
  parameters.precisionBits = p.PrecisionBit;
  parameters.maxZeroRun = p.MaxZeroRun;
  return status::Success;
}

namespace {

double precisionLimit(std::uint32_t precisionBits) {
  return std::pow(2.0, static_cast<double>(precisionBits)) - 1.0;
}

// Selections rather than branches, so that the loop runs on vectors.
double clampToPrecision(double x, double limit) {
  x = x > limit ? limit : x;
  x = x < -limit ? -limit : x;
  return x == x ? x : 0.0;  // a NaN has no integer to become
}

}  // namespace

Status CCoeff::quantize() {
  const double limit = precisionLimit(parameters.precisionBits);
  double* v = data();
  const std::uint32_t n = count();
  for (std::uint32_t k = 0; k < n; ++k) v[k] = clampToPrecision(v[k], limit);
  return status::Success;
}

Status CCoeff::prepareIntegers(std::uint32_t rows, std::uint32_t cols) {
  if (!integersAvailable()) return status::InvalidValues;
  try {
    integers.resize(rows, cols);
  } catch (...) {
    return status::NoMemory;
  }
  return status::Success;
}

void CCoeff::quantizeRows(const double* values, std::uint32_t first, std::uint32_t count) {
  // Within 31 bits: the clamped value truncates to an int32 as the coder
  // truncates it.
  if (count == 0) return;
  const double limit = precisionLimit(parameters.precisionBits);
  const std::size_t n = static_cast<std::size_t>(count) * integers.cols();
  std::int32_t* out = integers[first];
  for (std::size_t k = 0; k < n; ++k)
    out[k] = static_cast<std::int32_t>(clampToPrecision(values[k], limit));
}

Status CCoeff::encodeIntegers() {
  return guardComponent([&] {
    // The steps of encode(): the coefficients have no step table and no
    // prediction.
    if (!integersAvailable()) return status::InvalidValues;
    return encodeHuffman(integers);
  });
}

bool CCoeff::integersAvailable() const { return mode == 0 && parameters.precisionBits <= 31; }

Status CCoeff::decodeIntegers(KPX::Matrix<std::int32_t>& values) {
  return guardComponent([&] {
    // The steps of decode(): the coefficients have no step table and no
    // prediction, and their steps live in the dequantised bases.
    if (mode != 0 && mode != 1) return status::UnsupportedVersion;
    Status s = checkParameterBlock(stream.capacity());
    if (s != status::Success) return s;
    if (!integersAvailable()) return status::InvalidValues;
    HuffmanDecoderTable table;
    s = readHuffmanTable(table);
    if (s != status::Success) return s;
    std::uint32_t rows = 0;
    std::uint32_t cols = 0;
    shapeFor(header, rows, cols);
    values.resize(rows, cols);
    KPX::fill(values, std::int32_t{0});
    return decodeZeroedIntegers(stream, values, table, parameters.precisionBits,
                                parameters.maxZeroRun);
  });
}
