#include <ostream>

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
  if (args.has("config"))
    loadConversionParameters(args.value("config"), common, learning, compression);
  else
    loadConversionParameters(common, learning, compression);
  // The dump is this command's output, so it is printed even with --quiet.
  inv.out << parameterDump(common, learning, compression);
  return kExitOk;
}

}  // namespace cli
