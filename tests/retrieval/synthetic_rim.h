// RIM files with chosen contents for the retrieval tests: the stored
// averages and bases are given directly (whole numbers, as the encoder
// stores them), so that the measures read exactly these values back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "codec/rimformat.h"
#include "numeric/matrix.h"
#include "support/synthetic_rim.h"

namespace synthetic {

struct Rim {
  RIMHeader header;               // sizes, learning flag, colour space
  KPX::Matrix<double> averages;   // 3 x N stored averages
  KPX::Matrix<double> bases;      // D x P stored bases
  std::uint32_t averageStep = 1;  // the averages' quantisation step
};

// A header for an image of width x height pixels.
inline RIMHeader header(std::uint32_t width, std::uint32_t height, std::uint32_t patch,
                        std::uint32_t dimension, std::uint16_t learningMethod) {
  RIMHeader h;
  h.imageWidth = width;
  h.imageHeight = height;
  h.patchWidth = patch;
  h.patchHeight = patch;
  h.dimension = dimension;
  h.learningMethod = learningMethod;
  return h;
}

inline std::uint32_t columnsOf(const RIMHeader& h) {
  return (h.imageWidth + h.patchWidth - 1) / h.patchWidth;
}
inline std::uint32_t rowsOf(const RIMHeader& h) {
  return (h.imageHeight + h.patchHeight - 1) / h.patchHeight;
}

// Smooth random averages in 0..255 and random bases in -63..63, as the
// encoder's 7-bit bases are.
inline Rim randomRim(const RIMHeader& h, unsigned seed) {
  std::mt19937 random(seed);
  Rim rim;
  rim.header = h;
  const std::uint32_t columns = columnsOf(h), rows = rowsOf(h);
  rim.averages.resize(3, columns * rows);
  double base[3], slope[3];
  for (int c = 0; c < 3; ++c) {
    base[c] = static_cast<double>(random() % 256);
    slope[c] = static_cast<double>(random() % 9) - 4.0;
  }
  for (std::uint32_t y = 0; y < rows; ++y)
    for (std::uint32_t x = 0; x < columns; ++x)
      for (int c = 0; c < 3; ++c) {
        double v = base[c] + slope[c] * (x + y) * 0.5 + static_cast<double>(random() % 21) - 10;
        v = v < 0 ? 0 : v > 255 ? 255 : v;
        rim.averages[c][y * columns + x] = static_cast<double>(static_cast<int>(v));
      }
  const std::uint32_t length = 3 * h.patchWidth * h.patchHeight;
  rim.bases.resize(h.dimension, length);
  for (std::uint32_t k = 0; k < rim.bases.count(); ++k)
    rim.bases.data()[k] = static_cast<double>(static_cast<int>(random() % 127) - 63);
  return rim;
}

// Writes rim to path through the shared test writer: the bases stored as
// given with steps of 1, all coefficients 0.
inline Status write(const std::string& path, const Rim& rim) {
  testing_support::SyntheticRim out;
  out.colorSpace = rim.header.colorSpace;
  out.learningMethod = rim.header.learningMethod;
  out.width = rim.header.imageWidth;
  out.height = rim.header.imageHeight;
  out.patchWidth = rim.header.patchWidth;
  out.patchHeight = rim.header.patchHeight;
  out.dimension = rim.header.dimension;
  out.averageStep = rim.averageStep;
  out.averages = rim.averages;
  out.bases = rim.bases;
  out.baseSteps.assign(rim.header.dimension, 1);
  out.coefficients.resize(columnsOf(rim.header) * rowsOf(rim.header), rim.header.dimension);
  KPX::fill(out.coefficients, 0.0);
  return testing_support::writeSyntheticRim(path, out);
}

// Writes the random file of a seed (8 x 8 patches) to path.
inline void writeRandomRim(const std::string& path, std::uint16_t learning, unsigned seed,
                           std::uint32_t width = 96, std::uint32_t height = 80,
                           std::uint32_t dimension = 24) {
  ASSERT_EQ(write(path, randomRim(header(width, height, 8, dimension, learning), seed)), 0) << path;
}

}  // namespace synthetic
