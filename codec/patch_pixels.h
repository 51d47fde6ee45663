// The last step of decoding an RGB image, on whole rows: one channel of
// patch values (mean added) turned into bytes, and three byte planes woven
// into the blue, green, red order of a 24-bit raster. Both use AVX2 where
// the processor has it and give the same bytes as the scalar code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

// A block of rows x count values (row stride valueStride) turned into bytes
// (row stride outStride): out[i] = channelToByte(values[i] + mean), the sum
// rounded once, then truncated into 0..255 (NaN gives 0).
void channelBytes(const double* values, std::size_t valueStride, double mean, std::uint32_t count,
                  std::uint32_t rows, std::uint8_t* out, std::size_t outStride);

// out[3i] = blue[i], out[3i + 1] = green[i], out[3i + 2] = red[i] for i < count.
void interleaveBgr(const std::uint8_t* blue, const std::uint8_t* green, const std::uint8_t* red,
                   std::uint32_t count, std::uint8_t* out);

// One grid row of patches of an RGB image, as the decoder multiplies it out:
// patch gx holds its red, green and blue planes of n values each (lines of
// pw values) from values + gx * 3n; means[c][gx] is the mean of channel c.
struct PatchStrip {
  const double* values = nullptr;
  const double* means[3] = {nullptr, nullptr, nullptr};
  std::uint32_t columns = 0;  // patches
  std::uint32_t pw = 0;
  std::uint32_t n = 0;
  std::uint32_t rows = 0;   // lines of the image in this grid row (at most ph)
  std::uint32_t width = 0;  // of the image; the last patch may be cut
};

// Patch gx of a strip: where its values start, its first image column and
// how many of its pw columns lie in the image.
struct StripPatch {
  const double* values = nullptr;
  std::uint32_t x0 = 0;
  std::uint32_t cols = 0;
};

inline StripPatch stripPatch(const PatchStrip& strip, std::uint32_t gx) {
  const std::uint32_t x0 = gx * strip.pw;
  return {strip.values + static_cast<std::size_t>(gx) * 3 * strip.n, x0,
          std::min(strip.pw, strip.width - x0)};
}

// The bytes of one output plane of a strip.
inline std::size_t stripPlaneSize(const PatchStrip& strip) {
  return static_cast<std::size_t>(strip.width) * strip.rows;
}

// The three byte planes of a strip (red, then green, then blue; each width
// x rows bytes): channelBytes of every patch line at its place.
void stripToPlanes(const PatchStrip& strip, std::uint8_t* planes);

// The scalar forms of the three, which the vector code must match.
void stripToPlanesScalar(const PatchStrip& strip, std::uint8_t* planes);
void channelBytesScalar(const double* values, std::size_t valueStride, double mean,
                        std::uint32_t count, std::uint32_t rows, std::uint8_t* out,
                        std::size_t outStride);
void interleaveBgrScalar(const std::uint8_t* blue, const std::uint8_t* green,
                         const std::uint8_t* red, std::uint32_t count, std::uint8_t* out);
