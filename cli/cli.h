// folim-cli: every job of the system from the command line. Exit status 0 on
// success, 1 on a failed job, 2 on bad usage.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Arguments of one sub-command (without the program and command names),
// with the streams it writes to.
struct Invocation {
  std::vector<std::string> args;
  std::ostream& out;
  std::ostream& err;
  bool quiet = false;  // --quiet: no codec trace
};

struct Command {
  const char* name;
  const char* synopsis;  // one line for the overview
  const char* help;      // full help text
  std::function<int(Invocation&)> run;
};

// The registered sub-commands, in the order --help lists them.
const std::vector<Command>& commands();

// Runs the program with its full argument list (argv[0] excluded).
int runCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same with the given commands only (their overview, their dispatch).
int runCommands(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const std::vector<Command>& table);

// Helpers for sub-commands: splits options from positional arguments.
// Options take the forms --name VALUE, --name=VALUE or --flag.
struct ParsedArgs {
  std::vector<std::string> positional;
  std::vector<std::pair<std::string, std::string>> options;  // name without "--"
  std::string error;                                         // non-empty on bad usage
  bool has(const std::string& name) const;
  std::string value(const std::string& name, const std::string& fallback = {}) const;
};
// valueOptions: options that take a value; flagOptions: options that do not.
// A whole number in [low, high] written in decimal digits, or -1.
long parseCount(const std::string& text, long low, long high);

ParsedArgs parseArgs(const std::vector<std::string>& args,
                     const std::vector<std::string>& valueOptions,
                     const std::vector<std::string>& flagOptions);

// Sub-commands.
int runParams(Invocation& inv);
int runEncode(Invocation& inv);
int runDecode(Invocation& inv);
int runPreview(Invocation& inv);
int runInfo(Invocation& inv);
int runConvertToRim(Invocation& inv);
int runConvertToBmp(Invocation& inv);
int runSearch(Invocation& inv);
int runCompare(Invocation& inv);
int runIndex(Invocation& inv);
int runDuplicates(Invocation& inv);

}  // namespace cli
