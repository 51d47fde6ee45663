// folim-cli decode and preview: a RIM file to an ordinary image file, in
// full or as the one-pixel-per-patch preview of its averages.
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "codec/rim_codec.h"
#include "imageio/library_io.h"

namespace cli {
namespace {

enum class Rendering { Full, Preview };

int decodeOrPreview(Invocation& inv, Rendering rendering) {
  const bool full = rendering == Rendering::Full;
  const std::string prefix = full ? "folim-cli decode: " : "folim-cli preview: ";
  const char* usage = full ? "Usage: folim-cli decode INPUT.rim OUTPUT.bmp|png|jpg|tif...\n"
                           : "Usage: folim-cli preview INPUT.rim OUTPUT.png\n";
  const ParsedArgs args = parseArgs(inv.args, {}, {});
  if (!args.error.empty() || args.positional.size() != 2) {
    inv.err << prefix << (args.error.empty() ? "expected INPUT and OUTPUT" : args.error) << "\n"
            << usage;
    return kExitUsage;
  }
  const std::string& input = args.positional[0];
  const std::string& output = args.positional[1];
  if (writerFormatFor(output).empty()) {
    inv.err << prefix << output << ": no image format for the extension '"
            << targetExtension(output) << "' (use .bmp, .png, .jpg, .tif...)\n"
            << usage;
    return kExitUsage;
  }
  const std::string outputProblem = outputFileProblem(output);
  if (!outputProblem.empty()) {
    inv.err << prefix << output << ": " << outputProblem << "\n";
    return kExitFailed;
  }
  if (sameFile(input, output)) {
    inv.err << prefix << output << ": the output would overwrite the input\n";
    return kExitFailed;
  }
  const std::string inputProblem = inputFileProblem(input);
  if (!inputProblem.empty()) {
    inv.err << prefix << input << ": " << inputProblem << "\n";
    return kExitFailed;
  }

  CImageEx image;
  CRIMCodec codec;
  const Status result =
      full ? codec.decodeFile(image, input) : codec.renderAveragePreview(image, input);
  if (result != status::Success) {
    inv.err << prefix << input << ": " << statusLine(result);
    return kExitFailed;
  }
  if (image.IsNull()) {
    // The averages of a YCbCr file are not drawn.
    inv.err << prefix << input << ": no preview for colour space " << codec.header.colorSpace
            << "\n";
    return kExitFailed;
  }
  if (!SaveByExtension(image, output)) {
    inv.err << prefix << output << ": the image cannot be written\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace

int runDecode(Invocation& inv) { return decodeOrPreview(inv, Rendering::Full); }
int runPreview(Invocation& inv) { return decodeOrPreview(inv, Rendering::Preview); }

}  // namespace cli
