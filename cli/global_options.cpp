#include "cli/global_options.h"

#include <cstdlib>

namespace cli {
namespace {

// A thread count from 1 to 256 as strtoul reads it (leading blanks and a sign
// allowed, nothing after the digits), or 0.
std::uint32_t threadCountFrom(const std::string& text) {
  char* end = nullptr;
  const unsigned long threads = std::strtoul(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || threads == 0 || threads > 256) return 0;
  return static_cast<std::uint32_t>(threads);
}

}  // namespace

GlobalOptions parseGlobalOptions(const std::vector<std::string>& args) {
  using End = GlobalOptions::End;
  GlobalOptions options;
  const auto endWith = [&options](End end) {
    options.end = end;
    return options;
  };
  std::size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0; ++i) {
    options.next = i;
    if (args[i] == "--quiet") {
      options.quiet = true;
    } else if (args[i] == "--threads") {
      const std::uint32_t threads = i + 1 < args.size() ? threadCountFrom(args[i + 1]) : 0;
      if (threads == 0) return endWith(End::BadThreads);
      options.threads = threads;
      ++i;
    } else if (args[i] == "--help") {
      return endWith(End::Help);
    } else if (args[i] == "--version") {
      return endWith(End::Version);
    } else {
      return endWith(End::UnknownOption);
    }
  }
  options.next = i;
  return endWith(i < args.size() ? End::Command : End::NoCommand);
}

}  // namespace cli
