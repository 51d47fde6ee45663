#include "codec/ycc_pixels.h"

#include <immintrin.h>

#include <cstddef>

#include "codec/colorspace.h"
#include "codec/raster.h"
#include "numeric/cpu_features.h"

namespace {

// One pixel as the per-pixel path converts it.
inline void pixel(double y, double cb, double cr, std::uint8_t* red, std::uint8_t* green,
                  std::uint8_t* blue) {
  ColorTriple t;
  t.c0 = y;
  t.c1 = cb;
  t.c2 = cr;
  std::uint32_t colour = 0;
  yccInverse(t, colour);
  *red = static_cast<std::uint8_t>(colorRed(colour));
  *green = static_cast<std::uint8_t>(colorGreen(colour));
  *blue = static_cast<std::uint8_t>(colorBlue(colour));
}

// Products and sums rounded one at a time, as the scalar code (no fused
// multiply-add: the target has none); max(v, 0) gives 0 for NaN.
__attribute__((target("avx2"))) __m128i clampToInts(__m256d v) {
  const __m256d low = _mm256_max_pd(v, _mm256_setzero_pd());
  return _mm256_cvttpd_epi32(_mm256_min_pd(low, _mm256_set1_pd(255.0)));
}

__attribute__((target("avx2"))) void storeEight(__m128i a, __m128i b, std::uint8_t* out) {
  const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
  _mm_storel_epi64(reinterpret_cast<__m128i*>(out), bytes);
}

struct Rgb4 {
  __m128i red, green, blue;
};

__attribute__((target("avx2"))) Rgb4 convertFour(const double* y, const double* cb,
                                                 const double* cr, __m256d my, __m256d mcb,
                                                 __m256d mcr) {
  const __m256d half = _mm256_set1_pd(128.0);
  const __m256d c0 = _mm256_add_pd(_mm256_loadu_pd(y), my);
  const __m256d c1 = _mm256_sub_pd(_mm256_add_pd(_mm256_loadu_pd(cb), mcb), half);
  const __m256d c2 = _mm256_sub_pd(_mm256_add_pd(_mm256_loadu_pd(cr), mcr), half);
  const __m256d red = _mm256_add_pd(c0, _mm256_mul_pd(_mm256_set1_pd(1.402), c2));
  const __m256d green = _mm256_sub_pd(_mm256_sub_pd(c0, _mm256_mul_pd(_mm256_set1_pd(0.34414), c1)),
                                      _mm256_mul_pd(_mm256_set1_pd(0.71414), c2));
  const __m256d blue = _mm256_add_pd(c0, _mm256_mul_pd(_mm256_set1_pd(1.772), c1));
  return {clampToInts(red), clampToInts(green), clampToInts(blue)};
}

__attribute__((target("avx2"))) void stripAvx2(const PatchStrip& strip, std::uint8_t* planes) {
  const std::size_t planeSize = stripPlaneSize(strip);
  for (std::uint32_t gx = 0; gx < strip.columns; ++gx) {
    const StripPatch patch = stripPatch(strip, gx);
    const double means[3] = {strip.means[0][gx], strip.means[1][gx], strip.means[2][gx]};
    const __m256d my = _mm256_set1_pd(means[0]);
    const __m256d mcb = _mm256_set1_pd(means[1]);
    const __m256d mcr = _mm256_set1_pd(means[2]);
    for (std::uint32_t line = 0; line < strip.rows; ++line) {
      const double* y = patch.values + static_cast<std::size_t>(line) * strip.pw;
      const double* cb = y + strip.n;
      const double* cr = cb + strip.n;
      std::uint8_t* red = planes + static_cast<std::size_t>(line) * strip.width + patch.x0;
      std::uint8_t* green = red + planeSize;
      std::uint8_t* blue = green + planeSize;
      std::uint32_t i = 0;
      for (; i + 8 <= patch.cols; i += 8) {
        const Rgb4 a = convertFour(y + i, cb + i, cr + i, my, mcb, mcr);
        const Rgb4 b = convertFour(y + i + 4, cb + i + 4, cr + i + 4, my, mcb, mcr);
        storeEight(a.red, b.red, red + i);
        storeEight(a.green, b.green, green + i);
        storeEight(a.blue, b.blue, blue + i);
      }
      for (; i < patch.cols; ++i)
        pixel(y[i] + means[0], cb[i] + means[1], cr[i] + means[2], red + i, green + i, blue + i);
    }
  }
}

}  // namespace

void yccStripToPlanesScalar(const PatchStrip& strip, std::uint8_t* planes) {
  const std::size_t planeSize = stripPlaneSize(strip);
  for (std::uint32_t gx = 0; gx < strip.columns; ++gx) {
    const StripPatch patch = stripPatch(strip, gx);
    for (std::uint32_t line = 0; line < strip.rows; ++line) {
      const double* y = patch.values + static_cast<std::size_t>(line) * strip.pw;
      std::uint8_t* red = planes + static_cast<std::size_t>(line) * strip.width + patch.x0;
      for (std::uint32_t i = 0; i < patch.cols; ++i) {
        pixel(y[i] + strip.means[0][gx], y[i + strip.n] + strip.means[1][gx],
              y[i + 2 * static_cast<std::size_t>(strip.n)] + strip.means[2][gx], red + i,
              red + planeSize + i, red + 2 * planeSize + i);
      }
    }
  }
}

namespace {
// The versions by vector level (numeric/cpu_features.h).
using StripKernel = void (*)(const PatchStrip& strip, std::uint8_t* planes);
const KPX::LevelKernel<StripKernel> kYccStripToPlanes{yccStripToPlanesScalar, stripAvx2};
}  // namespace

void yccStripToPlanes(const PatchStrip& strip, std::uint8_t* planes) {
  kYccStripToPlanes.current()(strip, planes);
}
