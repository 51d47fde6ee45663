#include "codec/patch_gram.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "codec/colorspace.h"
#include "codec/patches.h"
#include "numeric/pair_gram.h"
#include "numeric/parallel.h"

// Why the result equals the double product bit for bit. A patch of n = pw * ph
// pixels (n a power of two) has channel sums S (integers), so its mean S / n
// and every value v = x - S / n are exact multiples of 1 / n in doubles, and
// n * |v| <= 255 n. Every product v_i v_j is then a multiple of 1 / n^2 with
// n^2 |v_i v_j| <= 255^2 n^2, and every partial sum over K patches, in any
// order and fused or not, is a multiple of 1 / n^2 below K 255^2 n^2 / n^2:
// with K 255^2 n^2 < 2^53 all of them are exact, so the double product is the
// exact sum, and so is this one. Accumulation starts from +0 there and exact
// zeros come out +0 here too. With the raw pixel sums P_ij = sum x_i x_j,
// T_cj = sum S_c x_j (the sum of P_ij over the columns i of channel c) and
// U_ab = sum S_a S_b (the sum of T_aj over the columns j of channel b):
//   n^2 G_ij = n^2 P_ij - n T_a(i)j - n T_b(j)i + U_a(i)b(j),
// every term an integer below 2^53, so its conversion and the division by the
// power of two n^2 are exact.

namespace {

constexpr std::uint32_t kMaxPixelsPerPatch = 256;

bool powerOfTwo(std::uint32_t n) { return n != 0 && (n & (n - 1)) == 0; }

// The grid row gy packed in pairs of patches (2q in the low halves, 2q + 1 in
// the high ones; a missing last patch stays zero): column c * n + y * pw + x
// of a patch is channel c (red, green, blue) of its pixel (x, y), past the
// right or bottom edge the last column or row repeated.
template <std::size_t Step>
void packGridRow(const CImage& image, std::uint32_t gy, std::uint32_t pw, std::uint32_t ph,
                 std::uint32_t columns, std::uint32_t stride, std::uint32_t* out) {
  const auto width = static_cast<std::uint32_t>(image.GetWidth());
  const auto height = static_cast<std::uint32_t>(image.GetHeight());
  const std::uint32_t n = pw * ph;
  const std::uint32_t pairs = (columns + 1) / 2;
  for (std::uint32_t y = 0; y < ph; ++y) {
    const std::uint32_t sy = std::min(gy * ph + y, height - 1);
    const std::uint8_t* const line =
        image.GetBits() + static_cast<std::ptrdiff_t>(sy) * image.GetPitch();
    for (std::uint32_t q = 0; q < pairs; ++q) {
      std::uint32_t* const dst = out + static_cast<std::size_t>(q) * stride + y * pw;
      const bool second = 2 * q + 1 < columns;
      const std::uint32_t x0 = 2 * q * pw;
      if (x0 + 2 * pw <= width) {
        // Both patches inside the image: no edge to repeat.
        const std::uint8_t* const a = line + static_cast<std::size_t>(x0) * Step;
        const std::uint8_t* const c = a + static_cast<std::size_t>(pw) * Step;
        for (std::uint32_t x = 0; x < pw; ++x) {
          dst[x] = a[x * Step + 2] | std::uint32_t{c[x * Step + 2]} << 16;
          dst[n + x] = a[x * Step + 1] | std::uint32_t{c[x * Step + 1]} << 16;
          dst[2 * n + x] = a[x * Step] | std::uint32_t{c[x * Step]} << 16;
        }
        continue;
      }
      for (std::uint32_t x = 0; x < pw; ++x) {
        const std::uint8_t* const a = line + std::min(x0 + x, width - 1) * Step;
        std::uint32_t r = a[2];
        std::uint32_t g = a[1];
        std::uint32_t b = a[0];
        if (second) {
          const std::uint8_t* const c = line + std::min(x0 + pw + x, width - 1) * Step;
          r |= std::uint32_t{c[2]} << 16;
          g |= std::uint32_t{c[1]} << 16;
          b |= std::uint32_t{c[0]} << 16;
        }
        dst[x] = r;
        dst[n + x] = g;
        dst[2 * n + x] = b;
      }
    }
  }
}

}  // namespace

bool integerPatchGram(std::uint16_t colorSpace, const CImage& source, std::uint32_t pw,
                      std::uint32_t ph, KPX::Matrix<double>& gram) {
  if (colorSpace != kColorSpaceRGB || source.IsNull()) return false;
  if (source.GetBPP() != 24 && source.GetBPP() != 32) return false;
  if (source.GetWidth() <= 0 || source.GetHeight() <= 0) return false;
  if (pw == 0 || ph == 0 || pw > kMaxPixelsPerPatch || ph > kMaxPixelsPerPatch) return false;
  const std::uint32_t n = pw * ph;
  if (!powerOfTwo(n) || n > kMaxPixelsPerPatch) return false;
  const PatchGrid grid = patchGrid(static_cast<std::uint32_t>(source.GetWidth()),
                                   static_cast<std::uint32_t>(source.GetHeight()), pw, ph);
  const std::uint64_t count = std::uint64_t{grid.columns} * grid.rows;
  const std::uint64_t n2 = std::uint64_t{n} * n;
  // count < 2^32 and 255^2 n^2 < 2^32: the product fits.
  if (count == 0 || count > UINT32_MAX || count * 65025 * n2 >= (std::uint64_t{1} << 53))
    return false;

  const std::uint32_t d = 3 * n;
  KPX::PairGram total(d);
  const std::uint32_t stride = total.stride();
  const std::uint32_t pairs = (grid.columns + 1) / 2;
  std::mutex merging;
  source.BeginAccess();
  try {
    KPX::parallelFor(grid.rows, 1, [&](std::uint64_t begin, std::uint64_t end) {
      KPX::PairGram part(d);
      // Zero once: the words past d and a missing last patch are never written.
      std::vector<std::uint32_t> packed(static_cast<std::size_t>(pairs) * stride, 0);
      for (std::uint64_t gy = begin; gy < end; ++gy) {
        if (source.GetBPP() == 24)
          packGridRow<3>(source, static_cast<std::uint32_t>(gy), pw, ph, grid.columns, stride,
                         packed.data());
        else
          packGridRow<4>(source, static_cast<std::uint32_t>(gy), pw, ph, grid.columns, stride,
                         packed.data());
        part.add(packed.data(), pairs);
      }
      const std::lock_guard<std::mutex> lock(merging);
      total.merge(part);
    });
  } catch (...) {
    source.EndAccess();
    throw;
  }
  source.EndAccess();

  const std::vector<std::int64_t>& p = total.upper();
  const auto at = [&](std::uint32_t i, std::uint32_t j) {
    return i <= j ? p[static_cast<std::size_t>(i) * stride + j]
                  : p[static_cast<std::size_t>(j) * stride + i];
  };
  std::vector<std::int64_t> t(3 * static_cast<std::size_t>(d), 0);
  for (std::uint32_t c = 0; c < 3; ++c)
    for (std::uint32_t j = 0; j < d; ++j)
      for (std::uint32_t i = c * n; i < (c + 1) * n; ++i) t[c * d + j] += at(i, j);
  std::int64_t u[3][3] = {};
  for (std::uint32_t a = 0; a < 3; ++a)
    for (std::uint32_t b = 0; b < 3; ++b)
      for (std::uint32_t j = b * n; j < (b + 1) * n; ++j) u[a][b] += t[a * d + j];

  gram.resize(d, d);
  const auto nn = static_cast<std::int64_t>(n);
  const auto scale = static_cast<double>(n2);
  for (std::uint32_t i = 0; i < d; ++i) {
    const std::uint32_t a = i / n;
    for (std::uint32_t j = i; j < d; ++j) {
      const std::uint32_t b = j / n;
      const std::int64_t sum = nn * nn * at(i, j) - nn * t[a * d + j] - nn * t[b * d + i] + u[a][b];
      const double value = static_cast<double>(sum) / scale;
      gram[i][j] = value;
      gram[j][i] = value;
    }
  }
  return true;
}
