#include "codec/patch_strips.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>

#include "codec/colorspace.h"
#include "codec/patch_pixels.h"
#include "codec/patches.h"
#include "numeric/parallel.h"
#include "numeric/sparse_product.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double>(to - from).count();
}

// Writes one patch (means already added) whose top-left pixel is (x0, y0),
// cut at the image edge, as blue, green, red bytes of a 24-bit image.
void writePatch(const double* row, std::uint32_t n, std::uint32_t pw, std::uint32_t rows,
                std::uint32_t cols, std::uint8_t* topLeft, std::ptrdiff_t pitch,
                InverseConversion inverse) {
  for (std::uint32_t y = 0; y < rows; ++y) {
    const double* c0 = row + static_cast<std::size_t>(y) * pw;
    const double* c1 = c0 + n;
    const double* c2 = c1 + n;
    std::uint8_t* dst = topLeft + static_cast<std::ptrdiff_t>(y) * pitch;
    for (std::uint32_t x = 0; x < cols; ++x, dst += 3) {
      ColorTriple t;
      t.c0 = c0[x];
      t.c1 = c1[x];
      t.c2 = c2[x];
      std::uint32_t colour = 0;
      inverse(t, colour);
      dst[0] = static_cast<std::uint8_t>(colorBlue(colour));
      dst[1] = static_cast<std::uint8_t>(colorGreen(colour));
      dst[2] = static_cast<std::uint8_t>(colorRed(colour));
    }
  }
}

// Writes the rows lines of one grid row of an RGB image from its strip
// (patch after patch, each its red, green and blue planes of n values):
// every channel becomes bytes in a plane as wide as the image, then the
// three planes are woven into the raster's lines.
void writeRgbRow(const double* strip, const KPX::Matrix<double>& averages, std::uint32_t first,
                 std::uint32_t columns, std::uint32_t pw, std::uint32_t n, std::uint32_t rows,
                 std::uint32_t width, std::uint8_t* planes, std::uint8_t* firstLine,
                 std::ptrdiff_t pitch) {
  const std::size_t planeSize = static_cast<std::size_t>(width) * rows;
  PatchStrip patches;
  patches.values = strip;
  for (std::uint32_t c = 0; c < 3; ++c) patches.means[c] = averages[c] + first;
  patches.columns = columns;
  patches.pw = pw;
  patches.n = n;
  patches.rows = rows;
  patches.width = width;
  stripToPlanes(patches, planes);
  for (std::uint32_t y = 0; y < rows; ++y) {
    const std::size_t at = static_cast<std::size_t>(y) * width;
    interleaveBgr(planes + 2 * planeSize + at, planes + planeSize + at, planes + at, width,
                  firstLine + static_cast<std::ptrdiff_t>(y) * pitch);
  }
}

template <class T>
Status reconstruct(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph,
                   const KPX::Matrix<T>& coefficients, const KPX::Matrix<double>& bases,
                   const KPX::Matrix<double>& averages, CImage& target, StripTimes& times) {
  const InverseConversion inverse = inverseConversion(colorSpace);
  if (inverse == nullptr) return status::Success;
  if (pw == 0 || ph == 0) return status::InvalidArguments;
  if (target.IsNull() || target.GetBPP() != 24) return status::InconsistentParameters;
  const auto width = static_cast<std::uint32_t>(target.GetWidth());
  const auto height = static_cast<std::uint32_t>(target.GetHeight());
  const PatchGrid grid = patchGrid(width, height, pw, ph);
  const std::uint64_t n64 = static_cast<std::uint64_t>(pw) * ph;
  const std::uint64_t count64 = static_cast<std::uint64_t>(grid.columns) * grid.rows;
  if (3 * n64 > UINT32_MAX || count64 > UINT32_MAX) return status::InconsistentParameters;
  const auto n = static_cast<std::uint32_t>(n64);
  const auto count = static_cast<std::uint32_t>(count64);
  // Matrices that do not cover the grid (a damaged file) would be read out
  // of bounds: refuse them before any pixel is written.
  if (count > 0 &&
      (coefficients.rows() < count || coefficients.cols() != bases.rows() ||
       bases.cols() != 3 * n || averages.rows() < 3 || averages.cols() < count ||
       (bases.rows() > 0 && (coefficients.data() == nullptr || bases.data() == nullptr)) ||
       averages.data() == nullptr))
    return status::InconsistentParameters;
  if (count == 0) return status::Success;

  const bool rgb = colorSpace == kColorSpaceRGB;
  const std::size_t stripValues = static_cast<std::size_t>(grid.columns) * 3 * n;
  const std::size_t planeBytes = static_cast<std::size_t>(3) * width * ph;
  std::uint8_t* const top = target.GetBits();
  const std::ptrdiff_t pitch = target.GetPitch();
  std::mutex timesLock;

  // A grid row is worth a thread of its own from a few thousand pixels on.
  const std::uint64_t rowPixels = static_cast<std::uint64_t>(grid.columns) * n;
  const std::uint64_t minRows =
      std::max<std::uint64_t>(1, 65536 / std::max<std::uint64_t>(1, rowPixels));
  KPX::parallelFor(grid.rows, minRows, [&](std::uint64_t firstRow, std::uint64_t endRow) {
    std::unique_ptr<double[]> strip(new (std::nothrow) double[stripValues]);
    std::unique_ptr<std::uint8_t[]> planes(rgb ? new (std::nothrow) std::uint8_t[planeBytes]
                                               : nullptr);
    if (!strip || (rgb && !planes)) throw std::bad_alloc();
    double multiplySeconds = 0;
    double arrangeSeconds = 0;
    for (std::uint64_t gy = firstRow; gy < endRow; ++gy) {
      const auto first = static_cast<std::uint32_t>(gy * grid.columns);
      const Clock::time_point start = Clock::now();
      if (bases.rows() == 0) {
        std::fill(strip.get(), strip.get() + stripValues, 0.0);
      } else {
        // Most decoded coefficients are 0: their terms are skipped.
        KPX::multiplySparseStrip(coefficients[first], coefficients.cols(), grid.columns, bases,
                                 strip.get());
      }
      const Clock::time_point multiplied = Clock::now();
      const auto y0 = static_cast<std::uint32_t>(gy * ph);
      const std::uint32_t rows = std::min(ph, height - y0);
      std::uint8_t* const firstLine = top + static_cast<std::ptrdiff_t>(y0) * pitch;
      if (rgb) {
        writeRgbRow(strip.get(), averages, first, grid.columns, pw, n, rows, width, planes.get(),
                    firstLine, pitch);
      } else {
        for (std::uint32_t gx = 0; gx < grid.columns; ++gx) {
          double* row = strip.get() + static_cast<std::size_t>(gx) * 3 * n;
          const std::uint32_t k = first + gx;
          ColorTriple means;
          means.c0 = averages[0][k];
          means.c1 = averages[1][k];
          means.c2 = averages[2][k];
          addPatchMean(row, n, means);
          const std::uint32_t x0 = gx * pw;
          const std::uint32_t cols = std::min(pw, width - x0);
          writePatch(row, n, pw, rows, cols, firstLine + static_cast<std::ptrdiff_t>(x0) * 3, pitch,
                     inverse);
        }
      }
      multiplySeconds += secondsBetween(start, multiplied);
      arrangeSeconds += secondsBetween(multiplied, Clock::now());
    }
    const std::lock_guard<std::mutex> hold(timesLock);
    times.multiply += multiplySeconds;
    times.arrange += arrangeSeconds;
  });
  return status::Success;
}

}  // namespace

Status reconstructImage(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph,
                        const KPX::Matrix<double>& coefficients, const KPX::Matrix<double>& bases,
                        const KPX::Matrix<double>& averages, CImage& target, StripTimes& times) {
  return reconstruct(colorSpace, pw, ph, coefficients, bases, averages, target, times);
}

Status reconstructImage(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph,
                        const KPX::Matrix<std::int32_t>& coefficients,
                        const KPX::Matrix<double>& bases, const KPX::Matrix<double>& averages,
                        CImage& target, StripTimes& times) {
  return reconstruct(colorSpace, pw, ph, coefficients, bases, averages, target, times);
}
