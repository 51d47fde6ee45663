#include "codec/patch_strips.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>

#include "codec/colorspace.h"
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
template <bool Rgb>
void writePatch(const double* row, std::uint32_t n, std::uint32_t pw, std::uint32_t rows,
                std::uint32_t cols, std::uint8_t* topLeft, std::ptrdiff_t pitch,
                InverseConversion inverse) {
  for (std::uint32_t y = 0; y < rows; ++y) {
    const double* c0 = row + static_cast<std::size_t>(y) * pw;
    const double* c1 = c0 + n;
    const double* c2 = c1 + n;
    std::uint8_t* dst = topLeft + static_cast<std::ptrdiff_t>(y) * pitch;
    for (std::uint32_t x = 0; x < cols; ++x, dst += 3) {
      if (Rgb) {
        dst[0] = channelToByte(c2[x]);
        dst[1] = channelToByte(c1[x]);
        dst[2] = channelToByte(c0[x]);
      } else {
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
}

}  // namespace

Status reconstructImage(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph,
                        const KPX::Matrix<double>& coefficients, const KPX::Matrix<double>& bases,
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
  std::uint8_t* const top = target.GetBits();
  const std::ptrdiff_t pitch = target.GetPitch();
  std::mutex timesLock;

  // A grid row is worth a thread of its own from a few thousand pixels on.
  const std::uint64_t rowPixels = static_cast<std::uint64_t>(grid.columns) * n;
  const std::uint64_t minRows =
      std::max<std::uint64_t>(1, 65536 / std::max<std::uint64_t>(1, rowPixels));
  KPX::parallelFor(grid.rows, minRows, [&](std::uint64_t firstRow, std::uint64_t endRow) {
    std::unique_ptr<double[]> strip(new (std::nothrow) double[stripValues]);
    if (!strip) throw std::bad_alloc();
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
        std::uint8_t* topLeft =
            top + static_cast<std::ptrdiff_t>(y0) * pitch + static_cast<std::ptrdiff_t>(x0) * 3;
        if (rgb) {
          writePatch<true>(row, n, pw, rows, cols, topLeft, pitch, inverse);
        } else {
          writePatch<false>(row, n, pw, rows, cols, topLeft, pitch, inverse);
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
