#include "imageio/image_library.h"

#include <QImageReader>
#include <QImageWriter>
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

void loadImagePlugins() {
  QImageReader::supportedImageFormats();
  QImageWriter::supportedImageFormats();
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
