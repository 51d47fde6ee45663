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
      {"search", "rank the RIM files of a folder by similarity to a query",
       "Usage: folim-cli search [--color-mode block|histogram|csd] [--color-weight PERCENT]\n"
       "                        [--recursive] [--top N] [--threads N] QUERY.rim DIR\n"
       "\n"
       "Ranks the RIM files in DIR (and its sub-folders with --recursive) whose\n"
       "bases were learned like the query's (both PCA or both ICA) by their\n"
       "similarity to QUERY.rim, reading only their bases and patch averages.\n"
       "Prints one line per file, best first: score, edge similarity, colour\n"
       "similarity and path. score = (1 - w) * edge + w * colour with w the colour\n"
       "percentage / 100. A file that cannot be read scores -1 in the measure\n"
       "concerned.\n"
       "\n"
       "  --color-mode MODE     block (block means), histogram, or csd (colour\n"
       "                        structure, the default)\n"
       "  --color-weight PCT    colour percentage 0..100; default 70, or the preset\n"
       "                        of a chosen mode: block 90, histogram 75, csd 70\n"
       "  --recursive           include sub-folders\n"
       "  --top N               print only the N best\n"
       "  --threads N           score on N threads (default: all cores); the\n"
       "                        ranking does not depend on it\n",
       runSearch},
  };
  return table;
}

}  // namespace cli
