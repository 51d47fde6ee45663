// Turning a picture file for good, by quarter turns: a JPEG by its
// orientation tag (its compressed picture kept as it is), any other picture
// read whole, turned and written again in its own format.
#pragma once

#include <cstdint>
#include <string>

#include "codec/raster.h"

// target becomes source turned by quarterTurns clockwise (negative:
// anticlockwise), of the same depth, colour table and pixel format. False
// (target empty) when source is empty or the turned raster cannot be made.
bool turnRaster(const CImage& source, int quarterTurns, CImage& target);

// Turns the picture at path by quarterTurns clockwise. A JPEG keeps its
// compressed data (only its orientation tag is rewritten); a RIM file
// (baseType, or its name, says so) is decoded and encoded again with the
// parameters of config.ini; any other picture is written again with the
// writer of its extension. The file is replaced whole or not at all. False,
// with the reason in why, when it cannot be read, turned or written.
bool turnImageFile(const std::string& path, std::uint16_t baseType, int quarterTurns,
                   std::string& why);
