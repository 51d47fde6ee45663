// The full decode of a RIM file: header checks, the three sections, both
// payload codings, the product and the arrangement in every colour space.
#include <cstdlib>

#include "codec/rim_codec.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("rim-decode");
  const std::string& path = file.write(data, size);

  CImage image;
  CRIMCodec codec;
  const Status s = codec.decodeFile(image, path);
  if (s < 0 || s >= status::Count) std::abort();  // every status has a message
  if (s != status::Success) return 0;
  // A decoded image has exactly the announced size, and every pixel reads.
  if (image.IsNull() || image.GetBPP() != 24 ||
      static_cast<std::uint32_t>(image.GetWidth()) != codec.header.imageWidth ||
      static_cast<std::uint32_t>(image.GetHeight()) != codec.header.imageHeight)
    std::abort();
  std::uint32_t mix = 0;
  for (int y = 0; y < image.GetHeight(); ++y)
    for (int x = 0; x < image.GetWidth(); ++x) mix ^= image.GetPixel(x, y);
  if ((mix >> 24) != 0) std::abort();  // colour words carry no fourth byte
  return 0;
}
