#include "imageio/image_library.h"

#include <QImageReader>
#include <QThread>
#include <climits>
#include <mutex>

#include "codec/limits.h"

namespace imageio {
namespace {

std::mutex& libraryMutex() {
  static std::mutex mutex;
  return mutex;
}

bool g_started = false;
int g_liveRasters = 0;
int g_appliedLimit = -1;  // Qt's allocation limit as last set here

// Qt takes the first thread that makes a Qt object for its main thread, and
// at exit releases that thread's data once more, for the reference the main
// thread holds while it runs. In a program without an application object
// whose first picture is read on a worker (an index refresh, a conversion of
// several files at once), that thread has ended and released its reference
// already: the data is freed while the image plug-ins made on that thread
// still use it, and their destruction at exit reads freed memory. This
// library is loaded on the main thread (before main(), or by dlopen from
// it), so Qt's main thread is claimed here for the process's own.
[[maybe_unused]] const QThread* const g_qtMainThread = QThread::currentThread();

}  // namespace

int allocationLimitMegabytes() {
  const std::uint64_t bytes = codecLimits().maxPixels * 4u;
  const std::uint64_t megabytes = (bytes + (1u << 20) - 1) >> 20;
  return megabytes > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(megabytes);
}

bool startImageLibrary() {
  std::lock_guard<std::mutex> lock(libraryMutex());
  if (!g_started) {
    // Qt keeps the limit in one global; it is written only when the raster
    // limit changed, which programs do at start-up only.
    const int limit = allocationLimitMegabytes();
    if (limit != g_appliedLimit) {
      QImageReader::setAllocationLimit(limit);
      g_appliedLimit = limit;
    }
    g_started = true;
  }
  return true;
}

bool imageLibraryStarted() {
  std::lock_guard<std::mutex> lock(libraryMutex());
  return g_started;
}

void rasterCreated() {
  std::lock_guard<std::mutex> lock(libraryMutex());
  ++g_liveRasters;
}

void rasterDestroyed() {
  std::lock_guard<std::mutex> lock(libraryMutex());
  if (g_liveRasters > 0) --g_liveRasters;
  if (g_liveRasters == 0) g_started = false;
}

int liveRasterCount() {
  std::lock_guard<std::mutex> lock(libraryMutex());
  return g_liveRasters;
}

}  // namespace imageio
