#include <filesystem>
#include <ostream>
#include <system_error>

#include "cli/cli.h"
#include "codec/parameters.h"

namespace cli {

int runParams(Invocation& inv) {
  const ParsedArgs args = parseArgs(inv.args, {"config"}, {});
  if (!args.error.empty() || !args.positional.empty()) {
    inv.err << "folim-cli params: " << (args.error.empty() ? "unexpected argument" : args.error)
            << "\nUsage: folim-cli params [--config FILE]\n";
    return kExitUsage;
  }
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  const std::string path = args.has("config") ? args.value("config") : configPath();
  loadConversionParameters(path, common, learning, compression);
  // The dump is this command's output, so it is printed even with --quiet.
  inv.out << parameterDump(common, learning, compression);
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
