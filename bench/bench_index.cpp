// The signature index at library scale: a synthetic index of real
// signatures, perturbed, ranked in two stages; and the costs behind it.
//
//   bench_index                             the benchmarks
//   bench_index --make-index FILE DIR N SRC build a synthetic index of N
//                                           entries under DIR from the
//                                           signatures of the pictures in SRC
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "imageio/signature_source.h"
#include "index/ranking.h"
#include "index/signature_blob.h"
#include "index/signature_index.h"
#include "numeric/trace.h"

namespace {

// Bases moved by a few quantisation levels, colour features by a few per
// cent: entries that resemble their source without equalling it.
Signature perturbed(const Signature& source, std::mt19937& random) {
  Signature s = source;
  std::uniform_int_distribution<int> step(-3, 3);
  for (std::uint32_t k = 0; k < s.bases.count(); ++k)
    s.bases.data()[k] = std::clamp(s.bases.data()[k] + step(random), -63.0, 63.0);
  ComputeBaseNorms(s);
  std::uniform_real_distribution<double> factor(0.9, 1.1);
  double total = 0.0;
  for (std::uint32_t k = 0; k < s.structure.count(); ++k) total += s.structure[k] *= factor(random);
  for (std::uint32_t k = 0; k < s.structure.count() && total > 0.0; ++k) s.structure[k] /= total;
  for (std::uint32_t k = 0; k < s.histogram.count(); ++k)
    s.histogram[k] = std::trunc(s.histogram[k] * factor(random));
  for (std::uint32_t k = 0; k < s.blockMeans.count(); ++k) s.blockMeans.data()[k] *= factor(random);
  return s;
}

std::vector<Signature> sourceSignatures(const std::string& folder) {
  const SignatureParameters parameters = currentSignatureParameters();
  std::vector<Signature> out;
  TraceTarget quiet(nullptr);
  for (const std::string& path : listIndexablePictures(folder, false)) {
    Signature s;
    if (FileSignature(path, parameters, s) == status::Success) out.push_back(std::move(s));
  }
  return out;
}

bool makeIndex(const std::string& file, const std::string& dir, std::size_t n,
               const std::vector<Signature>& sources, const std::string& params) {
  SignatureIndex index;
  std::string notice, error;
  if (sources.empty() || !index.Open(file, notice, error)) return false;
  std::mt19937 random(42);
  for (std::size_t i = 0; i < n; i += 1000) {
    if (!index.Begin()) return false;
    for (std::size_t k = i; k < std::min(n, i + 1000); ++k) {
      const Signature s = perturbed(sources[k % sources.size()], random);
      char name[64];
      std::snprintf(name, sizeof name, "/%06zu.jpg", k);
      if (!index.Put(dir + name, params, 1000, 1000, 0, &s)) return false;
    }
    if (!index.Commit()) return false;
  }
  return true;
}

const std::string& examples() {
  static const std::string dir = FOLIM_EXAMPLES_DIR;
  return dir;
}

// One synthetic index per size, made on first use in the build folder.
std::string indexOf(std::size_t n) {
  static const std::vector<Signature> sources = sourceSignatures(examples());
  const std::string file = "bench-index-" + std::to_string(n) + ".sqlite";
  if (!std::filesystem::exists(file))
    makeIndex(file, "/synthetic", n, sources, signatureParametersKey(currentSignatureParameters()));
  return file;
}

void BM_IndexedSearch(benchmark::State& state) {
  const std::size_t n = static_cast<std::size_t>(state.range(0));
  const std::string file = indexOf(n);
  IndexedQuery q;
  {
    TraceTarget quiet(nullptr);
    FileSignature(examples() + "/aqua.jpg", currentSignatureParameters(), q.query);
  }
  q.threads = 2;
  const std::string params = signatureParametersKey(currentSignatureParameters());
  for (auto _ : state) {
    SignatureIndex index;
    std::string notice, error;
    index.Open(file, notice, error);
    std::vector<ImageEntry> ranking;
    std::vector<std::int64_t> damaged;
    RankIndexed(index, "/synthetic", false, params, q, ranking, damaged, error);
    benchmark::DoNotOptimize(ranking.data());
    state.counters["entries"] = static_cast<double>(n);
  }
  state.counters["bytes_per_entry"] =
      static_cast<double>(std::filesystem::file_size(file)) / static_cast<double>(n);
}
BENCHMARK(BM_IndexedSearch)->Arg(10000)->Arg(30000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Learning one ordinary picture's signature, at full size and reduced.
void BM_LearnSignature(benchmark::State& state) {
  SignatureParameters p = currentSignatureParameters();
  p.maxSide = static_cast<std::uint32_t>(state.range(0));
  const std::string path = examples() + "/storm.jpg";
  TraceTarget quiet(nullptr);
  for (auto _ : state) {
    Signature s;
    benchmark::DoNotOptimize(FileSignature(path, p, s));
  }
}
BENCHMARK(BM_LearnSignature)->Arg(0)->Arg(256)->Unit(benchmark::kMillisecond);

void BM_CompactEstimate(benchmark::State& state) {
  const std::vector<Signature> sources = sourceSignatures(examples());
  const CompactSignature a = MakeCompact(sources[0]), b = MakeCompact(sources[1]);
  for (auto _ : state) benchmark::DoNotOptimize(EstimateScore(a, b, 2, 0.7));
}
BENCHMARK(BM_CompactEstimate);

void BM_ExactScore(benchmark::State& state) {
  const std::vector<Signature> sources = sourceSignatures(examples());
  for (auto _ : state) {
    ImageEntry e;
    ScoreSignature(sources[0], sources[1], 2, 0.7, e);
    benchmark::DoNotOptimize(e.score);
  }
}
BENCHMARK(BM_ExactScore)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "--make-index") == 0) {
    const bool ok = makeIndex(argv[2], argv[3], std::stoul(argv[4]), sourceSignatures(argv[5]),
                              signatureParametersKey(currentSignatureParameters()));
    return ok ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
