// The coefficients component: N x D weights, clamped to the precision; the
// coder's truncation to integers is their quantisation.
#include <immintrin.h>

#include <algorithm>
#include <cmath>

#include "codec/components.h"
#include "codec/huffman.h"
#include "numeric/cpu_features.h"
#include "numeric/status_guard.h"

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

// clampToPrecision and the truncation, four values at a time: min and max
// keep a NaN (their second operand), the ordered mask then zeroes it.
__attribute__((target("avx2"))) std::size_t quantizeAvx2(const double* values, std::size_t n,
                                                         double limit, std::int32_t* out) {
  const __m256d high = _mm256_set1_pd(limit);
  const __m256d low = _mm256_set1_pd(-limit);
  std::size_t k = 0;
  for (; k + 4 <= n; k += 4) {
    __m256d x = _mm256_loadu_pd(values + k);
    x = _mm256_max_pd(low, _mm256_min_pd(high, x));
    x = _mm256_and_pd(x, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + k), _mm256_cvttpd_epi32(x));
  }
  return k;
}

// The values quantised ahead of the common loop: none without vectors.
using QuantizeHead = std::size_t (*)(const double* values, std::size_t n, double limit,
                                     std::int32_t* out);
std::size_t quantizeNone(const double*, std::size_t, double, std::int32_t*) { return 0; }
const KPX::LevelKernel<QuantizeHead> kQuantizeHead{quantizeNone, quantizeAvx2};

// Rows quantised at a time before their symbols are listed.
constexpr std::uint32_t kQuantizedRows = 64;

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
  integerCols_ = cols;
  FOLIM_RETURN_IF_ERROR(
      lister_.start(rows, cols, parameters.precisionBits, parameters.maxZeroRun, symbols_));
  return guardStatus([&] { quantized_.resize(std::size_t{kQuantizedRows} * cols); });
}

void CCoeff::quantizeRows(const double* values, std::uint32_t first, std::uint32_t count) {
  // Within 31 bits: the clamped value truncates to an int32 as the coder
  // truncates it. A few rows at a time, listed while still in the cache.
  const double limit = precisionLimit(parameters.precisionBits);
  const QuantizeHead head = kQuantizeHead.current();
  for (std::uint32_t done = 0; done < count;) {
    const std::uint32_t part = std::min(kQuantizedRows, count - done);
    const std::size_t n = static_cast<std::size_t>(part) * integerCols_;
    const double* in = values + static_cast<std::size_t>(done) * integerCols_;
    std::int32_t* out = quantized_.data();
    std::size_t k = head(in, n, limit, out);
    for (; k < n; ++k) out[k] = static_cast<std::int32_t>(clampToPrecision(in[k], limit));
    lister_.addRows(out, first + done, part);
    done += part;
  }
}

Status CCoeff::encodeIntegers() {
  return guardStatus([&] {
    // The steps of encode(): the coefficients have no step table and no
    // prediction.
    if (!integersAvailable()) return status::InvalidValues;
    FOLIM_RETURN_IF_ERROR(lister_.finish());
    return encodeHuffman(symbols_);
  });
}

bool CCoeff::integersAvailable() const { return mode == 0 && parameters.precisionBits <= 31; }

Status CCoeff::readIntegerTable(HuffmanDecoderTable& table) {
  // The steps of decode(): the coefficients have no step table and no
  // prediction, and their steps live in the dequantised bases.
  if (mode != 0 && mode != 1) return status::UnsupportedVersion;
  FOLIM_RETURN_IF_ERROR(checkParameterBlock(stream.capacity()));
  if (!integersAvailable()) return status::InvalidValues;
  return readHuffmanTable(table);
}

Status CCoeff::startRows(HuffmanRowReader& reader) {
  return guardStatus([&] {
    HuffmanDecoderTable table;
    FOLIM_RETURN_IF_ERROR(readIntegerTable(table));
    return reader.start(stream, table, parameters.precisionBits, parameters.maxZeroRun,
                        header.dimension);
  });
}

Status CCoeff::decodeIntegers(KPX::Matrix<std::int32_t>& values) {
  return guardStatus([&] {
    HuffmanDecoderTable table;
    FOLIM_RETURN_IF_ERROR(readIntegerTable(table));
    std::uint32_t rows = 0;
    std::uint32_t cols = 0;
    shapeFor(header, rows, cols);
    values.resize(rows, cols);
    KPX::fill(values, std::int32_t{0});
    return decodeZeroedIntegers(stream, values, table, parameters.precisionBits,
                                parameters.maxZeroRun);
  });
}
