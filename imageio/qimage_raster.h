// Moving pixels between Qt's QImage and the codec's raster.
#pragma once

#include <QImage>

#include "codec/raster.h"

namespace imageio {

// Replaces target by a copy of source, choosing the raster depth from the
// source's pixel format: formats with alpha become 32 bits with alpha (blue,
// green, red, alpha); 1 and 8-bit palettes, 16-bit 5-5-5 and 5-6-5, 24 and
// 32-bit RGB keep their depth; anything else becomes 32-bit RGB. Palettes
// are copied to the colour table. False (target empty) for a null source,
// one over the raster pixel limit, or memory exhaustion.
bool rasterFromQImage(const QImage& source, CImage& target);

// A deep copy of the raster as a QImage of the matching format (4-bit
// rasters become 8-bit indexed). Null for an empty raster.
QImage qimageFromRaster(const CImage& source);

}  // namespace imageio
