#include <filesystem>
#include <ostream>
#include <system_error>

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
  const std::string path = args.has("config") ? args.value("config") : configPath();
  loadConversionParameters(path, common, learning, compression);
  applyEncoderSettings(settings, common, learning, compression);
  // The dump is this command's output, so it is printed even with --quiet.
  inv.out << parameterDump(common, learning, compression) << encoderSettingsDump(settings);
  // Which file gave them, so that a user can tell which of the places
  // config.ini is looked for was used.
  std::error_code error;
  if (std::filesystem::is_regular_file(path, error))
    inv.out << "Config file: " << path << "\n";
  else
    inv.out << "Config file: none (" << path << " cannot be read; defaults)\n";
  return kExitOk;
}

}  // namespace cli
