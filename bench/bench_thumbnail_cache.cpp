// Listing a folder of 50 photographs into 96 x 96 thumbnails: without the
// shared thumbnail cache (the file loaded as before), the first visit (cache
// empty: thumbnails made and stored) and the second (taken from the cache).
// Arg 0: JPEG photographs at 1600 pixels; arg 1: RIM files of 400 pixels.
#include <benchmark/benchmark.h>

#include <QImage>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "codec/rim_codec.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "imageio/thumbnail_cache.h"
#include "numeric/trace.h"
#include "support/rim_files.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPhotographs = 50;

// The decoder's step timings would drown the table.
const bool kQuietTrace = (setTraceStream(nullptr), true);

fs::path scratch() { return fs::temp_directory_path() / "folim-bench-thumbnails"; }

// The folder of each kind, made once per run.
const std::vector<std::string>& folder(int kind) {
  static std::vector<std::string> folders[2];
  std::vector<std::string>& paths = folders[kind];
  if (!paths.empty()) return paths;
  const fs::path dir = scratch() / (kind == 0 ? "jpeg" : "rim");
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::vector<std::string> sources = testing_support::corpusPhotographs();
  std::vector<std::string> made;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    const std::string source = testing_support::corpusPath(sources[i]);
    const QImage photo(QString::fromStdString(source));
    const std::string base = (dir / ("source" + std::to_string(i))).string();
    if (kind == 0) {
      const QImage large = photo.scaledToWidth(1600, Qt::SmoothTransformation);
      if (large.save(QString::fromStdString(base + ".jpg"), "jpg", 90))
        made.push_back(base + ".jpg");
    } else {
      CImageEx image;
      image.LoadImageFile(source, false);
      testing_support::TraceCapture quiet;
      if (testing_support::writeRimFile(base + ".rim", image) == 0) made.push_back(base + ".rim");
    }
  }
  if (made.empty()) {
    std::fprintf(stderr, "no photographs made\n");
    return paths;
  }
  // Copies under their own names: each has its own cache entry.
  for (int i = 0; i < kPhotographs; ++i) {
    const std::string& from = made[static_cast<std::size_t>(i) % made.size()];
    const std::string to =
        (dir / ("photo" + std::to_string(i) + fs::path(from).extension().string())).string();
    fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    paths.push_back(to);
  }
  return paths;
}

// What the thumbnail list does with each loaded image.
void drawThumbnail(CImageEx& image) {
  image.FitInto(THUMBNAIL_SIZE, THUMBNAIL_SIZE);
  QImage thumbnail;
  image.MakeThumbnail(thumbnail);
  benchmark::DoNotOptimize(thumbnail);
}

void BM_ListingWithoutCache(benchmark::State& state) {
  const auto& paths = folder(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const std::string& path : paths) {
      CImageEx image;
      image.LoadImageFile(path, true);
      drawThumbnail(image);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(paths.size()));
}

void BM_ListingFirstVisit(benchmark::State& state) {
  const auto& paths = folder(static_cast<int>(state.range(0)));
  const imageio::ThumbnailCache cache(QString::fromStdString((scratch() / "cache").string()));
  for (auto _ : state) {
    state.PauseTiming();
    fs::remove_all(scratch() / "cache");
    state.ResumeTiming();
    for (const std::string& path : paths) {
      CImageEx image;
      imageio::LoadThumbnailSource(cache, path, image);
      drawThumbnail(image);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(paths.size()));
}

void BM_ListingSecondVisit(benchmark::State& state) {
  const auto& paths = folder(static_cast<int>(state.range(0)));
  const imageio::ThumbnailCache cache(QString::fromStdString((scratch() / "cache").string()));
  fs::remove_all(scratch() / "cache");
  for (const std::string& path : paths) {
    CImageEx image;
    imageio::LoadThumbnailSource(cache, path, image);
  }
  for (auto _ : state) {
    for (const std::string& path : paths) {
      CImageEx image;
      imageio::LoadThumbnailSource(cache, path, image);
      drawThumbnail(image);
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<long>(paths.size()));
}

BENCHMARK(BM_ListingWithoutCache)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingFirstVisit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListingSecondVisit)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
