// The full command set as the program loads it.
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

extern "C" __attribute__((visibility("default"))) int folimCliMain(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return cli::runCli(args, std::cout, std::cerr);
}
