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

Status CCoeff::quantize() {
  const double limit = std::pow(2.0, static_cast<double>(parameters.precisionBits)) - 1.0;
  double* v = data();
  const std::uint32_t n = count();
  // Selections rather than branches, so that the loop runs on vectors.
  for (std::uint32_t k = 0; k < n; ++k) {
    double x = v[k];
    x = x > limit ? limit : x;
    x = x < -limit ? -limit : x;
    v[k] = x == x ? x : 0.0;  // a NaN has no integer to become
  }
  return status::Success;
}

bool CCoeff::integersAvailable() const { return mode == 0 && parameters.precisionBits <= 31; }

Status CCoeff::readIntegerTable(HuffmanDecoderTable& table) {
  // The steps of decode(): the coefficients have no step table and no
  // prediction, and their steps live in the dequantised bases.
  if (mode != 0 && mode != 1) return status::UnsupportedVersion;
  const Status s = checkParameterBlock(stream.capacity());
  if (s != status::Success) return s;
  if (!integersAvailable()) return status::InvalidValues;
  return readHuffmanTable(table);
}

Status CCoeff::startRows(HuffmanRowReader& reader) {
  return guardComponent([&] {
    HuffmanDecoderTable table;
    const Status s = readIntegerTable(table);
    if (s != status::Success) return s;
    return reader.start(stream, table, parameters.precisionBits, parameters.maxZeroRun,
                        header.dimension);
  });
}

Status CCoeff::decodeIntegers(KPX::Matrix<std::int32_t>& values) {
  return guardComponent([&] {
    HuffmanDecoderTable table;
    const Status s = readIntegerTable(table);
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
