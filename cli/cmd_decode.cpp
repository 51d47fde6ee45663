// folim-cli decode and preview with the image library: every format it
// writes, besides the BMP files written directly.
#include "cli/cli.h"
#include "cli/decode_command.h"
#include "imageio/library_io.h"

namespace cli {
namespace {

std::string libraryFormatFor(const std::string& path) { return writerFormatFor(path); }
bool librarySave(const CImage& image, const std::string& path) {
  return SaveByExtension(image, path);
}
const ImageWriters kLibraryWriters{libraryFormatFor, librarySave};

}  // namespace

int runDecode(Invocation& inv) { return decodeOrPreview(inv, Rendering::Full, &kLibraryWriters); }
int runPreview(Invocation& inv) {
  return decodeOrPreview(inv, Rendering::Preview, &kLibraryWriters);
}

}  // namespace cli
