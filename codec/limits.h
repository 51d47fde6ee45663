// Limits on what an untrusted RIM or bases file may make the codec allocate,
// in the spirit of the user limits of trusted image libraries. A file over a
// limit fails with a status before anything is allocated for it.
#pragma once

#include <cstdint>

struct CodecLimits {
  std::uint64_t maxPixels = UINT64_C(1) << 28;         // image width x height
  std::uint64_t maxPatches = UINT64_C(1) << 22;        // patches of one image
  std::uint64_t maxMatrixBytes = UINT64_C(1) << 30;    // one component matrix
  std::uint64_t maxBasesFileBytes = UINT64_C(1) << 26;  // a stored bases file
};

// The limits in force (process-wide). Programs and tests may change them at
// start-up, not while codecs run on other threads.
CodecLimits& codecLimits();
