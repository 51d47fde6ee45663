#include <ostream>

#include "cli/cli.h"
#include "cli/encoder_options.h"
#include "codec/parameters.h"

namespace cli {

int runParams(Invocation& inv) {
  const ParsedArgs args =
      parseArgs(inv.args, withEncoderValueOptions({"config"}), encoderFlagOptions());
  EncoderSettings settings;
  std::string settingsError;
  if (args.error.empty() && args.positional.empty())
    readEncoderSettings(args, settings, settingsError);
  if (!args.error.empty() || !args.positional.empty() || !settingsError.empty()) {
    const std::string problem = !args.error.empty()      ? args.error
                                : !settingsError.empty() ? settingsError
                                                         : "unexpected argument";
    inv.err << "folim-cli params: " << problem << "\nUsage: folim-cli params [--config FILE] "
            << kEncoderOptionsUsage << "\n";
    return kExitUsage;
  }
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  if (args.has("config"))
    loadConversionParameters(args.value("config"), common, learning, compression);
  else
    loadConversionParameters(common, learning, compression);
  applyEncoderSettings(settings, common, learning, compression);
  // The dump is this command's output, so it is printed even with --quiet.
  inv.out << parameterDump(common, learning, compression) << encoderSettingsDump(settings);
  return kExitOk;
}

}  // namespace cli
