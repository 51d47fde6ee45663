// The stored bases file an encode may be given: 16-byte header, then the
// doubles.
#include <cstdlib>

#include "codec/rim_codec.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzz_support::MemoryFile file("bases-file");
  const std::string& path = file.write(data, size);

  KPX::Matrix<double> bases;
  const Status s = readBasesFile(path, bases);
  if (s != status::Success) {
    if (s != 2 || bases.count() != 0) std::abort();  // unusable: learn instead, nothing kept
    return 0;
  }
  // Everything read was in the file.
  if (16 + bases.count() * sizeof(double) > size) std::abort();
  double sum = 0.0;
  for (std::uint64_t k = 0; k < bases.count(); ++k) sum += bases.data()[k];
  (void)sum;
  return 0;
}
