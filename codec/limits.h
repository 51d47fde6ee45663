// Limits on what an untrusted RIM or bases file may make the codec allocate,
// in the spirit of the user limits of trusted image libraries. A file over a
// limit fails with a status before anything is allocated for it, and the
// encoder refuses to write a file the decoder would refuse to read.
//
// The defaults let photographs of up to about 179 megapixels be encoded and
// decoded with 8 x 8 patches and 96 bases: the coefficients are held as
// doubles by the encoder (8 bytes each, 1.5 bytes a pixel), and 2^31 / 12
// pixels is 179 million. Neither side forms the whole patch matrix, so it
// is not limited. Larger images (up to maxPixels) can still be loaded and
// shown, but not coded. The patch limit keeps degenerate 1 x 1 patch files
// to 33.5 million patches.
#pragma once

#include <cstdint>

struct CodecLimits {
  std::uint64_t maxPixels = UINT64_C(1) << 28;          // image width x height
  std::uint64_t maxPatches = UINT64_C(1) << 25;         // patches of one image
  std::uint64_t maxMatrixBytes = UINT64_C(1) << 31;     // one matrix of doubles
  std::uint64_t maxBasesFileBytes = UINT64_C(1) << 26;  // the doubles of a stored bases file
  // The encoder keeps an image's whole patch matrix up to this size and
  // cuts larger images into patches strip by strip (same file either way;
  // a strip is still cached when the products read it, a whole matrix not).
  std::uint64_t maxWholePatchBytes = UINT64_C(3) << 19;
  // Patches per strip then (whole grid rows, at least one).
  std::uint32_t stripPatches = 8192;
};

// The limits in force (process-wide). Programs and tests may change them at
// start-up, not while codecs run on other threads.
CodecLimits& codecLimits();
