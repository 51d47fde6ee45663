#include "codec/patch_strips.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <vector>

#include "codec/colorspace.h"
#include "codec/patch_pixels.h"
#include "codec/patches.h"
#include "codec/ycc_pixels.h"
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

// The conversion of a strip into red, green and blue byte planes, for the
// colour spaces converted a plane at a time.
using PlaneConversion = void (*)(const PatchStrip&, std::uint8_t*);

PlaneConversion planeConversion(std::uint16_t colorSpace) {
  if (colorSpace == kColorSpaceRGB) return stripToPlanes;
  if (colorSpace == kColorSpaceYCC) return yccStripToPlanes;
  return nullptr;
}

// Writes the rows lines of one grid row from its strip (patch after patch,
// each its three channel planes of n values): the pixels become red, green
// and blue byte planes as wide as the image, then the three planes are
// woven into the raster's lines.
void writePlanarRow(PlaneConversion toPlanes, const double* strip,
                    const KPX::Matrix<double>& averages, std::uint32_t first, std::uint32_t columns,
                    std::uint32_t pw, std::uint32_t n, std::uint32_t rows, std::uint32_t width,
                    std::uint8_t* planes, std::uint8_t* firstLine, std::ptrdiff_t pitch) {
  const std::size_t planeSize = static_cast<std::size_t>(width) * rows;
  PatchStrip patches;
  patches.values = strip;
  for (std::uint32_t c = 0; c < 3; ++c) patches.means[c] = averages[c] + first;
  patches.columns = columns;
  patches.pw = pw;
  patches.n = n;
  patches.rows = rows;
  patches.width = width;
  toPlanes(patches, planes);
  for (std::uint32_t y = 0; y < rows; ++y) {
    const std::size_t at = static_cast<std::size_t>(y) * width;
    interleaveBgr(planes + 2 * planeSize + at, planes + planeSize + at, planes + at, width,
                  firstLine + static_cast<std::ptrdiff_t>(y) * pitch);
  }
}

// The image's grid and the sizes the strips need, from checked arguments.
struct Layout {
  InverseConversion inverse = nullptr;
  PlaneConversion toPlanes = nullptr;  // null: pixel by pixel through inverse
  PatchGrid grid;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t n = 0;      // pixels of a patch
  std::uint32_t count = 0;  // patches
};

// The checks every reconstruction makes before it writes a pixel; rows and
// cols are the coefficients' shape. done is set when there is nothing to
// write (an unknown colour space or no patches) and the status is
// status::Success.
Status checkLayout(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph, std::uint64_t rows,
                   std::uint64_t cols, bool hasCoefficients, const KPX::Matrix<double>& bases,
                   const KPX::Matrix<double>& averages, const CImage& target, Layout& layout,
                   bool& done) {
  done = true;
  layout.inverse = inverseConversion(colorSpace);
  if (layout.inverse == nullptr) return status::Success;
  layout.toPlanes = planeConversion(colorSpace);
  if (pw == 0 || ph == 0) return status::InvalidArguments;
  if (target.IsNull() || target.GetBPP() != 24) return status::InconsistentParameters;
  layout.width = static_cast<std::uint32_t>(target.GetWidth());
  layout.height = static_cast<std::uint32_t>(target.GetHeight());
  layout.grid = patchGrid(layout.width, layout.height, pw, ph);
  const std::uint64_t n64 = static_cast<std::uint64_t>(pw) * ph;
  const std::uint64_t count64 = static_cast<std::uint64_t>(layout.grid.columns) * layout.grid.rows;
  if (3 * n64 > UINT32_MAX || count64 > UINT32_MAX) return status::InconsistentParameters;
  layout.n = static_cast<std::uint32_t>(n64);
  layout.count = static_cast<std::uint32_t>(count64);
  // Matrices that do not cover the grid (a damaged file) would be read out
  // of bounds: refuse them before any pixel is written.
  if (layout.count > 0 &&
      (rows < layout.count || cols != bases.rows() || bases.cols() != 3 * layout.n ||
       averages.rows() < 3 || averages.cols() < layout.count ||
       (bases.rows() > 0 && (!hasCoefficients || bases.data() == nullptr)) ||
       averages.data() == nullptr))
    return status::InconsistentParameters;
  done = layout.count == 0;
  return status::Success;
}

// Means added and pixels written for grid row gy, whose strip holds the
// patches' values (patch after patch, 3 x n each). planes: 3 x width x ph
// bytes, used by the colour spaces converted a plane at a time.
void arrangeGridRow(const Layout& layout, bool planar, std::uint32_t pw, std::uint32_t ph,
                    std::uint64_t gy, double* strip, const KPX::Matrix<double>& averages,
                    std::uint8_t* planes, CImage& target) {
  const auto first = static_cast<std::uint32_t>(gy * layout.grid.columns);
  const auto y0 = static_cast<std::uint32_t>(gy * ph);
  const std::uint32_t rows = std::min(ph, layout.height - y0);
  const std::ptrdiff_t pitch = target.GetPitch();
  std::uint8_t* const firstLine = target.GetBits() + static_cast<std::ptrdiff_t>(y0) * pitch;
  const std::uint32_t n = layout.n;
  if (planar) {
    writePlanarRow(layout.toPlanes, strip, averages, first, layout.grid.columns, pw, n, rows,
                   layout.width, planes, firstLine, pitch);
    return;
  }
  for (std::uint32_t gx = 0; gx < layout.grid.columns; ++gx) {
    double* row = strip + static_cast<std::size_t>(gx) * 3 * n;
    const std::uint32_t k = first + gx;
    ColorTriple means;
    means.c0 = averages[0][k];
    means.c1 = averages[1][k];
    means.c2 = averages[2][k];
    addPatchMean(row, n, means);
    const std::uint32_t x0 = gx * pw;
    const std::uint32_t cols = std::min(pw, layout.width - x0);
    writePatch(row, n, pw, rows, cols, firstLine + static_cast<std::ptrdiff_t>(x0) * 3, pitch,
               layout.inverse);
  }
}

// A strip of grid.columns patches and, for RGB, the byte planes of a grid
// row; std::bad_alloc when memory runs out.
struct StripBuffers {
  StripBuffers(const Layout& layout, bool planar, std::uint32_t ph)
      : values(static_cast<std::size_t>(layout.grid.columns) * 3 * layout.n),
        strip(new (std::nothrow) double[values]),
        planes(planar ? new (std::nothrow)
                            std::uint8_t[static_cast<std::size_t>(3) * layout.width * ph]
                      : nullptr) {
    if (!strip || (planar && !planes)) throw std::bad_alloc();
  }
  std::size_t values;
  std::unique_ptr<double[]> strip;
  std::unique_ptr<std::uint8_t[]> planes;
};

template <class T>
Status reconstruct(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph,
                   const KPX::Matrix<T>& coefficients, const KPX::Matrix<double>& bases,
                   const KPX::Matrix<double>& averages, CImage& target, StripTimes& times) {
  Layout layout;
  bool done = false;
  const Status s =
      checkLayout(colorSpace, pw, ph, coefficients.rows(), coefficients.cols(),
                  coefficients.data() != nullptr, bases, averages, target, layout, done);
  if (s != status::Success || done) return s;

  const bool planar = layout.toPlanes != nullptr;
  const PatchGrid& grid = layout.grid;
  std::mutex timesLock;

  // A grid row is worth a thread of its own from a few thousand pixels on.
  const std::uint64_t rowPixels = static_cast<std::uint64_t>(grid.columns) * layout.n;
  const std::uint64_t minRows =
      std::max<std::uint64_t>(1, 65536 / std::max<std::uint64_t>(1, rowPixels));
  KPX::parallelFor(grid.rows, minRows, [&](std::uint64_t firstRow, std::uint64_t endRow) {
    StripBuffers buffers(layout, planar, ph);
    double* const strip = buffers.strip.get();
    double multiplySeconds = 0;
    double arrangeSeconds = 0;
    for (std::uint64_t gy = firstRow; gy < endRow; ++gy) {
      const auto first = static_cast<std::uint32_t>(gy * grid.columns);
      const Clock::time_point start = Clock::now();
      if (bases.rows() == 0) {
        std::fill(strip, strip + buffers.values, 0.0);
      } else {
        // Most decoded coefficients are 0: their terms are skipped.
        KPX::multiplySparseStrip(coefficients[first], coefficients.cols(), grid.columns, bases,
                                 strip);
      }
      const Clock::time_point multiplied = Clock::now();
      arrangeGridRow(layout, planar, pw, ph, gy, strip, averages, buffers.planes.get(), target);
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

namespace {

// The strip of one grid row from its patches' terms: columns patches from
// firstPatch on, patch after patch (3 x n values each).
void multiplyGridRow(const KPX::SparseRows& terms, std::uint32_t firstPatch, std::uint32_t columns,
                     const KPX::Matrix<double>& bases, const KPX::SparsePanels& panels,
                     std::size_t patchValues, double* strip) {
  if (bases.rows() == 0) {
    std::fill(strip, strip + columns * patchValues, 0.0);
    return;
  }
  KPX::multiplySparseRows(terms, firstPatch, columns, bases, panels, strip, patchValues);
}

// Strip buffers handed to whichever thread runs next, so that each is
// allocated (and its pages touched) once.
class BufferPool {
 public:
  BufferPool(const Layout& layout, bool planar, std::uint32_t ph)
      : layout_(layout), planar_(planar), ph_(ph) {}
  std::unique_ptr<StripBuffers> take() {
    {
      const std::lock_guard<std::mutex> hold(lock_);
      if (!free_.empty()) {
        std::unique_ptr<StripBuffers> b = std::move(free_.back());
        free_.pop_back();
        return b;
      }
    }
    return std::make_unique<StripBuffers>(layout_, planar_, ph_);
  }
  void give(std::unique_ptr<StripBuffers> b) {
    const std::lock_guard<std::mutex> hold(lock_);
    free_.push_back(std::move(b));
  }

 private:
  const Layout& layout_;
  bool planar_;
  std::uint32_t ph_;
  std::mutex lock_;
  std::vector<std::unique_ptr<StripBuffers>> free_;
};

// Several threads: the calling thread reads the coefficients of the next
// chunk of grid rows while the others multiply and arrange the chunk just
// read, each grid row on one thread (the pixels do not depend on which).
Status reconstructPipelined(const Layout& layout, bool planar, std::uint32_t pw, std::uint32_t ph,
                            const SparseRowSource& source, const KPX::Matrix<double>& bases,
                            const KPX::SparsePanels& panels, const KPX::Matrix<double>& averages,
                            CImage& target, StripTimes& times) {
  const std::uint64_t total = layout.grid.rows;
  const std::uint32_t columns = layout.grid.columns;
  const std::uint64_t chunk = std::max<std::uint64_t>(KPX::threadCount(), (total + 15) / 16);
  const std::size_t patchValues = static_cast<std::size_t>(3) * layout.n;
  BufferPool pool(layout, planar, ph);
  std::mutex timesLock;
  KPX::SparseRows terms[2];

  const auto read = [&](std::uint64_t first, KPX::SparseRows& out) {
    const auto rows = static_cast<std::uint32_t>(std::min(chunk, total - first) * columns);
    const Clock::time_point start = Clock::now();
    const Status s = source(rows, out);
    times.expand += secondsBetween(start, Clock::now());
    return s;
  };
  const auto work = [&](std::uint64_t first, const KPX::SparseRows& in) {
    const std::uint64_t rows = std::min(chunk, total - first);
    KPX::parallelFor(rows, 1, [&](std::uint64_t begin, std::uint64_t end) {
      std::unique_ptr<StripBuffers> buffers = pool.take();
      double multiplySeconds = 0;
      double arrangeSeconds = 0;
      for (std::uint64_t r = begin; r < end; ++r) {
        const Clock::time_point start = Clock::now();
        multiplyGridRow(in, static_cast<std::uint32_t>(r * columns), columns, bases, panels,
                        patchValues, buffers->strip.get());
        const Clock::time_point multiplied = Clock::now();
        arrangeGridRow(layout, planar, pw, ph, first + r, buffers->strip.get(), averages,
                       buffers->planes.get(), target);
        multiplySeconds += secondsBetween(start, multiplied);
        arrangeSeconds += secondsBetween(multiplied, Clock::now());
      }
      pool.give(std::move(buffers));
      const std::lock_guard<std::mutex> hold(timesLock);
      times.multiply += multiplySeconds;
      times.arrange += arrangeSeconds;
    });
  };

  FOLIM_RETURN_IF_ERROR(read(0, terms[0]));
  for (std::uint64_t first = 0, c = 0; first < total; first += chunk, ++c) {
    Status next = status::Success;
    KPX::runBeside([&] { work(first, terms[c % 2]); },
                   [&] {
                     if (first + chunk < total) next = read(first + chunk, terms[(c + 1) % 2]);
                   });
    FOLIM_RETURN_IF_ERROR(next);
  }
  return status::Success;
}

}  // namespace

Status reconstructStreamed(std::uint16_t colorSpace, std::uint32_t pw, std::uint32_t ph,
                           std::uint64_t coefficientRows, std::uint64_t coefficientCols,
                           const SparseRowSource& source, const KPX::Matrix<double>& bases,
                           const KPX::Matrix<double>& averages, CImage& target, StripTimes& times) {
  Layout layout;
  bool done = false;
  const Status s = checkLayout(colorSpace, pw, ph, coefficientRows, coefficientCols, true, bases,
                               averages, target, layout, done);
  if (s != status::Success || done) return s;

  const bool planar = layout.toPlanes != nullptr;
  const KPX::SparsePanels panels(bases);
  if (KPX::threadCount() > 1 && layout.grid.rows > 1)
    return reconstructPipelined(layout, planar, pw, ph, source, bases, panels, averages, target,
                                times);
  const std::uint32_t columns = layout.grid.columns;
  const std::size_t patchValues = static_cast<std::size_t>(3) * layout.n;
  StripBuffers buffers(layout, planar, ph);
  double* const strip = buffers.strip.get();
  KPX::SparseRows terms;
  for (std::uint64_t gy = 0; gy < layout.grid.rows; ++gy) {
    const Clock::time_point start = Clock::now();
    FOLIM_RETURN_IF_ERROR(source(columns, terms));
    const Clock::time_point decoded = Clock::now();
    multiplyGridRow(terms, 0, columns, bases, panels, patchValues, strip);
    const Clock::time_point multiplied = Clock::now();
    arrangeGridRow(layout, planar, pw, ph, gy, strip, averages, buffers.planes.get(), target);
    times.expand += secondsBetween(start, decoded);
    times.multiply += secondsBetween(decoded, multiplied);
    times.arrange += secondsBetween(multiplied, Clock::now());
  }
  return status::Success;
}
