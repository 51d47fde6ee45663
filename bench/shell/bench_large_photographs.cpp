// Large photographs in the desktop application, through the document the
// window drives. Each figure runs the former way ("before": every picture
// decoded whole, then fitted; thumbnails on one thread) beside the present
// one ("after"):
//  - FirstListing: a folder of 50 JPEG photographs of 4000 x 3000 (quality
//    92, made from the corpus) listed with an empty thumbnail cache, from
//    the folder's choice to its last thumbnail; peak memory as PeakMB.
//  - FirstListing_ByDateTaken: the same, sorted by date taken (each
//    photograph's EXIF read first).
//  - OpenFullSize: one of them selected and opened fitted to 1920 x 1080,
//    drawn once.
//  - FolderOf5000: a folder of 5,000 small pictures, from the folder's
//    choice to the first page of thumbnails shown (PagedMs: until the page
//    is known and its thumbnails start loading). The thumbnails of "after"
//    are also stored in the desktop's shared cache, which "before" did not.
// The pictures are made once into the build folder (bench-photographs/).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "imageio/image_ex.h"
#include "imageio/listing.h"
#include "numeric/trace.h"
#include "shell/folim_doc.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPhotographs = 50;
constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kSmallFiles = 5000;
const QSize kWindow(1920, 1080);

fs::path dataRoot() {
  return fs::path(QCoreApplication::applicationDirPath().toStdString()) / ".." /
         "bench-photographs";
}

// The cache the document's thumbnails go through (XDG_CACHE_HOME/thumbnails).
fs::path cacheRoot() { return dataRoot() / "cache"; }

void emptyThumbnailCache() { fs::remove_all(cacheRoot() / "thumbnails"); }

// A corpus photograph enlarged to fill 4000 x 3000.
QImage enlarged(const std::string& source) {
  const QImage photo(QString::fromStdString(source));
  if (photo.isNull()) return {};
  const QImage big =
      photo.scaled(kWidth, kHeight, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
  return big.copy((big.width() - kWidth) / 2, (big.height() - kHeight) / 2, kWidth, kHeight);
}

// The 50 photographs, made once per build folder: the corpus enlarged, each
// under its own name (its own thumbnail cache entry).
const std::vector<std::string>& photographs() {
  static std::vector<std::string> paths;
  if (!paths.empty()) return paths;
  const fs::path dir = dataRoot() / "photographs";
  const fs::path made = dir / ".made";
  fs::create_directories(dir);
  std::vector<std::string> files;
  for (int i = 0; i < kPhotographs; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo%02d.jpg", i);
    files.push_back((dir / name).string());
  }
  if (!fs::exists(made)) {
    const std::vector<std::string> sources = testing_support::corpusPhotographs();
    std::vector<QImage> pictures;
    for (const std::string& source : sources) {
      QImage picture = enlarged(testing_support::corpusPath(source));
      if (!picture.isNull()) pictures.push_back(std::move(picture));
    }
    if (pictures.empty()) {
      std::fprintf(stderr, "no corpus photographs\n");
      std::exit(1);
    }
    for (std::size_t i = 0; i < files.size(); ++i)
      pictures[i % pictures.size()].save(QString::fromStdString(files[i]), "jpg", 92);
    std::ofstream(made) << "made\n";
  }
  paths = files;
  return paths;
}

// 5,000 small pictures: hard links to one corpus photograph (copies where
// links cannot be made).
const std::string& folderOf5000() {
  static std::string folder;
  if (!folder.empty()) return folder;
  const fs::path dir = dataRoot() / "five-thousand";
  const fs::path made = dir / ".made";
  if (!fs::exists(made)) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path first = dir / "small00000.jpg";
    const QImage photo(QString::fromStdString(
        testing_support::corpusPath(testing_support::corpusPhotographs()[0])));
    photo.scaledToWidth(400, Qt::SmoothTransformation)
        .save(QString::fromStdString(first.string()), "jpg", 90);
    for (int i = 1; i < kSmallFiles; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "small%05d.jpg", i);
      std::error_code error;
      fs::create_hard_link(first, dir / name, error);
      if (error) fs::copy_file(first, dir / name, fs::copy_options::overwrite_existing);
    }
    std::ofstream(made) << "made\n";
  }
  folder = dir.string();
  return folder;
}

// The peak resident memory since the last reset, in MB, minus what was
// resident then (Linux: writing 5 to clear_refs resets the peak).
struct PeakMemory {
  long baseKb = 0;
  static long field(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::string(key).size());
    return 0;
  }
  void reset() {
    std::ofstream("/proc/self/clear_refs") << "5\n";
    baseKb = field("VmRSS:");
  }
  double peakMb() const { return static_cast<double>(field("VmHWM:") - baseKb) / 1024.0; }
};

// The former thumbnail: the file decoded whole, then fitted into 96 x 96.
QImage thumbnailBefore(const std::string& path) {
  CImageEx image;
  image.LoadImageFile(path, true);
  image.FitInto(THUMBNAIL_SIZE, THUMBNAIL_SIZE);
  QImage thumbnail;
  image.MakeThumbnail(thumbnail);
  return thumbnail;
}

// The document lists dir and loads its first page; returns when the page's
// last thumbnail is in, with the milliseconds until the first page was known
// (listed and paged, its thumbnails on their way).
double listThroughDocument(CFolimDoc& doc, const std::string& dir) {
  QEventLoop loop;
  const auto done = QObject::connect(&doc, &CFolimDoc::thumbnailsLoaded, &loop, &QEventLoop::quit);
  QElapsedTimer timer;
  timer.start();
  doc.ListFolder(QString::fromStdString(dir));
  const double paged = static_cast<double>(timer.nsecsElapsed()) / 1e6;
  // Sorted by date taken, the page loads once the dates are read.
  if (doc.IsLoadingThumbnails() || doc.IsReadingDates()) loop.exec();
  QObject::disconnect(done);
  return paged;
}

void BM_FirstListing_Before(benchmark::State& state) {
  const auto& paths = photographs();
  PeakMemory memory;
  double peak = 0;
  for (auto _ : state) {
    memory.reset();
    // One worker thread, in list order.
    for (const ListedImage& file : listImageFiles(fs::path(paths[0]).parent_path().string(), false))
      benchmark::DoNotOptimize(thumbnailBefore(file.path));
    peak = std::max(peak, memory.peakMb());
  }
  state.counters["PeakMB"] = peak;
  state.counters["Threads"] = 1;
}

void BM_FirstListing_After(benchmark::State& state) {
  const auto& paths = photographs();
  const std::string dir = fs::path(paths[0]).parent_path().string();
  PeakMemory memory;
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    emptyThumbnailCache();
    CFolimDoc doc;
    memory.reset();
    state.ResumeTiming();
    listThroughDocument(doc, dir);
    peak = std::max(peak, memory.peakMb());
    if (doc.entries().size() != static_cast<std::size_t>(kPhotographs))
      state.SkipWithError("the folder did not list");
  }
  state.counters["PeakMB"] = peak;
  state.counters["Threads"] = QThread::idealThreadCount();
}

// The same listing sorted by date taken, newest first: every photograph's
// EXIF is read (in the background, on every core) before the first page
// can load. Dates are read afresh by each new document.
void BM_FirstListing_ByDateTaken(benchmark::State& state) {
  const auto& paths = photographs();
  const std::string dir = fs::path(paths[0]).parent_path().string();
  for (auto _ : state) {
    state.PauseTiming();
    emptyThumbnailCache();
    CFolimDoc doc;
    ListOrder order;
    order.key = SortKey::DateTaken;
    order.descending = true;
    doc.SetOrder(order);
    state.ResumeTiming();
    listThroughDocument(doc, dir);
    if (doc.entries().size() != static_cast<std::size_t>(kPhotographs))
      state.SkipWithError("the folder did not list");
  }
}

// Drawing the picture into a window of 1920 x 1080, as the window paints.
void paintFitted(CImageEx& image) {
  QImage window(kWindow, QImage::Format_RGB32);
  QPainter painter(&window);
  image.FitInto(kWindow.width(), kWindow.height());
  image.DrawAtRect(painter);
}

void BM_OpenFullSize_Before(benchmark::State& state) {
  const std::string path = photographs()[0];
  PeakMemory memory;
  double peak = 0;
  for (auto _ : state) {
    memory.reset();
    // The selection decoded whole, the window's copy of it, fitted.
    CImageEx current;
    current.LoadImageFile(path, false);
    CImageEx shown = current;
    paintFitted(shown);
    peak = std::max(peak, memory.peakMb());
  }
  state.counters["PeakMB"] = peak;
}

void BM_OpenFullSize_After(benchmark::State& state) {
  const QString path = QString::fromStdString(photographs()[0]);
  PeakMemory memory;
  double peak = 0;
  for (auto _ : state) {
    state.PauseTiming();
    CFolimDoc doc;
    doc.SetScreenSize(kWindow);
    memory.reset();
    state.ResumeTiming();
    doc.SelectImage(path);
    CImageEx& shown = doc.PrepareFullSizeImage(kWindow.width(), kWindow.height());
    paintFitted(shown);
    peak = std::max(peak, memory.peakMb());
    state.counters["ShownWidth"] = shown.GetWidth();
  }
  state.counters["PeakMB"] = peak;
}

void BM_FolderOf5000_Before(benchmark::State& state) {
  const std::string& dir = folderOf5000();
  for (auto _ : state) {
    const std::vector<ListedImage> files = listImageFiles(dir, false);
    for (std::size_t i = 0; i < files.size() && i < CFolimDoc::ITEMS_PER_PAGE; ++i)
      benchmark::DoNotOptimize(thumbnailBefore(files[i].path));
  }
}

void BM_FolderOf5000_After(benchmark::State& state) {
  const std::string& dir = folderOf5000();
  double paged = 0;
  for (auto _ : state) {
    state.PauseTiming();
    emptyThumbnailCache();
    CFolimDoc doc;
    state.ResumeTiming();
    paged = std::max(paged, listThroughDocument(doc, dir));
    if (doc.entries().size() != static_cast<std::size_t>(kSmallFiles))
      state.SkipWithError("the folder did not list");
  }
  state.counters["PagedMs"] = paged;
}

// Wall time is what the user waits; the CPU time of all threads is reported
// beside it (on a busy machine the wall time is inflated).
BENCHMARK(BM_FirstListing_Before)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(2);
BENCHMARK(BM_FirstListing_After)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_FirstListing_ByDateTaken)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_OpenFullSize_Before)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_OpenFullSize_After)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5);
BENCHMARK(BM_FolderOf5000_Before)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);
BENCHMARK(BM_FolderOf5000_After)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  // No display is needed; the thumbnails go to a cache of their own.
  qputenv("QT_QPA_PLATFORM",
          qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(cacheRoot().string()));
  fs::create_directories(cacheRoot());
  setTraceStream(nullptr);
  photographs();
  folderOf5000();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
