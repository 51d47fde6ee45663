// What a window shows of a picture drawn turned and scaled: one raster pixel
// for each window pixel (nearest neighbour), computed only for the window
// pixels asked for, so a redraw costs what the window holds, not what the
// picture holds.
#pragma once

#include <QImage>
#include <QRect>
#include <QRectF>

#include "codec/raster.h"

namespace imageio {

// The window pixels `area` of the raster turned by quarterTurns clockwise
// and stretched over `placed` (window coordinates; it may reach past the
// window, and area should lie inside it). Window pixel (x, y) shows the
// raster pixel under its centre. An image of area's size, ARGB32 for a
// raster with alpha, else RGB32; null for an empty raster or area.
QImage sampleTurned(const CImage& raster, int quarterTurns, const QRectF& placed,
                    const QRect& area);

}  // namespace imageio
