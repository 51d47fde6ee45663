#include <gtest/gtest.h>

#include <sstream>

#include "support/cli_in_process.h"
#include "support/test_support.h"

using testing_support::CliRun;
using testing_support::runCli;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {}  // namespace

TEST(CliParams, DefaultsWhenTheConfigCannotBeOpened) {
  const CliRun r = runCli({"params", "--config", "/nonexistent"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("  Conversion = 0.000100\n"), std::string::npos);
  EXPECT_NE(r.out.find("  Average Quantize Step = 1\n"), std::string::npos);
  EXPECT_EQ(r.out.rfind("[Common Parameters]\n", 0), 0u);
}

TEST(CliParams, ReadsTheGivenConfig) {
  TempDir dir;
  writeFileBytes(dir.file("c.ini"),
                 "[Common]\nPatchWidth=8\n[Compression]\nCoeffQuantizeStep=40\n");
  const CliRun r = runCli({"params", "--config=" + dir.file("c.ini")});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("  Average Quantize Step = 3\n"), std::string::npos);
  EXPECT_NE(r.out.find("  Coeff Quantize Step = 40\n"), std::string::npos);
}

TEST(CliUsage, HelpAndBadUsage) {
  CliRun r = runCli({"--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("params"), std::string::npos);
  r = runCli({"params", "--help"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Usage: folim-cli params"), std::string::npos);
  EXPECT_EQ(runCli({}).code, 2);
  EXPECT_EQ(runCli({"frobnicate"}).code, 2);
  EXPECT_EQ(runCli({"params", "--bogus"}).code, 2);
  EXPECT_EQ(runCli({"params", "--config"}).code, 2);
}
