// `folim-cli params` names the file its parameters came from.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "codec/parameters.h"
#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

std::string paramsOutput(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  EXPECT_EQ(cli::runCli(args, out, err), 0);
  return out.str();
}

std::string lastLine(std::string text) {
  if (!text.empty() && text.back() == '\n') text.pop_back();
  const std::size_t at = text.rfind('\n');
  return at == std::string::npos ? text : text.substr(at + 1);
}

}  // namespace

TEST(CliParamsSource, NamesTheFileRead) {
  TempDir dir;
  writeFileBytes(dir.file("mine.ini"), defaultConfigText());
  struct Case {
    std::vector<std::string> args;
    std::string line;
  };
  const Case cases[] = {
      {{"params", "--config", dir.file("mine.ini")}, "Config file: " + dir.file("mine.ini")},
      {{"params", "--config", dir.file("none.ini")},
       "Config file: none (" + dir.file("none.ini") + " cannot be read; defaults)"},
      {{"params"}, "Config file: " + configPath()},
  };
  for (const Case& c : cases) {
    const std::string out = paramsOutput(c.args);
    EXPECT_EQ(out.rfind("[Common Parameters]\n", 0), 0u);
    EXPECT_EQ(lastLine(out), c.line);
  }
}
