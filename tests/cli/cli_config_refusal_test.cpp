// A configuration the encoder cannot use is refused before any work, with
// the status message and, on the next line, the key and value that caused
// it; a --config FILE that is not there is refused instead of giving the
// defaults without a word.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

struct Refusal {
  const char* name;
  const char* config;              // nullptr: no config file is written
  std::vector<std::string> lines;  // expected in standard error
};

const Refusal kRefusals[] = {
    {"NegativeStep",
     "[Common]\nColorSpace=RGB\nPatchWidth=8\nPatchHeight=8\n[Compression]\nCoeffQuantizeStep=-5\n"
     "MaxZeroRun=16\nPrecisionBit=16\nBasePrecisionBit=7\n[Learning]\nDimensionReduction=96\n"
     "MaxIterations=0\n",
     {"the conversion parameters were refused: Some value in the config file are invalid.",
      "[Compression] CoeffQuantizeStep = -5: must be at least 1"}},
    {"ZeroDimension",
     "[Common]\nColorSpace=RGB\nPatchWidth=8\nPatchHeight=8\n[Compression]\nCoeffQuantizeStep=1\n"
     "MaxZeroRun=16\nPrecisionBit=16\nBasePrecisionBit=7\n[Learning]\nDimensionReduction=0\n"
     "MaxIterations=0\n",
     {"Some value in the config file are invalid.",
      "[Learning] DimensionReduction = 0: must be at least 1"}},
    {"PartialFile",
     "[Common]\nColorSpace=RGB\nPatchHeight=8\n",
     {"There are inconsistency between parameters.", "[Common] PatchWidth is missing from "}},
    {"MissingConfig", nullptr, {": no such file\n"}},
};

class ConfigRefusals : public testing::TestWithParam<Refusal> {};

TEST_P(ConfigRefusals, EncodeAndConvertNameTheCauseAndWriteNothing) {
  TempDir dir;
  const std::string config = dir.file("config.ini");
  if (GetParam().config != nullptr) writeFileBytes(config, GetParam().config);
  std::filesystem::create_directory(dir.file("in"));
  std::filesystem::create_directory(dir.file("out"));
  std::filesystem::copy_file(corpusPath("aqua.jpg"), dir.file("in/aqua.jpg"));
  const std::vector<std::vector<std::string>> commands = {
      {"--quiet", "encode", "--config", config, dir.file("in/aqua.jpg"), dir.file("a.rim")},
      {"--quiet", "convert-to-rim", "--config", config, dir.file("in"), dir.file("out")},
  };
  for (const auto& args : commands) {
    std::ostringstream out, err;
    EXPECT_EQ(cli::runCli(args, out, err), 1) << args[1];
    for (const std::string& line : GetParam().lines)
      EXPECT_NE(err.str().find(line), std::string::npos) << line << "\nin\n" << err.str();
    EXPECT_EQ(err.str().find("too large"), std::string::npos) << err.str();
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("a.rim")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("out/aqua.rim")));
}

INSTANTIATE_TEST_SUITE_P(Configs, ConfigRefusals, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& p) {
                           return std::string(p.param.name);
                         });

TEST(CliOutput, HelpAndVersionThatCannotBeWrittenFail) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                               {"--version"},
                                               {"help"},
                                               {"help", "encode"},
                                               {"encode", "--help"}}) {
    std::ostringstream out, err;
    out.setstate(std::ios::badbit);  // as a full disk leaves the stream
    EXPECT_EQ(cli::runCli(args, out, err), 1) << args[0];
    EXPECT_NE(err.str().find("cannot write the output"), std::string::npos) << err.str();
  }
}

}  // namespace
