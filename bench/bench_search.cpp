// Similarity search over a folder of 1,000 RIM files encoded from
// photographs, read through the page cache. Reports candidates per second
// with one and two scoring threads and checks that both rank identically.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QImage>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/qimage_raster.h"
#include "platform/directory.h"
#include "retrieval/search.h"

namespace {

constexpr unsigned kFiles = 1000;

// The folder, written once per run and removed at exit: crops of the
// corpus photographs (376 x 236 pixels: 1,410 patches of 8 x 8, 96 PCA bases
// of 192 values), each crop at its own offset, encoded with the default
// parameters on two threads.
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
    std::vector<QImage> photos;
    for (const auto& e : std::filesystem::directory_iterator(FOLIM_TEST_DATA_DIR "/corpus")) {
      if (e.path().extension() != ".jpg") continue;
      QImage photo(QString::fromStdString(e.path().string()));
      if (photo.width() >= 400 && photo.height() >= 250) photos.push_back(photo);
    }
    if (photos.empty()) {
      std::fprintf(stderr, "no photographs in %s/corpus\n", FOLIM_TEST_DATA_DIR);
      std::exit(1);
    }
    entries_.resize(kFiles);
    for (unsigned k = 0; k < kFiles; ++k) {
      char name[32];
      std::snprintf(name, sizeof name, "image%04u.rim", k);
      entries_[k].name = name;
      entries_[k].path = platform::joinPath(path_, name);
    }
    std::ostream* trace = setTraceStream(nullptr);
    std::atomic<unsigned> next{0};
    std::atomic<bool> failed{false};
    auto encodeSome = [&] {
      CommonParameters common;
      LearningParameters learning;
      CompressionParameters compression;
      setDefaultParameters(common, learning, compression);
      for (unsigned k = next++; k < kFiles; k = next++) {
        const unsigned v = k / static_cast<unsigned>(photos.size());
        const QImage crop = photos[k % photos.size()].copy(static_cast<int>(v * 7 % 25),
                                                           static_cast<int>(v * 3 % 15), 376, 236);
        CImage raster;
        CRIMCodec codec;
        if (!imageio::rasterFromQImage(crop, raster) ||
            codec.setParameters(&common, &learning, &compression) != 0 ||
            codec.encodeFile(entries_[k].path, raster) != 0)
          failed = true;
      }
    };
    std::thread helper(encodeSome);
    encodeSome();
    helper.join();
    setTraceStream(trace);
    if (failed) {
      std::fprintf(stderr, "cannot encode the benchmark folder\n");
      std::exit(1);
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
