// folim-cli decode and preview: a RIM file to an ordinary image file, in
// full or as the one-pixel-per-patch preview of its averages. BMP files are
// written here; other formats through the image library, which the program
// hands in (the start-up without it runs BMP outputs only).
#pragma once

#include <string>

#include "cli/cli.h"
#include "codec/raster.h"

namespace cli {

// The image library's part: the writer a path's extension names ("" for
// none) and the writing itself.
struct ImageWriters {
  std::string (*formatFor)(const std::string& path);
  bool (*save)(const CImage& image, const std::string& path);
};

enum class Rendering { Full, Preview };

// writers: null where only BMP outputs are given.
int decodeOrPreview(Invocation& inv, Rendering rendering, const ImageWriters* writers);

// True when path's extension is .bmp, whatever its case.
bool namesBmp(const std::string& path);

// The decode command's entry in a command table, running with writers.
Command decodeCommand(int (*run)(Invocation&));

}  // namespace cli
