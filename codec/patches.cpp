#include "codec/patches.h"

#include <immintrin.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <memory>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/parallel.h"
#include "numeric/status_guard.h"

namespace {

// Opens pixel access for the lifetime of the object, so every return path closes it.
class PixelAccess {
 public:
  explicit PixelAccess(const CImage& image) : image_(image) { image_.BeginAccess(); }
  ~PixelAccess() { image_.EndAccess(); }
  PixelAccess(const PixelAccess&) = delete;
  PixelAccess& operator=(const PixelAccess&) = delete;

 private:
  const CImage& image_;
};

std::uint32_t imageWidth(const CImage& image) {
  return image.IsNull() ? 0u : static_cast<std::uint32_t>(image.GetWidth());
}
std::uint32_t imageHeight(const CImage& image) {
  return image.IsNull() ? 0u : static_cast<std::uint32_t>(image.GetHeight());
}

// The colour words of image row y. 24 and 32-bit rows are read straight from
// their bytes (the same words the pixel read gives, without a call per pixel);
// every other depth goes through the pixel read.
void fetchRow(const CImage& image, std::uint32_t y, std::uint32_t width, std::uint32_t* words) {
  const int bpp = image.GetBPP();
  if (bpp == 24 || bpp == 32) {
    const std::size_t step = static_cast<std::size_t>(bpp / 8);
    const std::uint8_t* p = image.GetBits() + static_cast<std::ptrdiff_t>(y) * image.GetPitch();
    for (std::uint32_t x = 0; x < width; ++x, p += step) words[x] = makeColorWord(p[2], p[1], p[0]);
    return;
  }
  for (std::uint32_t x = 0; x < width; ++x) {
    words[x] = image.GetPixel(static_cast<int>(x), static_cast<int>(y));
  }
}

// spreadRow<4> for the pixels of whole groups of eight: the channel bytes
// become doubles exactly, as in the scalar loop. Returns the pixels done.
__attribute__((target("avx2"))) std::uint32_t spreadRow32Avx2(const std::uint8_t* line,
                                                              std::uint32_t width,
                                                              std::size_t padded, double* planes) {
  double* const red = planes;
  double* const green = red + padded;
  double* const blue = green + padded;
  const __m256i byte = _mm256_set1_epi32(0xFF);
  std::uint32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(line + 4 * x));
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(v, 16), byte);
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(v, 8), byte);
    const __m256i b = _mm256_and_si256(v, byte);
    _mm256_storeu_pd(red + x, _mm256_cvtepi32_pd(_mm256_castsi256_si128(r)));
    _mm256_storeu_pd(red + x + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(r, 1)));
    _mm256_storeu_pd(green + x, _mm256_cvtepi32_pd(_mm256_castsi256_si128(g)));
    _mm256_storeu_pd(green + x + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(g, 1)));
    _mm256_storeu_pd(blue + x, _mm256_cvtepi32_pd(_mm256_castsi256_si128(b)));
    _mm256_storeu_pd(blue + x + 4, _mm256_cvtepi32_pd(_mm256_extracti128_si256(b, 1)));
  }
  return x;
}

// The pixels of a 32-bit row spread ahead of the common loop: none without
// vectors.
using SpreadHead = std::uint32_t (*)(const std::uint8_t* line, std::uint32_t width,
                                     std::size_t padded, double* planes);
std::uint32_t spreadNone(const std::uint8_t*, std::uint32_t, std::size_t, double*) { return 0; }
const KPX::LevelKernel<SpreadHead> kSpreadRow32{spreadNone, spreadRow32Avx2};

// Image row sy of a 24 or 32-bit image as three planes of doubles (red,
// green, blue, padded wide each), the columns past the right edge repeating
// the last image column.
template <std::size_t Step>
void spreadRow(const std::uint8_t* line, std::uint32_t width, std::size_t padded, double* planes) {
  double* const red = planes;
  double* const green = red + padded;
  double* const blue = green + padded;
  const std::uint32_t done = Step == 4 ? kSpreadRow32.current()(line, width, padded, planes) : 0;
  for (std::uint32_t x = done; x < width; ++x) {
    const std::uint8_t* const q = line + x * Step;
    red[x] = q[2];
    green[x] = q[1];
    blue[x] = q[0];
  }
  for (std::size_t x = width; x < padded; ++x) {
    red[x] = red[width - 1];
    green[x] = green[width - 1];
    blue[x] = blue[width - 1];
  }
}

// The patches of one grid row, from the ph image rows under it spread into
// planes (line y's red, green and blue planes at planes + (3y + c) * padded):
// each patch channel's mean (three per patch into means), then its values
// less that mean, written once. Width is the patch width when known at
// compile time (the default 8), 0 otherwise. The channels are integers, so
// every partial sum is exact: the means do not depend on the order of
// summation and equal those of the colour-word path.
template <std::uint32_t Width>
void cutGridRow(const double* planes, std::size_t padded, std::uint32_t pw, std::uint32_t ph,
                std::uint32_t columns, double* firstPatch, double* means) {
  const std::uint32_t w = Width != 0 ? Width : pw;
  const std::size_t n = static_cast<std::size_t>(w) * ph;
  const double divisor = static_cast<double>(n);
  for (std::uint32_t gx = 0; gx < columns; ++gx) {
    for (std::size_t c = 0; c < 3; ++c) {
      const double* const src = planes + c * padded + static_cast<std::size_t>(gx) * w;
      double sum = 0.0;
      for (std::uint32_t y = 0; y < ph; ++y) {
        const double* const line = src + 3 * y * padded;
        double lineSum = 0.0;
        for (std::uint32_t x = 0; x < w; ++x) lineSum += line[x];
        sum += lineSum;
      }
      const double mean = sum / divisor;
      double* out = firstPatch + (3 * static_cast<std::size_t>(gx) + c) * n;
      for (std::uint32_t y = 0; y < ph; ++y, out += w) {
        const double* const line = src + 3 * y * padded;
        for (std::uint32_t x = 0; x < w; ++x) out[x] = line[x] - mean;
      }
      means[3 * gx + c] = mean;
    }
  }
}

// Image rows of the grid row from firstLine on (rows past the bottom edge
// repeating the last) of a 24 or 32-bit image spread into planes, then cut.
void cutRgbGridRow(const CImage& image, std::uint32_t firstLine, std::uint32_t width,
                   std::uint32_t height, std::uint32_t pw, std::uint32_t ph, std::uint32_t columns,
                   double* planes, double* firstPatch, double* means) {
  const std::size_t padded = static_cast<std::size_t>(columns) * pw;
  for (std::uint32_t y = 0; y < ph; ++y) {
    const std::uint32_t sy = std::min(firstLine + y, height - 1);
    const std::uint8_t* const line =
        image.GetBits() + static_cast<std::ptrdiff_t>(sy) * image.GetPitch();
    double* const linePlanes = planes + 3 * static_cast<std::size_t>(y) * padded;
    if (image.GetBPP() == 24)
      spreadRow<3>(line, width, padded, linePlanes);
    else
      spreadRow<4>(line, width, padded, linePlanes);
  }
  if (pw == 8)
    cutGridRow<8>(planes, padded, 8, ph, columns, firstPatch, means);
  else
    cutGridRow<0>(planes, padded, pw, ph, columns, firstPatch, means);
}

void subtractMeans(double* row, std::uint32_t n, const ColorTriple& means) {
  double* const p0 = row;
  double* const p1 = row + n;
  double* const p2 = row + 2 * static_cast<std::size_t>(n);
  for (std::uint32_t i = 0; i < n; ++i) {
    p0[i] -= means.c0;
    p1[i] -= means.c1;
    p2[i] -= means.c2;
  }
}

// Grid rows [rowBegin, rowEnd) of the patch grid into out (their patches,
// 3n values each, the first one at out) and their means into averages.
template <void (*Convert)(std::uint32_t, ColorTriple&)>
void extractRows(const CImage& source, std::uint32_t pw, std::uint32_t ph, std::uint32_t rowBegin,
                 std::uint32_t rowEnd, double* out, KPX::Matrix<double>& averages) {
  const std::uint32_t width = imageWidth(source);
  const std::uint32_t height = imageHeight(source);
  const PatchGrid grid = patchGrid(width, height, pw, ph);
  const std::uint32_t n = pw * ph;
  const std::size_t rowValues = 3 * static_cast<std::size_t>(n);
  const std::uint32_t firstOut = rowBegin * grid.columns;
  const auto patchRow = [&](std::uint32_t k) {
    return out + static_cast<std::size_t>(k - firstOut) * rowValues;
  };
  // Red, green and blue of 24 and 32-bit rows are the channel bytes
  // themselves: they are copied and summed without a colour word between.
  const bool direct = Convert == &colorspace_inline::rgbForward &&
                      (source.GetBPP() == 24 || source.GetBPP() == 32) && width > 0 &&
                      n <= (UINT32_MAX / 255u);
  PixelAccess access(source);
  // Grid rows are independent of one another: they are shared among the
  // threads, each with its own row of colour words and plane sums.
  const std::uint64_t rowPixels = static_cast<std::uint64_t>(grid.columns) * n;
  const std::uint64_t minRows =
      std::max<std::uint64_t>(1, 65536 / std::max<std::uint64_t>(1, rowPixels));
  KPX::parallelFor(
      rowEnd - rowBegin, minRows, [&](std::uint64_t firstIndex, std::uint64_t endIndex) {
        const std::uint64_t firstRow = rowBegin + firstIndex;
        const std::uint64_t endRow = rowBegin + endIndex;
        std::vector<std::uint32_t> words(width);
        std::vector<double> sums(3 * static_cast<std::size_t>(grid.columns));
        // Left unset: spreading writes every value before it is read, and
        // a strip of one grid row must not pay for clearing it.
        std::unique_ptr<double[]> planes(
            direct ? new double[3 * static_cast<std::size_t>(grid.columns) * pw * ph] : nullptr);
        std::uint32_t fetchedRow = UINT32_MAX;
        for (std::uint64_t row = firstRow; row < endRow; ++row) {
          const auto gy = static_cast<std::uint32_t>(row);
          const std::uint32_t firstPatch = gy * grid.columns;
          if (direct) {
            cutRgbGridRow(source, gy * ph, width, height, pw, ph, grid.columns, planes.get(),
                          patchRow(firstPatch), sums.data());
            for (std::uint32_t gx = 0; gx < grid.columns; ++gx)
              for (std::uint32_t c = 0; c < 3; ++c) averages[c][firstPatch + gx] = sums[3 * gx + c];
            continue;
          }
          std::fill(sums.begin(), sums.end(), 0.0);
          for (std::uint32_t y = 0; y < ph; ++y) {
            // Rows past the bottom edge repeat the last image row.
            const std::uint32_t sy = std::min(gy * ph + y, height - 1);
            if (sy != fetchedRow) {
              fetchRow(source, sy, width, words.data());
              fetchedRow = sy;
            }
            for (std::uint32_t gx = 0; gx < grid.columns; ++gx) {
              double* const c0 = patchRow(firstPatch + gx) + static_cast<std::size_t>(y) * pw;
              double* const c1 = c0 + n;
              double* const c2 = c1 + n;
              const std::uint32_t x0 = gx * pw;
              // Columns past the right edge repeat the last image column.
              const std::uint32_t inside = std::min(pw, width - x0);
              const std::uint32_t* const src = words.data() + x0;
              // The plane sums run in index order (row by row, left to right),
              // as a sum over the finished plane would.
              double s0 = sums[3 * gx];
              double s1 = sums[3 * gx + 1];
              double s2 = sums[3 * gx + 2];
              for (std::uint32_t x = 0; x < pw; ++x) {
                ColorTriple t;
                Convert(x < inside ? src[x] : words[width - 1], t);
                c0[x] = t.c0;
                c1[x] = t.c1;
                c2[x] = t.c2;
                s0 += t.c0;
                s1 += t.c1;
                s2 += t.c2;
              }
              sums[3 * gx] = s0;
              sums[3 * gx + 1] = s1;
              sums[3 * gx + 2] = s2;
            }
          }
          // The grid row's patches are still in cache: remove their means now.
          const double divisor = static_cast<double>(n);
          for (std::uint32_t gx = 0; gx < grid.columns; ++gx) {
            const std::uint32_t k = firstPatch + gx;
            ColorTriple means;
            means.c0 = sums[3 * gx] / divisor;
            means.c1 = sums[3 * gx + 1] / divisor;
            means.c2 = sums[3 * gx + 2] / divisor;
            subtractMeans(patchRow(k), n, means);
            averages[0][k] = means.c0;
            averages[1][k] = means.c1;
            averages[2][k] = means.c2;
          }
        }
      });
}

// The shape checks shared by whole and strip extraction:
// status::InvalidArguments for a zero patch side, status::NoMemory when the
// grid or a patch row does not fit in 32 bits.
Status gridOf(const CImage& source, std::uint32_t pw, std::uint32_t ph, PatchGrid& grid) {
  if (pw == 0 || ph == 0) return status::InvalidArguments;
  grid = patchGrid(imageWidth(source), imageHeight(source), pw, ph);
  if (3 * static_cast<std::uint64_t>(pw) * ph > UINT32_MAX) return status::NoMemory;
  if (static_cast<std::uint64_t>(grid.columns) * grid.rows > UINT32_MAX) return status::NoMemory;
  return status::Success;
}

template <void (*Convert)(std::uint32_t, ColorTriple&)>
Status extractWith(const CImage& source, PatchMatrix& patches, KPX::Matrix<double>& averages) {
  PatchGrid grid;
  FOLIM_RETURN_IF_ERROR(gridOf(source, patches.patchWidth, patches.patchHeight, grid));
  const std::uint32_t count = grid.count();
  FOLIM_RETURN_IF_ERROR(guardStatus([&] {
    patches.resize(count, 3 * patches.patchWidth * patches.patchHeight);
    averages.resize(3, count);
  }));
  if (count == 0) return status::Success;
  extractRows<Convert>(source, patches.patchWidth, patches.patchHeight, 0, grid.rows,
                       patches.data(), averages);
  return status::Success;
}

// True when the matrices hold every patch of the grid in the expected shape.
bool shapesFit(const PatchMatrix& patches, const KPX::Matrix<double>& averages, std::uint32_t count,
               std::uint32_t n) {
  if (count == 0) return true;
  const std::uint64_t values = 3 * static_cast<std::uint64_t>(n);
  return patches.cols() == values && patches.rows() >= count && patches.data() != nullptr &&
         patches.count() == static_cast<std::uint64_t>(patches.rows()) * patches.cols() &&
         averages.rows() >= 3 && averages.cols() >= count && averages.data() != nullptr &&
         averages.count() == static_cast<std::uint64_t>(averages.rows()) * averages.cols();
}

ColorTriple averageOf(const KPX::Matrix<double>& averages, std::uint32_t k) {
  ColorTriple t;
  t.c0 = averages[0][k];
  t.c1 = averages[1][k];
  t.c2 = averages[2][k];
  return t;
}

}  // namespace

PatchGrid patchGrid(std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                    std::uint32_t patchHeight) {
  PatchGrid grid;
  if (patchWidth == 0 || patchHeight == 0) return grid;
  grid.columns = width / patchWidth + (width % patchWidth != 0 ? 1u : 0u);
  grid.rows = height / patchHeight + (height % patchHeight != 0 ? 1u : 0u);
  return grid;
}

ColorTriple removePatchMean(double* row, std::uint32_t n) {
  ColorTriple means;
  if (n == 0) return means;
  double* const p0 = row;
  double* const p1 = row + n;
  double* const p2 = row + 2 * static_cast<std::size_t>(n);
  // Each plane is summed in index order with one accumulator, the same sum a
  // plain loop gives; the three planes run side by side so that their
  // additions overlap instead of waiting on one another.
  double s0 = 0.0;
  double s1 = 0.0;
  double s2 = 0.0;
  std::uint32_t i = 0;
  for (; i + 4 <= n; i += 4) {
    s0 += p0[i];
    s1 += p1[i];
    s2 += p2[i];
    s0 += p0[i + 1];
    s1 += p1[i + 1];
    s2 += p2[i + 1];
    s0 += p0[i + 2];
    s1 += p1[i + 2];
    s2 += p2[i + 2];
    s0 += p0[i + 3];
    s1 += p1[i + 3];
    s2 += p2[i + 3];
  }
  for (; i < n; ++i) {
    s0 += p0[i];
    s1 += p1[i];
    s2 += p2[i];
  }
  const double count = static_cast<double>(n);
  means.c0 = s0 / count;
  means.c1 = s1 / count;
  means.c2 = s2 / count;
  subtractMeans(row, n, means);
  return means;
}

void addPatchMean(double* row, std::uint32_t n, const ColorTriple& means) {
  const double add[3] = {means.c0, means.c1, means.c2};
  for (int c = 0; c < 3; ++c) {
    double* plane = row + static_cast<std::size_t>(c) * n;
    for (std::uint32_t i = 0; i < n; ++i) plane[i] += add[c];
  }
}

Status extractPatches(std::uint16_t colorSpace, const CImage& source, PatchMatrix& patches,
                      KPX::Matrix<double>& averages) {
  return guardStatus([&] {
    switch (colorSpace) {
      case kColorSpaceRGB:
        return extractWith<&colorspace_inline::rgbForward>(source, patches, averages);
      case kColorSpaceYCC:
        return extractWith<&colorspace_inline::yccForward>(source, patches, averages);
      case kColorSpaceHSV:
        return extractWith<&colorspace_inline::hsvForward>(source, patches, averages);
      default:
        return status::Success;
    }
  });
}

Status extractPatchRows(std::uint16_t colorSpace, const CImage& source, std::uint32_t pw,
                        std::uint32_t ph, std::uint32_t firstRow, std::uint32_t endRow, double* out,
                        KPX::Matrix<double>& averages) {
  PatchGrid grid;
  FOLIM_RETURN_IF_ERROR(gridOf(source, pw, ph, grid));
  if (firstRow >= endRow) return status::Success;
  if (endRow > grid.rows || averages.rows() < 3 || averages.cols() < grid.count())
    return status::InconsistentParameters;
  return guardStatus([&] {
    switch (colorSpace) {
      case kColorSpaceRGB:
        extractRows<&colorspace_inline::rgbForward>(source, pw, ph, firstRow, endRow, out,
                                                    averages);
        return status::Success;
      case kColorSpaceYCC:
        extractRows<&colorspace_inline::yccForward>(source, pw, ph, firstRow, endRow, out,
                                                    averages);
        return status::Success;
      case kColorSpaceHSV:
        extractRows<&colorspace_inline::hsvForward>(source, pw, ph, firstRow, endRow, out,
                                                    averages);
        return status::Success;
      default:
        return status::UnsupportedColorSpace;
    }
  });
}

Status arrangePatches(std::uint16_t colorSpace, std::uint32_t patchWidth, std::uint32_t patchHeight,
                      CImage& target, PatchMatrix& patches, const KPX::Matrix<double>& averages) {
  InverseConversion inverse = nullptr;
  bool directRows = false;
  switch (colorSpace) {
    case kColorSpaceRGB:
      directRows = patchWidth % 4 == 0 && patchHeight % 4 == 0 && target.GetBPP() == 24;
      inverse = &rgbInverse;
      break;
    case kColorSpaceYCC:
      inverse = &yccInverse;
      break;
    case kColorSpaceHSV:
      inverse = &hsvInverse;
      break;
    default:
      return status::Success;
  }

  const std::uint32_t pw = patches.patchWidth;
  const std::uint32_t ph = patches.patchHeight;
  if (pw == 0 || ph == 0) return status::InvalidArguments;
  const std::uint32_t width = imageWidth(target);
  const std::uint32_t height = imageHeight(target);
  const PatchGrid grid = patchGrid(width, height, pw, ph);
  const std::uint64_t n64 = static_cast<std::uint64_t>(pw) * ph;
  const std::uint64_t count64 = static_cast<std::uint64_t>(grid.columns) * grid.rows;
  if (3 * n64 > UINT32_MAX || count64 > UINT32_MAX) return status::InconsistentParameters;
  const std::uint32_t n = static_cast<std::uint32_t>(n64);
  const std::uint32_t count = static_cast<std::uint32_t>(count64);
  // Matrices that do not cover the target's grid (a damaged file) would be
  // read out of bounds: refuse them before any pixel is written.
  if (!shapesFit(patches, averages, count, n)) return status::InconsistentParameters;

  return guardStatus([&] {
    if (directRows) {
      std::uint8_t* top = target.GetBits();
      const std::ptrdiff_t pitch = target.GetPitch();
      for (std::uint32_t k = 0; k < count; ++k) {
        double* row = patches[k];
        addPatchMean(row, n, averageOf(averages, k));
        const std::uint32_t x0 = (k % grid.columns) * pw;
        const std::uint32_t y0 = (k / grid.columns) * ph;
        const std::uint32_t rows = std::min(ph, height - y0);
        const std::uint32_t cols = std::min(pw, width - x0);
        for (std::uint32_t y = 0; y < rows; ++y) {
          const double* red = row + static_cast<std::size_t>(y) * pw;
          const double* green = red + n;
          const double* blue = green + n;
          std::uint8_t* dst = top + static_cast<std::ptrdiff_t>(y0 + y) * pitch +
                              static_cast<std::ptrdiff_t>(x0) * 3;
          for (std::uint32_t x = 0; x < cols; ++x, dst += 3) {
            dst[0] = channelToByte(blue[x]);
            dst[1] = channelToByte(green[x]);
            dst[2] = channelToByte(red[x]);
          }
        }
      }
      return status::Success;
    }

    PixelAccess access(target);
    for (std::uint32_t k = 0; k < count; ++k) {
      double* row = patches[k];
      addPatchMean(row, n, averageOf(averages, k));
      const std::uint32_t x0 = (k % grid.columns) * pw;
      const std::uint32_t y0 = (k / grid.columns) * ph;
      for (std::uint32_t y = 0; y < ph && y0 + y < height; ++y) {
        for (std::uint32_t x = 0; x < pw && x0 + x < width; ++x) {
          const std::size_t i = static_cast<std::size_t>(y) * pw + x;
          ColorTriple t;
          t.c0 = row[i];
          t.c1 = row[n + i];
          t.c2 = row[2 * static_cast<std::size_t>(n) + i];
          std::uint32_t colour = 0;
          inverse(t, colour);
          target.SetPixel(static_cast<int>(x0 + x), static_cast<int>(y0 + y), colour);
        }
      }
    }
    return status::Success;
  });
}

Status renderAverageImage(const KPX::Matrix<double>& averages, std::uint16_t colorSpace,
                          std::uint32_t width, std::uint32_t height, std::uint32_t patchWidth,
                          std::uint32_t patchHeight, InverseConversion inverse, CImage& target) {
  const PatchGrid grid = patchGrid(width, height, patchWidth, patchHeight);
  const std::uint64_t count64 = static_cast<std::uint64_t>(grid.columns) * grid.rows;
  if (count64 > UINT32_MAX) return status::PlatformError;
  const std::uint32_t count = static_cast<std::uint32_t>(count64);
  if (count > 0 &&
      (averages.rows() < 3 || averages.cols() < count || averages.data() == nullptr ||
       averages.count() != static_cast<std::uint64_t>(averages.rows()) * averages.cols())) {
    return status::InconsistentParameters;
  }

  target.Destroy();
  if (count == 0 || grid.columns > INT_MAX || grid.rows > INT_MAX ||
      !target.Create(static_cast<int>(grid.columns), static_cast<int>(grid.rows), 24)) {
    return status::PlatformError;
  }

  return guardStatus([&] {
    if (colorSpace == kColorSpaceRGB) {
      std::uint8_t* top = target.GetBits();
      const std::ptrdiff_t pitch = target.GetPitch();
      for (std::uint32_t j = 0; j < grid.rows; ++j) {
        std::uint8_t* dst = top + static_cast<std::ptrdiff_t>(j) * pitch;
        const std::uint32_t first = j * grid.columns;
        for (std::uint32_t i = 0; i < grid.columns; ++i, dst += 3) {
          dst[0] = channelToByte(averages[2][first + i]);
          dst[1] = channelToByte(averages[1][first + i]);
          dst[2] = channelToByte(averages[0][first + i]);
        }
      }
      return status::Success;
    }

    // Without a conversion from the caller the colour space's own is used; an
    // unknown colour space leaves the image black.
    if (inverse == nullptr) inverse = inverseConversion(colorSpace);
    if (inverse == nullptr) return status::Success;
    PixelAccess access(target);
    for (std::uint32_t j = 0; j < grid.rows; ++j) {
      for (std::uint32_t i = 0; i < grid.columns; ++i) {
        ColorTriple t = averageOf(averages, j * grid.columns + i);
        std::uint32_t colour = 0;
        inverse(t, colour);
        target.SetPixel(static_cast<int>(i), static_cast<int>(j), colour);
      }
    }
    return status::Success;
  });
}
