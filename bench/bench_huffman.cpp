// Entropy coding of a coefficient-like matrix the size of a 1920 x 1080 image
// cut into 8 x 8 patches with 96 bases (32,400 x 96 values, p = 16, z = 16):
// mostly small values with a Laplacian-like spread, many zeros, larger values
// in the first columns.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "codec/bitstream.h"
#include "codec/huffman.h"

namespace {

constexpr std::uint32_t kRows = 32400;
constexpr std::uint32_t kCols = 96;
constexpr std::uint32_t kPrecision = 16;
constexpr std::uint32_t kZeroRun = 16;

const KPX::Matrix<double>& coefficients() {
  static const KPX::Matrix<double> m = [] {
    KPX::Matrix<double> c(kRows, kCols);
    std::mt19937 rng(1);
    std::exponential_distribution<double> magnitude(1.0);
    for (std::uint32_t r = 0; r < kRows; ++r) {
      for (std::uint32_t j = 0; j < kCols; ++j) {
        // Spread shrinks with the base index: strong bases first.
        const double scale = 300.0 / std::pow(1.0 + j, 1.3);
        double v = magnitude(rng) * scale * (rng() & 1 ? 1.0 : -1.0);
        v = std::fmax(-65535.0, std::fmin(65535.0, v));
        c[r][j] = v;
      }
    }
    return c;
  }();
  return m;
}

struct Encoded {
  std::vector<std::uint8_t> bytes;
  std::uint32_t lengthCount = 0, lengthBits = 0, symbolCount = 0, symbolBits = 0;
};

template <class T>
bool encode(const KPX::Matrix<T>& m, Encoded& out) {
  BitStream s;
  HuffmanEncoderTable table;
  if (buildEncoderTable(countSymbols(m, kPrecision, kZeroRun), table) != 0) return false;
  if (writeTable(s, table.bits, out.lengthCount, out.lengthBits) != 0) return false;
  if (writeTable(s, table.huffval, out.symbolCount, out.symbolBits) != 0) return false;
  if (encodeMatrix(s, m, table, kPrecision, kZeroRun) != 0) return false;
  out.bytes.assign(s.data(), s.data() + s.byteCount());
  return true;
}

bool decode(const Encoded& in, KPX::Matrix<double>& m, bool reference) {
  BitStream s;
  if (s.loadFromMemory(in.bytes.data(), static_cast<std::uint32_t>(in.bytes.size())) != 0) {
    return false;
  }
  std::vector<std::uint32_t> bits, huffval;
  HuffmanDecoderTable table;
  if (readTable(s, in.lengthCount, in.lengthBits, bits) != 0) return false;
  if (readTable(s, in.symbolCount, in.symbolBits, huffval) != 0) return false;
  if (buildDecoderTable(bits, huffval, table) != 0) return false;
  const Status st = reference ? decodeMatrixReference(s, m, table, kPrecision, kZeroRun)
                              : decodeMatrix(s, m, table, kPrecision, kZeroRun);
  return st == 0;
}

const Encoded& encoded() {
  static const Encoded e = [] {
    Encoded out;
    if (!encode(coefficients(), out)) std::fprintf(stderr, "encoding failed\n");
    return out;
  }();
  return e;
}

void BM_HuffmanEncode(benchmark::State& state) {
  const auto& m = coefficients();
  std::size_t bytes = 0;
  for (auto _ : state) {
    Encoded out;
    if (!encode(m, out)) {
      state.SkipWithError("encoding failed");
      return;
    }
    bytes = out.bytes.size();
    benchmark::DoNotOptimize(out.bytes.data());
  }
  state.counters["bytes"] = static_cast<double>(bytes);
  state.counters["zeros%"] = [&m] {
    std::uint64_t zeros = 0;
    for (std::uint32_t k = 0; k < m.count(); ++k) zeros += std::trunc(m.data()[k]) == 0;
    return 100.0 * static_cast<double>(zeros) / m.count();
  }();
}

// The same values as integers: the codec's own coefficients, coded through
// the bit-mask walk.
const KPX::Matrix<std::int32_t>& integerCoefficients() {
  static const KPX::Matrix<std::int32_t> m = [] {
    const auto& c = coefficients();
    KPX::Matrix<std::int32_t> i(kRows, kCols);
    for (std::uint32_t k = 0; k < c.count(); ++k)
      i.data()[k] = static_cast<std::int32_t>(c.data()[k]);
    return i;
  }();
  return m;
}

void BM_HuffmanEncodeIntegers(benchmark::State& state) {
  const auto& m = integerCoefficients();
  Encoded out;
  for (auto _ : state) {
    out = Encoded();
    if (!encode(m, out)) {
      state.SkipWithError("encoding failed");
      return;
    }
    benchmark::DoNotOptimize(out.bytes.data());
  }
  if (out.bytes != encoded().bytes) state.SkipWithError("integer coding differs");
  state.counters["bytes"] = static_cast<double>(out.bytes.size());
}

void decodeBenchmark(benchmark::State& state, bool reference) {
  const auto& in = encoded();
  const auto& original = coefficients();
  KPX::Matrix<double> m(kRows, kCols);
  for (auto _ : state) {
    if (!decode(in, m, reference)) {
      state.SkipWithError("decoding failed");
      return;
    }
    benchmark::DoNotOptimize(m.data());
  }
  for (std::uint32_t k = 0; k < m.count(); ++k) {
    if (m.data()[k] != std::trunc(original.data()[k])) {
      state.SkipWithError("decoded values differ");
      return;
    }
  }
  state.counters["bytes"] = static_cast<double>(in.bytes.size());
}

void BM_HuffmanDecode(benchmark::State& state) { decodeBenchmark(state, false); }
void BM_HuffmanDecodeBitByBit(benchmark::State& state) { decodeBenchmark(state, true); }

}  // namespace

BENCHMARK(BM_HuffmanEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HuffmanEncodeIntegers)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HuffmanDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HuffmanDecodeBitByBit)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
