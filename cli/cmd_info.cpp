// folim-cli info: the header dump and the size dump of a RIM file, read
// from its header and the three section headers alone.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "codec/rimformat.h"
#include "codec/trace.h"

namespace cli {
namespace {

const char* const kUsage = "Usage: folim-cli info INPUT.rim\n";

}  // namespace

int runInfo(Invocation& inv) {
  const std::string prefix = "folim-cli info: ";
  const ParsedArgs args = parseArgs(inv.args, {}, {});
  if (!args.error.empty() || args.positional.size() != 1) {
    inv.err << prefix << (args.error.empty() ? "expected one RIM file" : args.error) << "\n"
            << kUsage;
    return kExitUsage;
  }
  const std::string& input = args.positional[0];
  const std::string problem = inputFileProblem(input);
  if (!problem.empty()) {
    inv.err << prefix << input << ": " << problem << "\n";
    return kExitFailed;
  }
  std::FILE* file = std::fopen(input.c_str(), "rb");
  if (file == nullptr) {
    inv.err << prefix << input << ": " << statusLine(status::CannotOpenFile);
    return kExitFailed;
  }
  RIMHeader header;
  const Status headerRead = readHeader(file, header);
  std::error_code sizeError;
  const std::uint64_t fileSize = std::filesystem::file_size(input, sizeError);
  std::uint32_t sizes[3] = {0, 0, 0};
  const Status sectionsRead =
      headerRead == status::Success ? readSectionSizes(file, fileSize, sizes) : headerRead;
  std::fclose(file);
  if (headerRead != status::Success) {
    inv.err << prefix << input << ": " << statusLine(headerRead);
    return kExitFailed;
  }
  {
    // The dumps are this command's output: printed even with --quiet.
    TraceTarget toOutput(&inv.out);
    printHeader(header);
    if (sectionsRead == status::Success) printFileSizes(sizes[0], sizes[1], sizes[2]);
  }
  if (sectionsRead != status::Success) {
    inv.err << prefix << input << ": the sections do not fit in the file\n";
    return kExitFailed;
  }
  if (validateHeader(header, fileSize) != status::Success) {
    inv.err << prefix << input << ": the header holds sizes no image can have\n";
    return kExitFailed;
  }
  if (header.averageOffset != kRimHeaderSize || header.baseOffset != kRimHeaderSize + sizes[0] ||
      header.coeffOffset != header.baseOffset + sizes[1]) {
    inv.err << prefix << input << ": the section offsets of the header do not match the sections\n";
    return kExitFailed;
  }
  if (fileSize != std::uint64_t{kRimHeaderSize} + sizes[0] + sizes[1] + sizes[2]) {
    inv.err << prefix << input << ": " << fileSize - kRimHeaderSize - sizes[0] - sizes[1] - sizes[2]
            << " bytes follow the last section\n";
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace cli
