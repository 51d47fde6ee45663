// Batch conversions with one file at a time against two at a time, side by
// side in one run: 16 photographs at 1920 x 1080 (the corpus photographs
// scaled up, four of them mirrored) to RIM files, and those back to BMP.
// Each iteration times --jobs 1 then --jobs 2 on the same files, so that
// other load on the machine falls on both alike; the counters give the
// seconds of each and their ratio. --jobs 1 spreads each image over every
// core; the one-thread figures (each image on one core, one file at a time)
// show what running files side by side adds on its own.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "imageio/batch_convert.h"
#include "imageio/listing.h"
#include "numeric/parallel.h"
#include "numeric/trace.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPhotographs = 16;

// The folders of the benchmark, made once: 16 JPEG photographs and their
// RIM files.
struct Folders {
  fs::path root;
  fs::path photographs;
  fs::path rims;
  bool ok = false;

  Folders() {
    root = fs::temp_directory_path() / "folim-bench-batch";
    photographs = root / "photographs";
    rims = root / "rims";
    std::error_code error;
    fs::remove_all(root, error);
    fs::create_directories(photographs);
    fs::create_directories(rims);
    const std::vector<std::string> names = testing_support::corpusPhotographs();
    for (int i = 0; i < kPhotographs && !names.empty(); ++i) {
      const std::size_t n = static_cast<std::size_t>(i) % names.size();
      QImage image(QString::fromStdString(testing_support::corpusPath(names[n])));
      if (image.isNull()) return;
      image = image.scaled(1920, 1080, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
      if (static_cast<std::size_t>(i) >= names.size()) image = image.mirrored(true, false);
      const std::string name = "photo" + std::to_string(100 + i) + ".jpg";
      if (!image.save(QString::fromStdString((photographs / name).string()), "JPEG", 92)) return;
    }
    TraceTarget quiet(nullptr);
    RimConversionOptions options;
    ok = convertToRim(listImageFiles(photographs.string(), false), rims.string(), options)
             .succeeded();
  }
  ~Folders() {
    std::error_code error;
    fs::remove_all(root, error);
  }
};

const Folders& folders() {
  static const Folders f;
  return f;
}

// Seconds of one job into a fresh folder.
template <typename Run>
double timed(const Run& run, const fs::path& out) {
  std::error_code error;
  fs::remove_all(out, error);
  fs::create_directories(out);
  const auto start = std::chrono::steady_clock::now();
  const bool ok = run(out.string());
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (!ok) std::fprintf(stderr, "a batch job failed\n");
  return took.count();
}

void scaling(benchmark::State& state, bool toRim) {
  const Folders& f = folders();
  if (!f.ok) {
    state.SkipWithError("the photographs could not be made");
    return;
  }
  TraceTarget quiet(nullptr);
  const std::vector<ListedImage> items =
      listImageFiles((toRim ? f.photographs : f.rims).string(), false);
  const auto job = [&](unsigned jobs) {
    return [&items, toRim, jobs](const std::string& out) {
      if (toRim) {
        RimConversionOptions options;
        options.jobs = jobs;
        return convertToRim(items, out, options).succeeded();
      }
      BmpConversionOptions options;
      options.jobs = jobs;
      return convertToBmp(items, out, options).succeeded();
    };
  };
  double one = 0, two = 0, serial = 0;
  for (auto _ : state) {
    one += timed(job(1), f.root / "out1");
    two += timed(job(2), f.root / "out2");
    const KPX::ThreadLimit oneCore(1);
    serial += timed(job(1), f.root / "out3");
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["files"] = static_cast<double>(items.size());
  state.counters["jobs1_s"] = one / n;
  state.counters["jobs2_s"] = two / n;
  state.counters["speedup"] = two > 0 ? one / two : 0;
  state.counters["jobs1_1thread_s"] = serial / n;
  state.counters["speedup_1thread"] = two > 0 ? serial / two : 0;
}

void BM_BatchToRimJobs1VsJobs2(benchmark::State& state) { scaling(state, true); }
void BM_BatchToBmpJobs1VsJobs2(benchmark::State& state) { scaling(state, false); }

BENCHMARK(BM_BatchToRimJobs1VsJobs2)->Unit(benchmark::kSecond)->Iterations(3);
BENCHMARK(BM_BatchToBmpJobs1VsJobs2)->Unit(benchmark::kSecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
