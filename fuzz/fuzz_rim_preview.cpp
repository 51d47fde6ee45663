// The thumbnail preview of a RIM file: header and averages only, one pixel
// per patch.
#include <cstdlib>

#include "codec/patches.h"
#include "codec/rim_codec.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("rim-preview");
  const std::string& path = file.write(data, size);

  CImage image;
  CRIMCodec codec;
  const Status s = codec.renderAveragePreview(image, path);
  if (s < 0 || s >= status::Count) std::abort();
  if (s != status::Success) return 0;
  const PatchGrid grid = patchGrid(codec.header.imageWidth, codec.header.imageHeight,
                                   codec.header.patchWidth, codec.header.patchHeight);
  if (image.IsNull() || static_cast<std::uint32_t>(image.GetWidth()) != grid.columns ||
      static_cast<std::uint32_t>(image.GetHeight()) != grid.rows)
    std::abort();
  std::uint32_t mix = 0;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) mix ^= image.GetPixel(x, y);
  if ((mix >> 24) != 0) std::abort();
  return 0;
}
