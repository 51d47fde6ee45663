// Similarity search over a folder of 1,000 RIM files of realistic shape
// (320 x 304 pixels in 8 x 8 patches: 1,520 patches, 96 bases of 192
// values), read through the page cache. Reports candidates per second with
// one and two scoring threads and checks that both rank identically.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/directory.h"
#include "retrieval/search.h"
#include "retrieval/synthetic_rim.h"

namespace {

constexpr unsigned kFiles = 1000;

// The folder, written once per run and removed at exit.
class Folder {
 public:
  Folder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "folim-bench-search-XXXXXX").string();
    if (mkdtemp(&pattern[0]) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path_ = pattern;
    for (unsigned k = 0; k < kFiles; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "image%04u.rim", k);
      const std::string file = platform::joinPath(path_, name);
      // Every tenth file repeats another's contents, as near-duplicates do.
      const unsigned seed = k % 10 == 9 ? k - 9 : k;
      if (synthetic::write(
              file, synthetic::randomRim(synthetic::header(320, 304, 8, 96, 0), seed)) != 0) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::exit(1);
      }
      ImageEntry e;
      e.name = name;
      e.path = file;
      entries_.push_back(e);
    }
  }
  ~Folder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
  }
  const std::vector<ImageEntry>& entries() const { return entries_; }
  std::string query() const { return entries_[17].path; }

 private:
  std::string path_;
  std::vector<ImageEntry> entries_;
};

const Folder& folder() {
  static const Folder f;
  return f;
}

SearchResult search(unsigned threads, std::int32_t mode) {
  SearchRequest request;
  request.queryPath = folder().query();
  request.queryBaseType = 0;
  request.colorMode = mode;
  request.colorWeightText = "70";
  request.threads = threads;
  return RunSearch(request, folder().entries());
}

void BM_Search(benchmark::State& state) {
  const unsigned threads = static_cast<unsigned>(state.range(0));
  const std::int32_t mode = static_cast<std::int32_t>(state.range(1));
  const SearchResult reference = search(1, mode);
  std::size_t candidates = 0;
  for (auto _ : state) {
    SearchResult r = search(threads, mode);
    candidates += r.candidates.size();
    benchmark::DoNotOptimize(r.candidates.data());
    // Identical values in identical order whatever the thread count.
    bool same = r.candidates.size() == reference.candidates.size();
    for (std::size_t k = 0; same && k < r.candidates.size(); ++k)
      same = r.candidates[k].path == reference.candidates[k].path &&
             r.candidates[k].score == reference.candidates[k].score;
    if (!same) state.SkipWithError("ranking differs from the single-threaded one");
  }
  state.counters["candidates/s"] =
      benchmark::Counter(static_cast<double>(candidates), benchmark::Counter::kIsRate);
}

}  // namespace

// Arguments: scoring threads, colour mode (0 block mean, 1 histogram, 2 CSD).
BENCHMARK(BM_Search)
    ->ArgNames({"threads", "mode"})
    ->Args({1, 2})
    ->Args({2, 2})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2.0);

BENCHMARK_MAIN();
