// Loading an ordinary image file as the viewer does it: Qt picks the reader
// from the content (the path has no extension), our GIF palette reader looks
// at GIF files, and the result goes into the raster. A RIM-looking name goes
// through the RIM decoder or the preview instead.
#include <unistd.h>

#include <QtGlobal>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "imageio/gif_palette.h"
#include "imageio/image_ex.h"

namespace {

void dropMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  qInstallMessageHandler(dropMessages);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("image-file");
  const std::string& path = file.write(data, size);

  CImageEx image;
  // Ordinary files always load (possibly empty) and are typed "other".
  if (!image.LoadImageFile(path, false) || image.m_nBaseType != kBaseTypeOther) std::abort();
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x)
      if ((image.GetPixel(x, y) >> 24) != 0) std::abort();

  // RIM files are recognised by name; thumbnails take the preview, or the
  // full decode when the preview is small.
  static fuzz_support::TempFolder folder;
  static const std::string rimName = [&] {
    const std::string name = folder.file("image.rim");
    if (symlink(path.c_str(), name.c_str()) != 0) std::abort();
    return name;
  }();
  if (size >= 2 && data[0] == 0x52 && data[1] == 0x46) {
    CImageEx thumbnail;
    if (!thumbnail.LoadImageFile(rimName, true) && thumbnail.m_nBaseType != kBaseTypeOther)
      std::abort();
  }

  if (const auto palette = imageio::readGifPalette(path)) {
    if (palette->colours.empty() || palette->colours.size() > 256) std::abort();
    if (palette->transparentIndex >= static_cast<int>(palette->colours.size())) std::abort();
  }
  return 0;
}
