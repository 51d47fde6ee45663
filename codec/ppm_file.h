// Binary PPM files of 8-bit samples read straight into a raster, without
// the image library: the form photographs take on their way between tools.
// Only the plain case is taken here; anything else (16-bit samples, other
// kinds, a file shorter or longer than its pixels) is left to the image
// library.
#pragma once

#include <string>

#include "codec/raster.h"

namespace ppm {

// The size a plain file announces: "P6", width, height and 255 separated by
// blanks and comments, one blank, then exactly width x height x 3 bytes up
// to the end of the file. False for any other file.
bool probe(const std::string& path, int& width, int& height);

// Reads a file probe() takes as 32-bit pixels (blue, green, red, 255), top
// row first: the raster the image library gives for it. False, with image
// empty, for any other file or when memory runs out.
bool read(const std::string& path, CImage& image);

}  // namespace ppm
