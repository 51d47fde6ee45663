// What a window shows of a picture drawn turned and scaled, computed only
// for the window pixels asked for, so a redraw costs what the window holds,
// not what the picture holds. Nearest neighbour shows the picture's own
// pixels (deep zoom, one to one); smooth sampling averages the pixels a
// window pixel covers when shrinking and blends neighbours when enlarging,
// so a shrunk photograph shows no moire and a small one no blocks.
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>

#include "codec/raster.h"

namespace imageio {

enum class Sampling { Nearest, Smooth };

// The window pixels `area` of the raster turned by quarterTurns clockwise
// and stretched over `placed` (window coordinates; it may reach past the
// window, and area should lie inside it). Window pixel (x, y) shows the
// raster pixel under its centre. An image of area's size, ARGB32 for a
// raster with alpha, else RGB32; null for an empty raster or area.
QImage sampleTurned(const CImage& raster, int quarterTurns, const QRectF& placed, const QRect& area,
                    Sampling sampling = Sampling::Nearest);

}  // namespace imageio
