// A direct writer of 24-bit rasters as BMP files: the rows go to the file as
// they lie in memory, without the converted copy of the whole image that the
// generic writer makes first. The bytes are those of Qt's BMP writer for the
// same raster (same headers, same resolution fields, zero row padding).
#pragma once

#include <QIODevice>

#include "codec/raster.h"

namespace imageio {

// True for a raster this writer takes: 24 bits per pixel, not empty.
bool directBmpWritable(const CImage& image);
// Writes image (directBmpWritable) to out; false on a short write.
bool writeBmp24(const CImage& image, QIODevice& out);

}  // namespace imageio
