// 24-bit rasters as BMP files, written straight from their rows: the bottom
// row first, rows padded with zeros to four bytes, 100 dots per inch (the
// bytes Qt's BMP writer gives for the same raster).
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/raster.h"

namespace bmp {

inline constexpr std::uint32_t kHeaderBytes = 14 + 40;
using Header = std::array<std::uint8_t, kHeaderBytes>;

// True for a raster these functions take: 24 bits per pixel, not empty.
bool writable(const CImage& image);
// The file and information headers; false when the file would pass 4 GiB.
bool makeHeader(const CImage& image, Header& header);
// Bytes per row in the file.
std::uint32_t rowBytes(const CImage& image);
// Rows last - 1 down to last - count of image, as they follow each other in
// the file, into out (count x rowBytes bytes; the padding is zeroed).
void rowsUpwards(const CImage& image, std::uint32_t last, std::uint32_t count, std::uint8_t* out);
// Writes image (writable) to file; false when it is not writable or a write
// failed.
bool write(const CImage& image, std::FILE* file);
// Writes image (writable) as the file path, which appears whole or not at
// all; false with *error set to the errno of the failure.
bool save(const CImage& image, const std::string& path, int* error);

}  // namespace bmp
