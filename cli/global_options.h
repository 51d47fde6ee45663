// The options before the command ("folim-cli [--quiet] [--threads N]
// COMMAND ..."), read by one piece of code for both parts of the program: the
// BMP decoding that runs without the image library and the full command set.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct GlobalOptions {
  // What ends the options: a command, a request answered without one, a
  // mistake, or the end of the arguments.
  enum class End { Command, Help, Version, BadThreads, UnknownOption, NoCommand };
  End end = End::NoCommand;
  std::size_t next = 0;       // the command's or the unknown option's index
  bool quiet = false;         // --quiet
  std::uint32_t threads = 0;  // the last good --threads value; 0 when none came
};

// Reads options from the start of args up to the first argument that does not
// begin with "--" or the first one that ends them.
GlobalOptions parseGlobalOptions(const std::vector<std::string>& args);

}  // namespace cli
