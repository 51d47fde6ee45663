#include "cli/encode_command.h"

#include <ostream>

#include "cli/encoder_options.h"
#include "cli/file_checks.h"
#include "codec/parameter_checks.h"
#include "codec/rim_codec.h"
#include "platform/directory.h"

namespace cli {
namespace {

const std::string kUsage =
    std::string("Usage: folim-cli encode [--config FILE] [--method pca|ica] ") +
    "[--bases FILE]\n                        " + kEncoderOptionsUsage + " INPUT OUTPUT.rim\n";

// An ordinary image that cannot be coded is refused from its header, before
// its pixels cost time and memory: one too large for the codec, or one whose
// data is cut short. Writes the reason to err and returns false.
bool refuseBeforeDecoding(const CRIMCodec& codec, const EncoderInput& reader,
                          const std::string& input, const std::string& prefix, std::ostream& err) {
  if (reader.isRim(input) || !inputFileProblem(input).empty()) return true;
  int width = 0, height = 0;
  if (reader.readSize(input, width, height) &&
      codec.checkImageSize(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)) !=
          status::Success) {
    err << prefix << input << ": the image is too large to encode (" << width << " x " << height
        << " pixels)\n";
    return false;
  }
  const std::string damage = reader.damage(input);
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

int encodeWith(Invocation& inv, EncoderInput& reader) {
  const ParsedArgs args = parseEncodeArgs(inv.args);
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
  if (!refuseBeforeDecoding(codec, reader, input, prefix, inv.err)) return kExitFailed;
  if (!reader.load(input, prefix, inv.err)) return kExitFailed;
  result = codec.encodeFile(output, reader.image(), bases.empty() ? nullptr : bases.c_str());
  if (result != status::Success) {
    inv.err << prefix << output << ": " << statusLine(result);
    return kExitFailed;
  }
  return kExitOk;
}

ParsedArgs parseEncodeArgs(const std::vector<std::string>& args) {
  return parseArgs(args, withEncoderValueOptions({"config", "method", "bases"}),
                   encoderFlagOptions());
}

Command encodeCommand(int (*run)(Invocation&)) {
  static const std::string encoderHelp = "\n" + encoderOptionsHelp();
  static const std::string help =
      "Usage: folim-cli encode [--config FILE] [--method pca|ica] [--bases FILE]\n"
      "                        " +
      std::string(kEncoderOptionsUsage) +
      " INPUT OUTPUT.rim\n"
      "\n"
      "Encodes INPUT (any image Qt reads, or a RIM file, which is decoded first)\n"
      "into the RIM file OUTPUT with the parameters of config.ini beside the\n"
      "program, or of FILE. --method pca learns PCA bases (MaxIterations 0);\n"
      "--method ica learns ICA bases (MaxIterations 100 when config.ini gives 0).\n"
      "Without --method, MaxIterations is used as config.ini gives it.\n"
      "--bases FILE reuses the bases stored in FILE, or stores the learned\n"
      "bases there when FILE does not exist yet; a FILE that exists but is not\n"
      "a readable bases file is refused and left untouched.\n"
      "The codec trace (parameters, learning, step timings, header and size\n"
      "dumps) goes to standard output.\n" +
      encoderHelp;
  return {"encode", "convert one image file to a RIM file", help.c_str(), run};
}

}  // namespace cli
