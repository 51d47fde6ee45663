// RIM files with chosen contents for the retrieval tests and benchmark: the
// stored averages and bases are given directly (whole numbers, as the
// encoder stores them), coded and written with the codec's own components,
// so that the measures read exactly these values back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "codec/components.h"
#include "codec/rimformat.h"
#include "numeric/matrix.h"

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

// Writes rim to path; the status of the first failing step.
inline Status write(const std::string& path, const Rim& rim) {
  CompressionParameters compression;
  compression.AverageQuantizeStep = rim.averageStep;
  compression.CoeffQuantizeStep = 1;
  compression.PrecisionBit = 16;
  compression.BasePrecisionBit = 8;
  compression.MaxZeroRun = 16;

  RIMHeader h = rim.header;
  h.fileType = kRimMagic;
  CAverage average;
  CBase base;
  CCoeff coeff;
  Status s;
  if ((s = average.setCompressionParameters(compression)) != 0) return s;
  if ((s = base.setCompressionParameters(compression)) != 0) return s;
  if ((s = coeff.setCompressionParameters(compression)) != 0) return s;
  if ((s = average.setShapeFromHeader(h)) != 0) return s;
  if ((s = base.setShapeFromHeader(h)) != 0) return s;
  if ((s = coeff.setShapeFromHeader(h)) != 0) return s;
  // The averages are quantised by encode (divided by their step); the bases
  // are stored as given with steps of 1; the coefficients are all 0.
  for (std::uint32_t k = 0; k < average.count(); ++k) average.data()[k] = rim.averages.data()[k];
  for (std::uint32_t k = 0; k < base.count(); ++k) base.data()[k] = rim.bases.data()[k];
  KPX::fill(static_cast<KPX::Matrix<double>&>(coeff), 0.0);
  base.steps.resize(h.dimension);
  KPX::fill(base.steps, 1u);
  if ((s = average.encode()) != 0) return s;
  if ((s = base.encode()) != 0) return s;
  if ((s = coeff.encode()) != 0) return s;
  h.averageOffset = kRimHeaderSize;
  h.baseOffset = h.averageOffset + average.sectionSize();
  h.coeffOffset = h.baseOffset + base.sectionSize();

  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return status::CannotOpenFile;
  s = writeHeaderBytes(file, h);
  if (s == 0) s = average.writeSection(file);
  if (s == 0) s = base.writeSection(file);
  if (s == 0) s = coeff.writeSection(file);
  if (std::fclose(file) != 0 && s == 0) s = status::WriteFailed;
  return s;
}

}  // namespace synthetic
