#include "cli/decode_command.h"

#include <strings.h>
#include <ostream>

#include "cli/file_checks.h"
#include "codec/bmp_file.h"
#include "codec/rim_codec.h"
#include "platform/paths.h"

namespace cli {
namespace {

std::string formatFor(const std::string& path, const ImageWriters* writers) {
  if (namesBmp(path)) return "bmp";
  return writers != nullptr ? writers->formatFor(path) : std::string();
}

bool save(const CImage& image, const std::string& path, const ImageWriters* writers) {
  // 24-bit BMP, what every decoding gives, goes straight from the rows.
  if (namesBmp(path) && bmp::writable(image)) {
    int error = 0;
    return bmp::save(image, path, &error);
  }
  return writers != nullptr && writers->save(image, path);
}

}  // namespace

bool namesBmp(const std::string& path) {
  return ::strcasecmp(platform::fileExtension(path).c_str(), ".bmp") == 0;
}

int decodeOrPreview(Invocation& inv, Rendering rendering, const ImageWriters* writers) {
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
  if (formatFor(output, writers).empty()) {
    inv.err << prefix << output << ": no image format for the extension '"
            << platform::fileExtension(output) << "' (use .bmp, .png, .jpg, .tif...)\n"
            << usage;
    return kExitUsage;
  }
  const std::string outputProblem = outputProblemFor(input, output);
  if (!outputProblem.empty()) {
    inv.err << prefix << output << ": " << outputProblem << "\n";
    return kExitFailed;
  }
  const std::string inputProblem = inputFileProblem(input);
  if (!inputProblem.empty()) {
    inv.err << prefix << input << ": " << inputProblem << "\n";
    return kExitFailed;
  }

  CImage image;
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
  if (!save(image, output, writers)) {
    inv.err << prefix << output << ": the image cannot be written\n";
    return kExitFailed;
  }
  return kExitOk;
}

Command decodeCommand(int (*run)(Invocation&)) {
  return {"decode", "convert a RIM file to an ordinary image file",
          "Usage: folim-cli decode INPUT.rim OUTPUT.bmp|png|jpg|tif...\n"
          "\n"
          "Decodes INPUT and writes it in the format that OUTPUT's extension names\n"
          "(compared without regard to case). The step timings go to standard output.\n",
          run};
}

}  // namespace cli
