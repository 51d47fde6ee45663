#include "codec/patch_pixels.h"

#include <immintrin.h>

#include "codec/colorspace.h"
#include "numeric/cpu_features.h"

namespace {

// max(v, 0) yields its second operand for NaN, so NaN becomes 0 as in
// channelToByte; the truncating conversion then sees only [0, 255].
__attribute__((target("avx2"))) __m128i bytesOf(__m256d v, __m256d mean) {
  const __m256d low = _mm256_max_pd(_mm256_add_pd(v, mean), _mm256_setzero_pd());
  return _mm256_cvttpd_epi32(_mm256_min_pd(low, _mm256_set1_pd(255.0)));
}

// One line of count values into bytes.
__attribute__((target("avx2"), always_inline)) inline void lineBytesAvx2(const double* values,
                                                                         __m256d m,
                                                                         std::uint32_t count,
                                                                         std::uint8_t* out) {
  std::uint32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i a = bytesOf(_mm256_loadu_pd(values + i), m);
    const __m128i b = bytesOf(_mm256_loadu_pd(values + i + 4), m);
    const __m128i c = bytesOf(_mm256_loadu_pd(values + i + 8), m);
    const __m128i d = bytesOf(_mm256_loadu_pd(values + i + 12), m);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), bytes);
  }
  for (; i + 8 <= count; i += 8) {
    const __m128i a = bytesOf(_mm256_loadu_pd(values + i), m);
    const __m128i b = bytesOf(_mm256_loadu_pd(values + i + 4), m);
    const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_setzero_si128());
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i), bytes);
  }
  const double mean = _mm256_cvtsd_f64(m);
  for (; i < count; ++i) out[i] = channelToByte(values[i] + mean);
}

__attribute__((target("avx2"))) void channelBytesAvx2(const double* values, std::size_t valueStride,
                                                      double mean, std::uint32_t count,
                                                      std::uint32_t rows, std::uint8_t* out,
                                                      std::size_t outStride) {
  const __m256d m = _mm256_set1_pd(mean);
  for (std::uint32_t y = 0; y < rows; ++y, values += valueStride, out += outStride)
    lineBytesAvx2(values, m, count, out);
}

__attribute__((target("avx2"))) void stripToPlanesAvx2(const PatchStrip& strip,
                                                       std::uint8_t* planes) {
  const std::size_t planeSize = stripPlaneSize(strip);
  for (std::uint32_t gx = 0; gx < strip.columns; ++gx) {
    const StripPatch patch = stripPatch(strip, gx);
    for (std::uint32_t c = 0; c < 3; ++c) {
      const __m256d m = _mm256_set1_pd(strip.means[c][gx]);
      const double* values = patch.values + static_cast<std::size_t>(c) * strip.n;
      std::uint8_t* out = planes + c * planeSize + patch.x0;
      for (std::uint32_t y = 0; y < strip.rows; ++y, values += strip.pw, out += strip.width)
        lineBytesAvx2(values, m, patch.cols, out);
    }
  }
}

// Byte j of output block k takes byte (16k + j) / 3 of the plane whose
// channel is (16k + j) % 3; the other lanes are zeroed by the 0x80 index.
__attribute__((target("avx2"))) __m128i spreadMask(int block, int channel) {
  alignas(16) std::uint8_t mask[16];
  for (int j = 0; j < 16; ++j) {
    const int at = 16 * block + j;
    mask[j] = at % 3 == channel ? static_cast<std::uint8_t>(at / 3) : 0x80;
  }
  return _mm_load_si128(reinterpret_cast<const __m128i*>(mask));
}

__attribute__((target("avx2"))) void interleaveBgrAvx2(const std::uint8_t* blue,
                                                       const std::uint8_t* green,
                                                       const std::uint8_t* red, std::uint32_t count,
                                                       std::uint8_t* out) {
  __m128i masks[3][3];
  for (int k = 0; k < 3; ++k)
    for (int c = 0; c < 3; ++c) masks[k][c] = spreadMask(k, c);
  std::uint32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(blue + i));
    const __m128i g = _mm_loadu_si128(reinterpret_cast<const __m128i*>(green + i));
    const __m128i r = _mm_loadu_si128(reinterpret_cast<const __m128i*>(red + i));
    std::uint8_t* dst = out + 3 * static_cast<std::size_t>(i);
    for (int k = 0; k < 3; ++k) {
      const __m128i v = _mm_or_si128(
          _mm_or_si128(_mm_shuffle_epi8(b, masks[k][0]), _mm_shuffle_epi8(g, masks[k][1])),
          _mm_shuffle_epi8(r, masks[k][2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 16 * k), v);
    }
  }
  interleaveBgrScalar(blue + i, green + i, red + i, count - i,
                      out + 3 * static_cast<std::size_t>(i));
}

}  // namespace

void channelBytesScalar(const double* values, std::size_t valueStride, double mean,
                        std::uint32_t count, std::uint32_t rows, std::uint8_t* out,
                        std::size_t outStride) {
  for (std::uint32_t y = 0; y < rows; ++y, values += valueStride, out += outStride)
    for (std::uint32_t i = 0; i < count; ++i) out[i] = channelToByte(values[i] + mean);
}

void interleaveBgrScalar(const std::uint8_t* blue, const std::uint8_t* green,
                         const std::uint8_t* red, std::uint32_t count, std::uint8_t* out) {
  for (std::uint32_t i = 0; i < count; ++i, out += 3) {
    out[0] = blue[i];
    out[1] = green[i];
    out[2] = red[i];
  }
}

void stripToPlanesScalar(const PatchStrip& strip, std::uint8_t* planes) {
  const std::size_t planeSize = stripPlaneSize(strip);
  for (std::uint32_t gx = 0; gx < strip.columns; ++gx) {
    const StripPatch patch = stripPatch(strip, gx);
    for (std::uint32_t c = 0; c < 3; ++c) {
      channelBytesScalar(patch.values + static_cast<std::size_t>(c) * strip.n, strip.pw,
                         strip.means[c][gx], patch.cols, strip.rows,
                         planes + c * planeSize + patch.x0, strip.width);
    }
  }
}

// The versions of each conversion by vector level (numeric/cpu_features.h).
namespace {
using StripKernel = void (*)(const PatchStrip& strip, std::uint8_t* planes);
const KPX::LevelKernel<StripKernel> kStripToPlanes{stripToPlanesScalar, stripToPlanesAvx2};
using ChannelKernel = void (*)(const double* values, std::size_t valueStride, double mean,
                               std::uint32_t count, std::uint32_t rows, std::uint8_t* out,
                               std::size_t outStride);
const KPX::LevelKernel<ChannelKernel> kChannelBytes{channelBytesScalar, channelBytesAvx2};
using InterleaveKernel = void (*)(const std::uint8_t* blue, const std::uint8_t* green,
                                  const std::uint8_t* red, std::uint32_t count, std::uint8_t* out);
const KPX::LevelKernel<InterleaveKernel> kInterleaveBgr{interleaveBgrScalar, interleaveBgrAvx2};
}  // namespace

void stripToPlanes(const PatchStrip& strip, std::uint8_t* planes) {
  kStripToPlanes.current()(strip, planes);
}

void channelBytes(const double* values, std::size_t valueStride, double mean, std::uint32_t count,
                  std::uint32_t rows, std::uint8_t* out, std::size_t outStride) {
  kChannelBytes.current()(values, valueStride, mean, count, rows, out, outStride);
}

void interleaveBgr(const std::uint8_t* blue, const std::uint8_t* green, const std::uint8_t* red,
                   std::uint32_t count, std::uint8_t* out) {
  kInterleaveBgr.current()(blue, green, red, count, out);
}
