// The matrix product on the codec's shapes: ours (each kernel the processor
// supports) against OpenBLAS's single-threaded dgemm when it is available.
// Throughput is the "GFLOP/s" counter (2 m n p floating-point operations per
// product).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>

#include "numeric/cpu_features.h"
#include "numeric/matrix.h"
#include "numeric/multiply.h"

#ifdef FOLIM_HAVE_OPENBLAS
#include <cblas.h>
extern "C" void openblas_set_num_threads(int);
#endif

namespace {

struct Shape {
  std::uint32_t m, n, p;
};

// Coefficients (patches x bases), reconstruction (patches x bases times bases
// x patch values), and the small square product of learning.
constexpr Shape kShapes[] = {{4096, 192, 96}, {4096, 96, 192}, {96, 192, 96}};

KPX::Matrix<double> randomMatrix(std::uint32_t rows, std::uint32_t cols, unsigned seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  KPX::Matrix<double> m(rows, cols);
  for (std::uint32_t k = 0; k < m.count(); ++k) m.data()[k] = value(random);
  return m;
}

void setCounters(benchmark::State& state, const Shape& s) {
  const double flops = 2.0 * s.m * s.n * s.p;
  state.counters["GFLOP/s"] =
      benchmark::Counter(flops * 1e-9, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel(std::to_string(s.m) + "x" + std::to_string(s.n) + " * " + std::to_string(s.n) +
                 "x" + std::to_string(s.p));
}

void runOurs(benchmark::State& state, KPX::VectorLevel kernel) {
  if (!KPX::setVectorLevel(kernel)) {
    state.SkipWithError("kernel not supported by this processor");
    return;
  }
  const Shape& s = kShapes[state.range(0)];
  const KPX::Matrix<double> a = randomMatrix(s.m, s.n, 1);
  const KPX::Matrix<double> b = randomMatrix(s.n, s.p, 2);
  for (auto _ : state) {
    KPX::Matrix<double> c = KPX::multiply(a, b);
    benchmark::DoNotOptimize(c.data());
  }
  setCounters(state, s);
}

void BM_Multiply_Avx512(benchmark::State& state) { runOurs(state, KPX::VectorLevel::Avx512); }
void BM_Multiply_Avx2(benchmark::State& state) { runOurs(state, KPX::VectorLevel::Avx2); }
void BM_Multiply_Portable(benchmark::State& state) { runOurs(state, KPX::VectorLevel::Portable); }

BENCHMARK(BM_Multiply_Avx512)->DenseRange(0, 2);
BENCHMARK(BM_Multiply_Avx2)->DenseRange(0, 2);
BENCHMARK(BM_Multiply_Portable)->DenseRange(0, 2);

#ifdef FOLIM_HAVE_OPENBLAS
void BM_Multiply_OpenBlas(benchmark::State& state) {
  openblas_set_num_threads(1);
  const Shape& s = kShapes[state.range(0)];
  const KPX::Matrix<double> a = randomMatrix(s.m, s.n, 1);
  const KPX::Matrix<double> b = randomMatrix(s.n, s.p, 2);
  KPX::Matrix<double> c(s.m, s.p);
  for (auto _ : state) {
    cblas_dgemm(CblasRowMajor, CblasNoTrans, CblasNoTrans, static_cast<int>(s.m),
                static_cast<int>(s.p), static_cast<int>(s.n), 1.0, a.data(), static_cast<int>(s.n),
                b.data(), static_cast<int>(s.p), 0.0, c.data(), static_cast<int>(s.p));
    benchmark::DoNotOptimize(c.data());
  }
  setCounters(state, s);
}
BENCHMARK(BM_Multiply_OpenBlas)->DenseRange(0, 2);
#endif

}  // namespace

BENCHMARK_MAIN();
