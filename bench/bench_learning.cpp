// Base learning on an image-sized patch matrix: 4096 patches of 8 x 8 x 3
// values (a 512 x 512 image), k = 96 components. PCA is whitening alone
// (no iteration); ICA adds FastICA steps, timed one by one and as a whole;
// and 100 steps on the 32,400 patches of a 1920 x 1080 picture.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "numeric/fastica.h"
#include "numeric/matrix.h"
#include "numeric/pca.h"
#include "numeric/trace.h"

namespace {

constexpr std::uint32_t kSide = 512;
constexpr std::uint32_t kPatch = 8;
constexpr std::uint32_t kComponents = 96;

// A synthetic photograph: smooth shading, a few sharp edges and some texture,
// with correlated colour channels. Patches are planar (all of channel 0, then
// 1, then 2) and free of their per-channel means, as the codec hands them over.
KPX::Matrix<double> patchMatrix(std::uint32_t width, std::uint32_t height) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  std::normal_distribution<double> noise(0.0, 4.0);
  struct Edge {
    double nx, ny, offset, step;
  };
  Edge edges[12];
  for (Edge& e : edges) {
    const double angle = unit(random) * 6.283185307179586;
    e = {std::cos(angle), std::sin(angle), unit(random) * width, (unit(random) - 0.5) * 120.0};
  }
  const std::uint32_t perRow = width / kPatch;
  const std::uint32_t perColumn = height / kPatch;
  const std::uint32_t d = 3 * kPatch * kPatch;
  KPX::Matrix<double> x(perRow * perColumn, d);
  for (std::uint32_t py = 0; py < perColumn; ++py) {
    for (std::uint32_t px = 0; px < perRow; ++px) {
      double* row = x[py * perRow + px];
      double mean[3] = {0, 0, 0};
      for (std::uint32_t y = 0; y < kPatch; ++y) {
        for (std::uint32_t xx = 0; xx < kPatch; ++xx) {
          const double gx = px * kPatch + xx;
          const double gy = py * kPatch + y;
          double v = 60.0 * std::sin(gx / 37.0) * std::cos(gy / 53.0) + 20.0 * std::sin(gx / 5.0);
          for (const Edge& e : edges) v += gx * e.nx + gy * e.ny > e.offset ? e.step : 0.0;
          const double texture = noise(random);
          const double channel[3] = {v + texture, 0.8 * v + 0.5 * texture + 10.0,
                                     0.6 * v - 0.3 * texture};
          for (std::uint32_t c = 0; c < 3; ++c) {
            row[c * kPatch * kPatch + y * kPatch + xx] = channel[c];
            mean[c] += channel[c];
          }
        }
      }
      for (std::uint32_t c = 0; c < 3; ++c) {
        mean[c] /= kPatch * kPatch;
        for (std::uint32_t k = 0; k < kPatch * kPatch; ++k) row[c * kPatch * kPatch + k] -= mean[c];
      }
    }
  }
  return x;
}

const KPX::Matrix<double>& patches() {
  static const KPX::Matrix<double> x = patchMatrix(kSide, kSide);
  return x;
}

void BM_LearnPca(benchmark::State& state) {
  TraceTarget quiet(nullptr);
  const KPX::Matrix<double>& x = patches();
  for (auto _ : state) {
    KPX::Matrix<double> bases;
    if (learnBases(1e-4, 0, kComponents, x, bases) != 0) state.SkipWithError("learning failed");
    benchmark::DoNotOptimize(bases.data());
  }
}
BENCHMARK(BM_LearnPca)->Unit(benchmark::kMillisecond);

// The full job with ten FastICA steps (a condition of 0 never converges).
void BM_LearnIca10(benchmark::State& state) {
  TraceTarget quiet(nullptr);
  const KPX::Matrix<double>& x = patches();
  for (auto _ : state) {
    KPX::Matrix<double> bases;
    if (learnBases(0.0, 10, kComponents, x, bases) != 0) state.SkipWithError("learning failed");
    benchmark::DoNotOptimize(bases.data());
  }
}
BENCHMARK(BM_LearnIca10)->Unit(benchmark::kMillisecond);

// One FastICA step on the whitened patches.
void BM_IcaIteration(benchmark::State& state) {
  TraceTarget quiet(nullptr);
  IcaLearner learner(0.0, 1000, kComponents);
  if (prepareLearning(learner, patches()) != 0) {
    state.SkipWithError("whitening failed");
    return;
  }
  for (auto _ : state) {
    if (iterate(learner) == 7) state.SkipWithError("iteration failed");
  }
  // Seconds per step, shown with an SI prefix (ms).
  state.counters["per_iteration"] = benchmark::Counter(
      1.0, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_IcaIteration)->Unit(benchmark::kMillisecond);

const KPX::Matrix<double>& patches1080p() {
  static const KPX::Matrix<double> x = patchMatrix(1920, 1080);
  return x;
}

// The whole learning of a 1080p picture with 100 steps (a condition of 0
// never converges), on the threads the machine has. The steps of this
// synthetic picture keep changing W by more than 0.01: all of them run the
// double-precision pass.
void BM_LearnIca100At1080p(benchmark::State& state) {
  TraceTarget quiet(nullptr);
  const KPX::Matrix<double>& x = patches1080p();
  for (auto _ : state) {
    KPX::Matrix<double> bases;
    if (learnBases(0.0, 100, kComponents, x, bases) != 0) state.SkipWithError("learning failed");
    benchmark::DoNotOptimize(bases.data());
  }
}
BENCHMARK(BM_LearnIca100At1080p)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

// One step on the 1080p patches by the double-precision pass (0) and by the
// single-precision one (1), which a step takes once the last one changed W
// by less than 0.01.
void BM_IcaStepAt1080p(benchmark::State& state) {
  TraceTarget quiet(nullptr);
  IcaLearner learner(0.0, 1000, kComponents);
  if (prepareLearning(learner, patches1080p()) != 0) {
    state.SkipWithError("whitening failed");
    return;
  }
  const double lastChange = state.range(0) == 1 ? 0.0 : std::numeric_limits<double>::infinity();
  for (auto _ : state) {
    learner.lastChange = lastChange;
    if (iterate(learner) == 7) state.SkipWithError("iteration failed");
  }
}
BENCHMARK(BM_IcaStepAt1080p)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
