// The colour table of a GIF file's first image. Qt decodes GIF files to
// 32-bit pixels; with the file's own table the loader can give them back as
// the 8-bit palette image the file holds.
#pragma once

#include <QImage>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace imageio {

struct GifPalette {
  std::vector<std::uint32_t> colours;  // 0x00RRGGBB, at most 256
  int transparentIndex = -1;           // -1: none
};

// Reads the header blocks of a GIF file up to its first image: the local
// colour table of that image when it has one, else the global one. Nothing
// for a file that is not a GIF, is damaged before that point or has no table.
std::optional<GifPalette> readGifPalette(const std::string& path);

// The 8-bit palette image with the palette's colours whose pixels show
// decoded (fully transparent pixels take the transparent index), or a null
// image when some pixel's colour is not in the palette.
QImage indexedWithPalette(const QImage& decoded, const GifPalette& palette);

}  // namespace imageio
