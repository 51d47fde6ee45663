// A small reader and writer of BMP files for codec tests, which cannot use
// the platform image library.
#pragma once

#include <string>

#include "codec/raster.h"

namespace testing_support {

// Loads an uncompressed BMP (1, 4, 8 bits with a colour table, 16 bits as
// 5-5-5 or 5-6-5 bit fields, 24 and 32 bits) into image, keeping its depth
// and row order. Returns false, with the reason in error, for anything else.
bool loadBmp(const std::string& path, CImage& image, std::string* error = nullptr);

}  // namespace testing_support
