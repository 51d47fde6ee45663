// 24-bit rasters as BMP files, written straight from their rows: the bottom
// row first, rows padded with zeros to four bytes, 100 dots per inch (the
// bytes Qt's BMP writer gives for the same raster).
#pragma once

#include <cstdio>
#include <string>

#include "codec/raster.h"

namespace bmp {

// True for a raster these functions take: 24 bits per pixel, not empty.
bool writable(const CImage& image);
// Writes image (writable) to file; false when it is not writable, the file
// would pass 4 GiB or a write failed.
bool write(const CImage& image, std::FILE* file);
// Writes image (writable) as the file path, which appears whole or not at
// all; false with *error set to the errno of the failure.
bool save(const CImage& image, const std::string& path, int* error);

}  // namespace bmp
