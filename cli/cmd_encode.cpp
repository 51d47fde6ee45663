// folim-cli encode: one image file to one RIM file.
#include <ostream>

#include "cli/cli.h"
#include "cli/cli_io.h"
#include "cli/encoder_options.h"
#include "codec/parameter_checks.h"
#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "imageio/file_kind.h"
#include "imageio/image_damage.h"
#include "imageio/library_io.h"
#include "platform/directory.h"

namespace cli {
namespace {

const std::string kUsage =
    std::string("Usage: folim-cli encode [--config FILE] [--method pca|ica] ") +
    "[--bases FILE]\n                        " + kEncoderOptionsUsage + " INPUT OUTPUT.rim\n";

// An ordinary image that cannot be coded is refused from its header, before
// its pixels cost time and memory: one too large for the codec, or one whose
// data is cut short. Writes the reason to err and returns false.
bool refuseBeforeDecoding(const CRIMCodec& codec, const std::string& input,
                          const std::string& prefix, std::ostream& err) {
  if (GetFileKind(input) == kFileKindRim || !inputFileProblem(input).empty()) return true;
  int width = 0, height = 0;
  if (ReadImageSize(input, width, height) &&
      codec.checkImageSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)) !=
          status::Success) {
    err << prefix << input << ": the image is too large to encode (" << width << " x " << height
        << " pixels)\n";
    return false;
  }
  const std::string damage = imageio::imageDamage(input);
  if (!damage.empty()) {
    err << prefix << input << ": " << damage << "\n";
    return false;
  }
  return true;
}

}  // namespace

std::string methodChoice(const std::string& text) {
  const std::string lower = platform::toLowerAscii(text);
  if (lower == "pca") return "PCA";
  if (lower == "ica") return "ICA";
  return {};
}

void applyMethod(const std::string& method, LearningParameters& learning) {
  if (method == "PCA") {
    learning.MaxIterations = 0;
  } else if (method == "ICA" && learning.MaxIterations == 0) {
    learning.MaxIterations = 100;
  }
}

int runEncode(Invocation& inv) {
  const ParsedArgs args = parseArgs(
      inv.args, withEncoderValueOptions({"config", "method", "bases"}), encoderFlagOptions());
  const std::string prefix = "folim-cli encode: ";
  if (!args.error.empty() || args.positional.size() != 2) {
    inv.err << prefix << (args.error.empty() ? "expected INPUT and OUTPUT" : args.error) << "\n"
            << kUsage;
    return kExitUsage;
  }
  std::string method;
  if (args.has("method")) {
    method = methodChoice(args.value("method"));
    if (method.empty()) {
      inv.err << prefix << "--method must be pca or ica\n" << kUsage;
      return kExitUsage;
    }
  }
  EncoderSettings settings;
  std::string settingsError;
  if (!readEncoderSettings(args, settings, settingsError)) {
    inv.err << prefix << settingsError << "\n" << kUsage;
    return kExitUsage;
  }
  const std::string& input = args.positional[0];
  const std::string& output = args.positional[1];

  const std::string outputProblem = outputProblemFor(input, output);
  if (!outputProblem.empty()) {
    inv.err << prefix << output << ": " << outputProblem << "\n";
    return kExitFailed;
  }
  const std::string config = args.has("config") ? args.value("config") : configPath();
  const std::string configProblem = args.has("config") ? configFileProblem(config) : std::string();
  if (!configProblem.empty()) {
    inv.err << prefix << config << ": " << configProblem << "\n";
    return kExitFailed;
  }
  const std::string bases = args.value("bases");
  if (!bases.empty()) {
    std::string basesProblem = basesFileProblem(bases);
    if (basesProblem.empty() && (bases == output || sameFile(bases, output)))
      basesProblem = "the bases file cannot be the output";
    if (!basesProblem.empty()) {
      inv.err << prefix << bases << ": " << basesProblem << "\n";
      return kExitFailed;
    }
  }

  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  loadConversionParameters(config, common, learning, compression);
  applyMethod(method, learning);
  const RdOptions rd = applyEncoderSettings(settings, common, learning, compression);

  CRIMCodec codec;
  codec.rd = rd;
  Status result = codec.setParameters(&common, &learning, &compression);
  if (result != status::Success) {
    inv.err << prefix << "the conversion parameters were refused: " << statusLine(result);
    const std::string cause =
        describeParameterFault(findParameterFault(common, learning, compression), config);
    if (!cause.empty()) inv.err << prefix << cause << "\n";
    return kExitFailed;
  }
  CImageEx image;
  if (!refuseBeforeDecoding(codec, input, prefix, inv.err)) return kExitFailed;
  if (!loadInputImage(input, image, prefix, inv.err)) return kExitFailed;
  result = codec.encodeFile(output, image, bases.empty() ? nullptr : bases.c_str());
  if (result != status::Success) {
    inv.err << prefix << output << ": " << statusLine(result);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace cli
