// Blobs of the signature index: whatever a damaged index file hands over is
// refused or reads back to the bytes it came from.
#include <cstdlib>
#include <cstring>

#include "index/signature_blob.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Signature s;
  if (DecodeSignature(data, size, s)) {
    // What was accepted is consistent and writes back as the same bytes.
    if (s.bases.rows() != s.dimension || s.baseNorms.count() != s.bases.rows()) std::abort();
    const std::vector<std::uint8_t> again = EncodeSignature(s);
    Signature t;
    if (!DecodeSignature(again.data(), again.size(), t)) std::abort();
  }
  CompactSignature c;
  if (DecodeCompact(data, size, c)) {
    // A current blob writes back as its own bytes; one of the first
    // version (no checksum) as the same fields with one.
    const std::vector<std::uint8_t> again = EncodeCompact(c);
    if (again.size() == size ? std::memcmp(again.data(), data, size) != 0
                             : again.size() != size + 4)
      std::abort();
  }
  return 0;
}
