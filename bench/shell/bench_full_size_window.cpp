// Redrawing the full-size window over a 12-megapixel photograph (4000 x
// 3000 JPEG made from the corpus) shown at 100 % in a 1280 x 860 window,
// offscreen:
//  - PanStep: one press of an arrow key (a pan step, the picture being
//    wider than the window) and the repaint that follows;
//  - ZoomStep: one zoom step (+ then -, alternately, about 100 %) and its
//    repaint;
//  - FitRepaint: a repaint of the picture fitted to the window.
// Each reports the mean milliseconds of a step as StepMs.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <string>

#include "shell/folim_doc.h"
#include "shell/original_image.h"
#include "shell/picture_view.h"

namespace {

namespace fs = std::filesystem;

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
const QSize kClient(1280, 860);

// The photograph, made once per build folder.
QString photograph() {
  const fs::path dir =
      fs::path(QCoreApplication::applicationDirPath().toStdString()) / ".." / "bench-viewer";
  const fs::path path = dir / "photo12mp.jpg";
  if (!fs::exists(path)) {
    fs::create_directories(dir);
    const QImage photo(QStringLiteral(FOLIM_TEST_DATA_DIR "/corpus/garden.jpg"));
    const QImage big =
        photo.scaled(kWidth, kHeight, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation)
            .copy(0, 0, kWidth, kHeight);
    big.save(QString::fromStdString(path.string()), "JPEG", 92);
  }
  return QString::fromStdString(path.string());
}

// A document showing the photograph whole (decoded, not reduced) in the
// window, at the zoom asked for.
struct Viewer {
  explicit Viewer(bool actualSize) : window(doc) {
    doc.OpenImage(photograph());
    window.ShowFullSizeImage();
    window.setFixedSize(kClient);
    if (!QTest::qWaitForWindowExposed(&window)) std::fputs("the window is not shown\n", stderr);
    if (actualSize) window.zoomToActualSize();
    window.repaint();
  }
  CFolimDoc doc;
  COriginalImage window;
};

template <typename Step>
void timeSteps(benchmark::State& state, Viewer& viewer, Step step) {
  QElapsedTimer timer;
  std::int64_t steps = 0;
  double total = 0;
  for (auto _ : state) {
    timer.start();
    step(steps);
    viewer.window.repaint();
    total += static_cast<double>(timer.nsecsElapsed()) / 1e6;
    ++steps;
  }
  state.counters["StepMs"] = steps > 0 ? total / static_cast<double>(steps) : 0.0;
  state.counters["PictureWidth"] = viewer.doc.fullSizeImage().GetWidth();
}

void BM_PanStep(benchmark::State& state) {
  Viewer viewer(true);
  // Back and forth, so that every step moves the picture.
  int key = Qt::Key_Right;
  timeSteps(state, viewer, [&](std::int64_t) {
    const QPoint before = viewer.window.view()->zoomPan().offset();
    QTest::keyClick(&viewer.window, static_cast<Qt::Key>(key));
    if (viewer.window.view()->zoomPan().offset() == before) {
      key = key == Qt::Key_Right ? Qt::Key_Left : Qt::Key_Right;
      QTest::keyClick(&viewer.window, static_cast<Qt::Key>(key));
    }
  });
}

void BM_ZoomStep(benchmark::State& state) {
  Viewer viewer(true);
  timeSteps(state, viewer, [&](std::int64_t i) {
    QTest::keyClick(&viewer.window, i % 2 == 0 ? Qt::Key_Plus : Qt::Key_Minus);
  });
}

void BM_FitRepaint(benchmark::State& state) {
  Viewer viewer(false);
  timeSteps(state, viewer, [](std::int64_t) {});
}

BENCHMARK(BM_PanStep)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_ZoomStep)->Unit(benchmark::kMillisecond)->Iterations(100);
BENCHMARK(BM_FitRepaint)->Unit(benchmark::kMillisecond)->Iterations(100);

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
