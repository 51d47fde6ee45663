// The table of sub-commands.
#include "cli/cli.h"

namespace cli {

const std::vector<Command>& commands() {
  static const std::vector<Command> table = {
      {"params", "print the conversion parameters config.ini gives",
       "Usage: folim-cli params [--config FILE]\n"
       "\n"
       "Prints the parameter dump for the conversion parameters read from\n"
       "config.ini beside the program, or from FILE. A file that cannot be\n"
       "opened gives the defaults.\n",
       runParams},
  };
  return table;
}

}  // namespace cli
