// Running folim-cli's commands in the test's own process, through the
// function the program calls, with both output streams captured. Only for
// test programs that link the command-line library.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace testing_support {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

inline CliRun runCli(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = cli::runCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace testing_support
