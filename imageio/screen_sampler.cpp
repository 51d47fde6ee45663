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

}  // namespace

QImage sampleTurned(const CImage& raster, int quarterTurns, const QRectF& placed,
                    const QRect& area) {
  if (raster.IsNull() || area.isEmpty() || placed.width() <= 0 || placed.height() <= 0) return {};
  const int turns = (quarterTurns % 4 + 4) % 4;
  const bool alpha = raster.GetBPP() == 32 && raster.HasAlpha();
  QImage out(area.size(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  if (out.isNull()) return {};
  const Lookup table = lookup(raster, turns, placed, area);

  const std::uint8_t* top = raster.GetBits();
  const std::ptrdiff_t pitch = raster.GetPitch();
  switch (raster.GetBPP()) {
    case 32: {
      // Blue, green, red, alpha: the order of a 32-bit QImage pixel. Qt
      // needs the unused byte of an RGB pixel set.
      const QRgb opaque = alpha ? 0u : 0xFF000000u;
      fillTurned(out, table, [&](int x, int y) {
        QRgb pixel;
        std::memcpy(&pixel, top + y * pitch + 4 * static_cast<std::ptrdiff_t>(x), sizeof pixel);
        return pixel | opaque;
      });
      break;
    }
    case 24:
      fillTurned(out, table, [&](int x, int y) {
        const std::uint8_t* p = top + y * pitch + 3 * static_cast<std::ptrdiff_t>(x);
        return qRgb(p[2], p[1], p[0]);
      });
      break;
    default:
      // Palettes and 16-bit pixels through the raster's own reading.
      fillTurned(out, table, [&](int x, int y) {
        const std::uint32_t word = raster.GetPixel(x, y);
        return qRgb(static_cast<int>(colorRed(word)), static_cast<int>(colorGreen(word)),
                    static_cast<int>(colorBlue(word)));
      });
      break;
  }
  return out;
}

}  // namespace imageio
