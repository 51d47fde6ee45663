// config.ini as a user (or anything else) may have left it: every key read
// through the INI reader, the records checked by the codec, and, for
// parameters cheap enough to run here, a small encode with them.
#include <cstdlib>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "fuzz/fuzz_support.h"
#include "platform/ini.h"

namespace {

// A fixed 12 x 10 image with some texture.
const CImage& sampleImage() {
  static const CImage image = [] {
    CImage made;
    if (!made.Create(12, 10, 24)) std::abort();
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 12; ++x)
        made.SetPixel(x, y,
                      makeColorWord(static_cast<std::uint32_t>(x * 20 + y),
                                    static_cast<std::uint32_t>(y * 25),
                                    static_cast<std::uint32_t>((x * y * 7) % 256)));
    return made;
  }();
  return image;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("config-ini");
  static fuzz_support::TempFolder folder;
  static const std::string output = folder.file("out.rim");
  const std::string& path = file.write(data, size);

  // The generic reader with a short buffer and a key that may be anywhere.
  const std::string value = platform::iniGetString("Common", "ColorSpace", "ERR", 4, path);
  if (value.size() > 3) std::abort();
  (void)platform::iniGetInt("Learning", "MaxIterations", -1, path);

  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  loadConversionParameters(path, common, learning, compression);
  (void)parameterDump(common, learning, compression);

  CRIMCodec codec;
  if (codec.setParameters(&common, &learning, &compression) != status::Success) return 0;
  // Encoding with what was accepted, where learning stays small.
  if (std::uint64_t{common.PatchWidth} * common.PatchHeight > 16 || learning.MaxIterations > 10)
    return 0;
  const Status s = codec.encodeFile(output, sampleImage());
  if (s < 0 || s >= status::Count) std::abort();
  if (s != status::Success) return 0;
  CImage decoded;
  CRIMCodec decoder;
  if (decoder.decodeFile(decoded, output) != status::Success) std::abort();
  if (decoded.GetWidth() != 12 || decoded.GetHeight() != 10) std::abort();
  return 0;
}
