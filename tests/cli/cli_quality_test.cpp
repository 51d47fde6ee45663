// The encoder options of folim-cli: presets, steps, the dimension choice,
// their effective values in `params`, and bad values refused.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "codec/rim_codec.h"
#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::ProgramRun;
using testing_support::runCliProgram;
using testing_support::TempDir;

namespace {

std::uint32_t dimensionOf(const std::string& path) {
  CRIMCodec codec;
  CImage decoded;
  testing_support::TraceCapture capture;
  EXPECT_EQ(codec.decodeFile(decoded, path), 0) << path;
  return codec.header.dimension;
}

double psnrOf(const std::string& original, const std::string& rim, const std::string& dir) {
  const ProgramRun r = runCliProgram({"compare", original, rim}, dir);
  std::smatch m;
  EXPECT_TRUE(std::regex_search(r.out, m, std::regex("PSNR ([0-9.]+) dB"))) << r.out << r.err;
  return m.empty() ? 0.0 : std::stod(m[1]);
}

struct ParamsCase {
  std::vector<std::string> options;
  std::vector<std::string> lines;  // expected in the output
};

class CliParamsWithOptions : public testing::TestWithParam<ParamsCase> {};

TEST_P(CliParamsWithOptions, ShowTheEffectiveValues) {
  TempDir dir;
  std::vector<std::string> args = {"params", "--config", "/nonexistent"};
  args.insert(args.end(), GetParam().options.begin(), GetParam().options.end());
  const ProgramRun r = runCliProgram(args, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out.rfind("[Common Parameters]\n", 0), 0u);
  for (const std::string& line : GetParam().lines)
    EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
}

INSTANTIATE_TEST_SUITE_P(
    Options, CliParamsWithOptions,
    testing::Values(ParamsCase{{"--quality", "small"},
                               {"  Coeff Quantize Step = 20\n", "  Quality = small\n",
                                "  RD Optimisation = on\n", "  Dimension = auto"}},
                    ParamsCase{{"--step", "40", "--no-rdo"},
                               {"  Coeff Quantize Step = 40\n", "  Average Quantize Step = 3\n",
                                "  Quality = config.ini\n", "  RD Optimisation = off\n"}},
                    ParamsCase{{"--quality=high", "--dimension", "48"},
                               {"  Dimension = 48\n", "  Coeff Quantize Step = 5\n"}}));

TEST(CliParamsWithOptions, NoOptionsNoEncoderSettings) {
  TempDir dir;
  const ProgramRun r = runCliProgram({"params", "--config", "/nonexistent"}, dir.path());
  ASSERT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out.find("[Encoder Settings]"), std::string::npos);
}

class CliBadEncoderOption : public testing::TestWithParam<std::vector<std::string>> {};

TEST_P(CliBadEncoderOption, IsBadUsage) {
  TempDir dir;
  const ProgramRun r = runCliProgram(GetParam(), dir.path());
  EXPECT_EQ(r.exitCode, 2) << r.err;
  EXPECT_NE(r.err.find("Usage: folim-cli"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Values, CliBadEncoderOption,
    testing::Values(std::vector<std::string>{"encode", "--quality", "tiny", "a.jpg", "a.rim"},
                    std::vector<std::string>{"encode", "--step", "0", "a.jpg", "a.rim"},
                    std::vector<std::string>{"encode", "--dimension", "some", "a.jpg", "a.rim"},
                    std::vector<std::string>{"convert-to-rim", "--step", "x", "a", "b"},
                    std::vector<std::string>{"params", "--quality", "best"}));

// The whole road: a preset over a folder, then the files decode, a coarser
// preset gives smaller files with fewer bases, and an explicit step with
// --no-rdo gives what config.ini with that step gives.
TEST(CliQuality, PresetsAndStepsEndToEnd) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("photos"));
  for (const char* out : {"small", "archive"}) std::filesystem::create_directories(dir.file(out));
  std::filesystem::copy_file(corpusPath("wood.jpg"), dir.file("photos/wood.jpg"));
  std::filesystem::copy_file(corpusPath("dune.jpg"), dir.file("photos/dune.jpg"));

  for (const char* preset : {"small", "archive"}) {
    const ProgramRun r = runCliProgram(
        {"--quiet", "convert-to-rim", "--quality", preset, "photos", preset}, dir.path());
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "finished conversion to RIM images!\n");
  }
  for (const char* name : {"wood", "dune"}) {
    const std::string small = dir.file(std::string("small/") + name + ".rim");
    const std::string archive = dir.file(std::string("archive/") + name + ".rim");
    EXPECT_LT(std::filesystem::file_size(small), std::filesystem::file_size(archive) / 2);
    EXPECT_LT(dimensionOf(small), dimensionOf(archive));
    const std::string original = dir.file(std::string("photos/") + name + ".jpg");
    EXPECT_GT(psnrOf(original, archive, dir.path()), psnrOf(original, small, dir.path()) + 5.0);
  }

  // --step N --no-rdo is config.ini with CoeffQuantizeStep N, byte for byte.
  testing_support::writeFileBytes(dir.file("step12.ini"),
                                  "[Common]\nColorSpace=RGB\nPatchWidth=8\nPatchHeight=8\n"
                                  "[Learning]\nConversionCondition=0.0001\nDimensionReduction=96\n"
                                  "MaxIterations=0\n[Compression]\nCoeffQuantizeStep=12\n"
                                  "DoChangeStep=0\nMaxZeroRun=16\nPrecisionBit=16\n"
                                  "BasePrecisionBit=7\n");
  ProgramRun r = runCliProgram(
      {"--quiet", "encode", "--config", "step12.ini", "photos/wood.jpg", "a.rim"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = runCliProgram({"--quiet", "encode", "--step", "12", "--no-rdo", "photos/wood.jpg", "b.rim"},
                    dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testing_support::readFileBytes(dir.file("a.rim")),
            testing_support::readFileBytes(dir.file("b.rim")));
  // With the optimisation the encode says so in its trace.
  r = runCliProgram({"encode", "--step", "12", "photos/wood.jpg", "c.rim"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("  optimising..."), std::string::npos);
}

}  // namespace
