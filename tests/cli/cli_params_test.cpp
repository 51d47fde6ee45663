#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

struct CliRun {
  int code;
  std::string out;
  std::string err;
};

CliRun run(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  const int code = cli::runCli(args, out, err);
  return {code, out.str(), err.str()};
}

}  // namespace

TEST(CliParams, DefaultsWhenTheConfigCannotBeOpened) {
  const CliRun r = run({"params", "--config", "/nonexistent"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("  Conversion = 0.000100\n"), std::string::npos);
  EXPECT_NE(r.out.find("  Average Quantize Step = 1\n"), std::string::npos);
  EXPECT_EQ(r.out.rfind("[Common Parameters]\n", 0), 0u);
}

TEST(CliParams, ReadsTheGivenConfig) {
  TempDir dir;
  writeFileBytes(dir.file("c.ini"),
                 "[Common]\nPatchWidth=8\n[Compression]\nCoeffQuantizeStep=40\n");
  const CliRun r = run({"params", "--config=" + dir.file("c.ini")});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("  Average Quantize Step = 3\n"), std::string::npos);
  EXPECT_NE(r.out.find("  Coeff Quantize Step = 40\n"), std::string::npos);
}

TEST(CliUsage, HelpAndBadUsage) {
  CliRun r = run({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("params"), std::string::npos);
  r = run({"params", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Usage: folim-cli params"), std::string::npos);
  EXPECT_EQ(run({}).code, 2);
  EXPECT_EQ(run({"frobnicate"}).code, 2);
  EXPECT_EQ(run({"params", "--bogus"}).code, 2);
  EXPECT_EQ(run({"params", "--config"}).code, 2);
}
