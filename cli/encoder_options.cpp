#include "cli/encoder_options.h"

namespace cli {

std::vector<std::string> withEncoderValueOptions(std::vector<std::string> names) {
  for (const char* name : {"quality", "step", "dimension"}) names.push_back(name);
  return names;
}

const std::vector<std::string>& encoderFlagOptions() {
  static const std::vector<std::string> names = {"no-rdo"};
  return names;
}

const char* const kEncoderOptionsUsage =
    "[--quality archive|high|normal|small] [--step N] [--dimension N|auto] [--no-rdo]";

bool readEncoderSettings(const ParsedArgs& args, EncoderSettings& settings, std::string& error) {
  if (args.has("quality")) {
    const std::string name = args.value("quality");
    if (findQualityPreset(name) == nullptr) {
      error = "--quality must be archive, high, normal or small";
      return false;
    }
    settings.quality = name;
  }
  if (args.has("step") && !parseStep(args.value("step"), settings.step)) {
    error = "--step must be a whole number from 1 to " + std::to_string(kMaxCoeffStep);
    return false;
  }
  if (args.has("dimension") && !parseDimension(args.value("dimension"), settings)) {
    error = "--dimension must be a positive whole number or auto";
    return false;
  }
  settings.plainQuantiser = args.has("no-rdo");
  return true;
}

std::string encoderOptionsHelp() {
  std::string text =
      "--quality NAME picks a preset; --step N sets the coefficient quantisation\n"
      "step (CoeffQuantizeStep) for this run; both turn on the rate-distortion\n"
      "optimised quantiser, which --no-rdo turns off again. --dimension N keeps\n"
      "N bases; --dimension auto keeps, of the DimensionReduction bases learned,\n"
      "the leading ones worth their bits. Without these options config.ini decides everything. "
      "Presets:\n";
  for (const QualityPreset& preset : qualityPresets()) {
    text += "  " + std::string(preset.name) +
            std::string(9 - std::string(preset.name).size(), ' ') + "step " +
            std::to_string(preset.step) + (preset.autoDimension ? ", bases auto" : "") + ": " +
            preset.description + "\n";
  }
  return text;
}

}  // namespace cli
