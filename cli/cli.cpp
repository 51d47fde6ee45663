#include "cli/cli.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ostream>

#include "cli/global_options.h"
#include "codec/trace.h"
#include "numeric/parallel.h"

namespace cli {
namespace {

const char* const kOverview =
    "Usage: folim-cli [--quiet] [--threads N] COMMAND [OPTIONS] ARGS...\n"
    "\n"
    "Folim converts images to and from RIM, the retrieval-aware image format,\n"
    "and ranks RIM files by similarity to a query without decoding them.\n"
    "\n"
    "Commands:\n";

const char* const kFooter =
    "\n"
    "Options for every command:\n"
    "  --quiet      do not print the codec trace (parameters, timings, dumps)\n"
    "  --help       show help for the command\n"
    "  --threads N  (before the command) threads that share the work on one\n"
    "               image; default: one per core. Files do not depend on it.\n"
    "\n"
    "Conversion parameters come from config.ini beside the program, else from\n"
    "$XDG_CONFIG_HOME/folim/config.ini, else from the installed default\n"
    "(defaults when none is there; `folim-cli params` names the file read).\n"
    "Exit status: 0 success, 1 failed job, 2 bad usage.\n";

void printOverview(std::ostream& out, const std::vector<Command>& table) {
  out << kOverview;
  for (const Command& c : table) {
    std::string name = c.name;
    name.resize(std::max<std::size_t>(name.size(), 16), ' ');
    out << "  " << name << c.synopsis << "\n";
  }
  out << kFooter;
}

// Results that did not reach their destination (a full disk, /dev/full, a
// closed pipe) fail the command instead of passing for a complete answer.
int checkOutput(std::ostream& out, std::ostream& err, const std::string& name, int code) {
  errno = 0;
  out.flush();
  if (out) return code;
  const int error = errno;
  err << "folim-cli" << (name.empty() ? "" : " ") << name << ": cannot write the output"
      << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << "\n";
  return kExitFailed;
}

}  // namespace

bool ParsedArgs::has(const std::string& name) const {
  return std::any_of(options.begin(), options.end(),
                     [&](const auto& o) { return o.first == name; });
}

std::string ParsedArgs::value(const std::string& name, const std::string& fallback) const {
  // The last occurrence wins, as users expect from repeated options.
  for (auto it = options.rbegin(); it != options.rend(); ++it)
    if (it->first == name) return it->second;
  return fallback;
}

long parseCount(const std::string& text, long low, long high) {
  if (text.empty() || text.size() > 9) return -1;
  long value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high ? value : -1;
}

ParsedArgs parseArgs(const std::vector<std::string>& args,
                     const std::vector<std::string>& valueOptions,
                     const std::vector<std::string>& flagOptions) {
  ParsedArgs parsed;
  auto contains = [](const std::vector<std::string>& list, const std::string& s) {
    return std::find(list.begin(), list.end(), s) != list.end();
  };
  bool onlyPositional = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (onlyPositional || a.size() < 2 || a[0] != '-' || a[1] != '-') {
      parsed.positional.push_back(a);
      continue;
    }
    if (a == "--") {
      onlyPositional = true;
      continue;
    }
    std::string name = a.substr(2);
    std::string value;
    const std::size_t eq = name.find('=');
    const bool inlineValue = eq != std::string::npos;
    if (inlineValue) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    if (contains(valueOptions, name)) {
      if (!inlineValue) {
        if (i + 1 >= args.size()) {
          parsed.error = "option --" + name + " needs a value";
          return parsed;
        }
        value = args[++i];
      }
      parsed.options.emplace_back(name, value);
    } else if (contains(flagOptions, name) && !inlineValue) {
      parsed.options.emplace_back(name, "");
    } else {
      parsed.error = "unknown option --" + name;
      return parsed;
    }
  }
  return parsed;
}

int runCommands(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const std::vector<Command>& table) {
  const GlobalOptions global = parseGlobalOptions(args);
  if (global.threads != 0) KPX::setThreadCount(global.threads);
  switch (global.end) {
    case GlobalOptions::End::Command:
      break;
    case GlobalOptions::End::Help:
      printOverview(out, table);
      return checkOutput(out, err, "", kExitOk);
    case GlobalOptions::End::Version:
      out << "folim-cli 0.1.0\n";
      return checkOutput(out, err, "", kExitOk);
    case GlobalOptions::End::BadThreads:
      err << "folim-cli: --threads needs a number from 1 to 256\n";
      return kExitUsage;
    case GlobalOptions::End::UnknownOption:
      err << "folim-cli: unknown option " << args[global.next] << "\n";
      printOverview(err, table);
      return kExitUsage;
    case GlobalOptions::End::NoCommand:
      printOverview(err, table);
      return kExitUsage;
  }
  const std::size_t i = global.next;
  bool quiet = global.quiet;
  const std::string name = args[i];
  if (name == "help") {
    if (i + 1 < args.size()) {
      for (const Command& c : table)
        if (args[i + 1] == c.name) {
          out << c.help;
          return checkOutput(out, err, "help", kExitOk);
        }
    }
    printOverview(out, table);
    return checkOutput(out, err, "help", kExitOk);
  }
  for (const Command& c : table) {
    if (name != c.name) continue;
    std::vector<std::string> rest(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
        std::find(rest.begin(), rest.end(), "-h") != rest.end()) {
      out << c.help;
      return checkOutput(out, err, name, kExitOk);
    }
    if (std::find(rest.begin(), rest.end(), "--quiet") != rest.end()) {
      quiet = true;
      rest.erase(std::remove(rest.begin(), rest.end(), "--quiet"), rest.end());
    }
    Invocation inv{rest, out, err, quiet};
    // The codec trace goes to the command's output stream unless silenced.
    TraceTarget redirect(quiet ? nullptr : &out);
    const int code = c.run(inv);
    return checkOutput(out, err, name, code);
  }
  err << "folim-cli: unknown command '" << name << "'\n\n";
  printOverview(err, table);
  return kExitUsage;
}

}  // namespace cli
