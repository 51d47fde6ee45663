// The thumbnail path of RIM files as file managers and Qt programs meet it,
// under the production limits: whatever a file holds, the thumbnail and a
// scaled read give a picture of the size asked or a status, within the
// budget of memory and work. The fuzz run holds the process to
// -rss_limit_mb=512 (scripts/fuzz.sh), twice the figure these readers keep.
#include <QImage>
#include <cstdlib>

#include "codec/trace.h"
#include "fuzz/fuzz_support.h"
#include "imageio/rim_thumbnail.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setTraceStream(nullptr);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("rim-thumbnail");
  const std::string& path = file.write(data, size);

  QImage thumbnail;
  Status s = imageio::renderRimThumbnail(path, 128, thumbnail);
  if (s < 0 || s >= status::Count) std::abort();
  if ((s == status::Success) == thumbnail.isNull()) std::abort();
  if (!thumbnail.isNull() && (thumbnail.width() > 128 || thumbnail.height() > 128)) std::abort();

  // A Qt program's scaled read under Qt's default allocation limit.
  QImage scaled;
  s = imageio::readRimScaled(path, QSize(96, 64), scaled,
                             imageio::ReadBudget::ofMemory(128u << 20));
  if (s < 0 || s >= status::Count) std::abort();
  if ((s == status::Success) != (scaled.size() == QSize(96, 64))) std::abort();
  return 0;
}
