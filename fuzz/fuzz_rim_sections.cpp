// The partial readers of a RIM file that searches use: the header-only read
// of the learning flag, and each section read on its own at the offset the
// header gives, decoded with and without dequantisation.
#include <cstdlib>

#include "codec/rim_codec.h"
#include "fuzz/fuzz_support.h"

namespace {

void checkStatus(Status s) {
  if (s < 0 || s >= status::Count) std::abort();
}

// A component read successfully has the shape its header gives.
void checkShape(const CRIMComponent& component, std::uint32_t rows, std::uint32_t cols) {
  if (component.rows() != rows || component.cols() != cols) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("rim-sections");
  const std::string& path = file.write(data, size);

  {
    CRIMCodec codec;
    std::uint16_t method = 0xFFFF;
    const Status s = codec.readLearningMethod(path, method);
    checkStatus(s);
    if (s == status::Success && method != codec.header.learningMethod) std::abort();
  }
  for (bool dequantise : {false, true}) {
    RIMHeader header;
    CAverage average;
    Status s = readComponentAt(path, average, RimSection::Averages, header, dequantise);
    checkStatus(s);
    if (s == status::Success) checkShape(average, 3, patchCount(header));

    CBase base;
    s = readComponentAt(path, base, RimSection::Bases, header, dequantise);
    checkStatus(s);
    if (s == status::Success) checkShape(base, header.dimension, patchLength(header));

    CCoeff coeff;
    s = readComponentAt(path, coeff, RimSection::Coefficients, header, dequantise);
    checkStatus(s);
    if (s == status::Success) checkShape(coeff, patchCount(header), header.dimension);
  }
  return 0;
}
