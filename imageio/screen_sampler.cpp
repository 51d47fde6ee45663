#include "imageio/screen_sampler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace imageio {
namespace {

// Window pixels are filled in tiles of this many on a side: a turned
// picture reads its raster across rows, and a tile keeps those rows cached.
constexpr int kTile = 64;

// The index (0 to count - 1) of the picture pixel under the centre of
// window pixel `position`, the picture's `count` pixels stretched over
// [origin, origin + extent).
int pictureIndex(int position, double origin, double extent, int count) {
  const double at = std::floor((position + 0.5 - origin) * count / extent);
  return static_cast<int>(std::clamp(at, 0.0, static_cast<double>(count - 1)));
}

// Which raster pixel each window column and row shows. Turned by an even
// number of quarters a column fixes the raster x and a row the raster y;
// turned by an odd number, a column fixes y and a row fixes x.
struct Lookup {
  bool sideways = false;
  std::vector<int> ofColumn;
  std::vector<int> ofRow;
};

Lookup lookup(const CImage& raster, int turns, const QRectF& placed, const QRect& area) {
  const int width = raster.GetWidth();
  const int height = raster.GetHeight();
  Lookup table;
  table.sideways = turns % 2 == 1;
  // The turned picture's size in raster pixels.
  const int shownWidth = table.sideways ? height : width;
  const int shownHeight = table.sideways ? width : height;
  table.ofColumn.resize(static_cast<std::size_t>(area.width()));
  table.ofRow.resize(static_cast<std::size_t>(area.height()));
  for (int i = 0; i < area.width(); ++i) {
    const int u = pictureIndex(area.left() + i, placed.left(), placed.width(), shownWidth);
    // Column u of the turned picture is raster column u (no turn), raster
    // column width-1-u (half turn), raster row height-1-u (a quarter
    // clockwise) or raster row u (a quarter anticlockwise).
    const int flipped = table.sideways ? height - 1 - u : width - 1 - u;
    table.ofColumn[static_cast<std::size_t>(i)] = (turns == 0 || turns == 3) ? u : flipped;
  }
  for (int j = 0; j < area.height(); ++j) {
    const int v = pictureIndex(area.top() + j, placed.top(), placed.height(), shownHeight);
    // Row v is raster row v, row height-1-v, column v or column width-1-v.
    const int flipped = table.sideways ? width - 1 - v : height - 1 - v;
    table.ofRow[static_cast<std::size_t>(j)] = (turns == 0 || turns == 1) ? v : flipped;
  }
  return table;
}

// Fills out with fetch(x, y) of the raster pixel each window pixel shows.
template <bool Sideways, typename Fetch>
void fill(QImage& out, const Lookup& table, Fetch fetch) {
  const int width = out.width();
  const int height = out.height();
  for (int top = 0; top < height; top += kTile) {
    for (int left = 0; left < width; left += kTile) {
      const int right = std::min(left + kTile, width);
      const int bottom = std::min(top + kTile, height);
      for (int j = top; j < bottom; ++j) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
        const int row = table.ofRow[static_cast<std::size_t>(j)];
        for (int i = left; i < right; ++i) {
          const int column = table.ofColumn[static_cast<std::size_t>(i)];
          line[i] = Sideways ? fetch(row, column) : fetch(column, row);
        }
      }
    }
  }
}

template <typename Fetch>
void fillTurned(QImage& out, const Lookup& table, Fetch fetch) {
  if (table.sideways) {
    fill<true>(out, table, fetch);
  } else {
    fill<false>(out, table, fetch);
  }
}

// Smooth sampling weighs, along each direction, the raster pixels a window
// pixel draws from: the ones its footprint covers (by the part covered) when
// shrinking, the two nearest its centre (linearly) when enlarging. A window
// pixel is the sum over both directions' taps of the products of weights.
constexpr int kWeightBits = 8;
constexpr int kWeightOne = 1 << kWeightBits;
// Past this many raster pixels per window pixel, that many evenly spread
// samples stand for the footprint: the cost of a redraw stays bounded.
constexpr int kMostTaps = 4;

struct Taps {
  std::vector<int> first{0};  // taps of window pixel i: first[i] to first[i + 1]
  std::vector<int> index;     // raster column or row
  std::vector<int> weight;    // out of kWeightOne

  void add(int at, double w) {
    index.push_back(at);
    weight.push_back(static_cast<int>(std::lround(w * kWeightOne)));
  }
  // Closes a window pixel's taps, their weights summing to kWeightOne.
  void close() {
    const int begin = first.back();
    const int end = static_cast<int>(index.size());
    int sum = 0;
    int largest = begin;
    for (int k = begin; k < end; ++k) {
      sum += weight[static_cast<std::size_t>(k)];
      if (weight[static_cast<std::size_t>(k)] > weight[static_cast<std::size_t>(largest)])
        largest = k;
    }
    weight[static_cast<std::size_t>(largest)] += kWeightOne - sum;
    first.push_back(end);
  }
};

// The taps of `window` pixels from `start`, the turned picture's `count`
// pixels stretched over [origin, origin + extent); toRaster turns a picture
// index into a raster column or row.
template <typename ToRaster>
Taps smoothTaps(int start, int window, double origin, double extent, int count, ToRaster toRaster) {
  Taps taps;
  const double footprint = count / extent;  // picture pixels per window pixel
  const auto clampIndex = [count](double at) {
    return static_cast<int>(std::clamp(std::floor(at), 0.0, static_cast<double>(count - 1)));
  };
  for (int i = 0; i < window; ++i) {
    const double centre = (start + i + 0.5 - origin) * footprint;
    if (footprint <= 1.0) {
      const double x = centre - 0.5;
      const double below = std::floor(x);
      const double t = x - below;
      taps.add(toRaster(clampIndex(below)), 1.0 - t);
      taps.add(toRaster(clampIndex(below + 1.0)), t);
    } else if (footprint <= kMostTaps) {
      const double low = centre - footprint / 2;
      const double high = centre + footprint / 2;
      for (double k = std::floor(low); k < high; k += 1.0) {
        const double covered = std::min(high, k + 1.0) - std::max(low, k);
        if (covered > 0.0) taps.add(toRaster(clampIndex(k)), covered / footprint);
      }
    } else {
      const double low = centre - footprint / 2;
      for (int k = 0; k < kMostTaps; ++k)
        taps.add(toRaster(clampIndex(low + (k + 0.5) * footprint / kMostTaps)), 1.0 / kMostTaps);
    }
    taps.close();
  }
  return taps;
}

// Fills out with the weighted sums of fetch(x, y) over each window pixel's
// column and row taps.
template <bool Sideways, typename Fetch>
void fillSmooth(QImage& out, const Taps& columns, const Taps& rows, Fetch fetch) {
  for (int j = 0; j < out.height(); ++j) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(j));
    const int rowBegin = rows.first[static_cast<std::size_t>(j)];
    const int rowEnd = rows.first[static_cast<std::size_t>(j) + 1];
    for (int i = 0; i < out.width(); ++i) {
      const int columnBegin = columns.first[static_cast<std::size_t>(i)];
      const int columnEnd = columns.first[static_cast<std::size_t>(i) + 1];
      std::uint32_t sum[4] = {0, 0, 0, 0};
      for (int b = rowBegin; b < rowEnd; ++b) {
        const int row = rows.index[static_cast<std::size_t>(b)];
        const int rowWeight = rows.weight[static_cast<std::size_t>(b)];
        for (int a = columnBegin; a < columnEnd; ++a) {
          const int column = columns.index[static_cast<std::size_t>(a)];
          const auto w =
              static_cast<std::uint32_t>(rowWeight * columns.weight[static_cast<std::size_t>(a)]);
          const QRgb pixel = Sideways ? fetch(row, column) : fetch(column, row);
          sum[0] += w * static_cast<std::uint32_t>(qRed(pixel));
          sum[1] += w * static_cast<std::uint32_t>(qGreen(pixel));
          sum[2] += w * static_cast<std::uint32_t>(qBlue(pixel));
          sum[3] += w * static_cast<std::uint32_t>(qAlpha(pixel));
        }
      }
      constexpr std::uint32_t kHalf = 1u << (2 * kWeightBits - 1);
      const auto channel = [&](int c) {
        return static_cast<int>(
            std::min<std::uint32_t>(255u, (sum[c] + kHalf) >> (2 * kWeightBits)));
      };
      line[i] = qRgba(channel(0), channel(1), channel(2), channel(3));
    }
  }
}

// The smooth counterpart of lookup() and fillTurned().
template <typename Fetch>
void fillSmoothTurned(QImage& out, const CImage& raster, int turns, const QRectF& placed,
                      const QRect& area, Fetch fetch) {
  const int width = raster.GetWidth();
  const int height = raster.GetHeight();
  const bool sideways = turns % 2 == 1;
  const int shownWidth = sideways ? height : width;
  const int shownHeight = sideways ? width : height;
  // As in lookup(): the raster column or row a turned picture's column u or
  // row v comes from.
  const int columnFlip = (sideways ? height : width) - 1;
  const int rowFlip = (sideways ? width : height) - 1;
  const bool columnKept = turns == 0 || turns == 3;
  const bool rowKept = turns == 0 || turns == 1;
  const Taps columns =
      smoothTaps(area.left(), area.width(), placed.left(), placed.width(), shownWidth,
                 [&](int u) { return columnKept ? u : columnFlip - u; });
  const Taps rows = smoothTaps(area.top(), area.height(), placed.top(), placed.height(),
                               shownHeight, [&](int v) { return rowKept ? v : rowFlip - v; });
  if (sideways) {
    fillSmooth<true>(out, columns, rows, fetch);
  } else {
    fillSmooth<false>(out, columns, rows, fetch);
  }
}

}  // namespace

QImage sampleTurned(const CImage& raster, int quarterTurns, const QRectF& placed, const QRect& area,
                    Sampling sampling) {
  if (raster.IsNull() || area.isEmpty() || placed.width() <= 0 || placed.height() <= 0) return {};
  const int turns = (quarterTurns % 4 + 4) % 4;
  const bool alpha = raster.GetBPP() == 32 && raster.HasAlpha();
  QImage out(area.size(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (out.isNull()) return {};
  // Both ways of filling take the same fetch of one raster pixel.
  const auto fillWith = [&](auto fetch) {
    if (sampling == Sampling::Smooth) {
      fillSmoothTurned(out, raster, turns, placed, area, fetch);
    } else {
      fillTurned(out, lookup(raster, turns, placed, area), fetch);
    }
  };

  const std::uint8_t* top = raster.GetBits();
  const std::ptrdiff_t pitch = raster.GetPitch();
  switch (raster.GetBPP()) {
    case 32: {
      // Blue, green, red, alpha: the order of a 32-bit QImage pixel. Qt
      // needs the unused byte of an RGB pixel set.
      const QRgb opaque = alpha ? 0u : 0xFF000000u;
      fillWith([&](int x, int y) {
        QRgb pixel;
        std::memcpy(&pixel, top + y * pitch + 4 * static_cast<std::ptrdiff_t>(x), sizeof pixel);
        return pixel | opaque;
      });
      break;
    }
    case 24:
      fillWith([&](int x, int y) {
        const std::uint8_t* p = top + y * pitch + 3 * static_cast<std::ptrdiff_t>(x);
        return qRgb(p[2], p[1], p[0]);
      });
      break;
    default:
      // Palettes and 16-bit pixels through the raster's own reading.
      fillWith([&](int x, int y) {
        const std::uint32_t word = raster.GetPixel(x, y);
        return qRgb(static_cast<int>(colorRed(word)), static_cast<int>(colorGreen(word)),
                    static_cast<int>(colorBlue(word)));
      });
      break;
  }
  return out;
}

}  // namespace imageio
