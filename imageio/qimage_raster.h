// Moving pixels between Qt's QImage and the codec's raster.
#pragma once

#include <QImage>
#include <QImageReader>

#include "codec/raster.h"

namespace imageio {

// Replaces target by a copy of source, choosing the raster depth from the
// source's pixel format: formats with alpha become 32 bits with alpha (blue,
// green, red, alpha); 1 and 8-bit palettes, 16-bit 5-5-5 and 5-6-5, 24 and
// 32-bit RGB keep their depth; anything else becomes 32-bit RGB. Palettes
// are copied to the colour table. False (target empty) for a null source,
// one over the raster pixel limit, or memory exhaustion.
bool rasterFromQImage(const QImage& source, CImage& target);

// What reading a picture straight into a raster came to.
enum class DirectRead {
  Unsuitable,  // nothing read: the reader's format needs converting, or a turn is asked for
  Done,        // the raster holds the picture
  Decoded,     // the reader made an image of its own, handed back to be copied
  Failed,      // the reader failed; its errorString() says why
};

// Reads the picture of the announced size into a fresh top-down raster when
// the reader announces a format the raster keeps as it is (32-bit RGB, with
// or without alpha) and no turn: the decoder then writes the raster's rows
// itself, with no full-size image in between to copy.
DirectRead readIntoRaster(QImageReader& reader, const QSize& size, CImage& target, QImage& decoded);

// A deep copy of the raster as a QImage of the matching format (4-bit
// rasters become 8-bit indexed). Null for an empty raster.
QImage qimageFromRaster(const CImage& source);

}  // namespace imageio
