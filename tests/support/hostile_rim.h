// RIM files that announce far more than they hold, made at run time: an
// image of any size in a few hundred bytes plus one bit (or a zlib byte in a
// thousand) per patch. A small file of the same parameters is written by the
// real coder and stretched: its averages and bases sections serve any number
// of patches unchanged, and only the coefficient payload grows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/status.h"

namespace testing_support {

struct StretchedRimOptions {
  std::uint32_t width = 16000;
  std::uint32_t height = 16000;
  std::uint32_t patchWidth = 8;
  std::uint32_t patchHeight = 8;
  std::uint32_t dimension = 1;  // bases: unit vectors, step 1
  int average = 100;            // every patch mean of every channel
  // Every coefficient: 0 (a flat picture, one end-of-row code a patch) or 1
  // (two bits a coefficient, the most work a bit can ask for).
  int coefficient = 0;
  std::uint32_t coeffMode = 0;    // 1: the zero coefficients as zlib
  std::size_t trailingBytes = 0;  // bytes after the coefficient section
};

// Writes the file; 0 or the coder's status.
Status writeStretchedRim(const std::string& path, const StretchedRimOptions& options);

}  // namespace testing_support
