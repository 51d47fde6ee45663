#include "codec/parameters.h"

#include <gtest/gtest.h>

#include "codec/status.h"
#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;

namespace {

struct Records {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
};

Records loadFrom(const std::string& path) {
  Records r;
  loadConversionParameters(path, r.common, r.learning, r.compression);
  return r;
}

void expectDefaults(const Records& r) {
  EXPECT_EQ(r.common.ColorSpace, 0);
  EXPECT_EQ(r.common.PatchWidth, 8u);
  EXPECT_EQ(r.common.PatchHeight, 8u);
  EXPECT_DOUBLE_EQ(r.learning.ConversionCondition, 0.0001);
  EXPECT_EQ(r.learning.DimensionReduction, 96u);
  EXPECT_EQ(r.learning.MaxIterations, 0u);
  EXPECT_EQ(r.compression.CoeffQuantizeStep, 1u);
  EXPECT_EQ(r.compression.DoChangeStep, 0u);
  EXPECT_EQ(r.compression.BasePrecisionBit, 7u);
  EXPECT_EQ(r.compression.PrecisionBit, 16u);
  EXPECT_EQ(r.compression.MaxZeroRun, 16u);
  EXPECT_EQ(r.compression.AverageQuantizeStep, 1u);
}

const char* const kDefaultDump =
    "[Common Parameters]\n"
    "  Color Space = 0\n"
    "  Patch = (8, 8)\n"
    "[Learning Parameters]\n"
    "  Conversion = 0.000100\n"
    "  Dimension = 96\n"
    "  Iteration = 0\n"
    "[Compression Parameters]\n"
    "  Average Quantize Step = 1\n"
    "  Coeff Quantize Step = 1\n"
    "  MaxZeroRun = 16\n"
    "  BasePrecisionBit = 7\n"
    "  PrecisionBit = 16\n"
    "\n";

}  // namespace

TEST(StatusMessages, FixedTextsByCode) {
  EXPECT_STREQ(statusMessage(0), "Success.\n");
  EXPECT_STREQ(statusMessage(7), "Cannot allocate memory anymore.\n");
  EXPECT_STREQ(statusMessage(13), "Devided by zero.\n");
  EXPECT_STREQ(statusMessage(19), "Invalid config file. Keys don't exist, or cannnot open file.\n");
  EXPECT_STREQ(statusMessage(27), "This color space is not supported.\n");
  EXPECT_STREQ(statusMessage(33), "Error occured in windows API.\n");
  // Codes without a message fall back to the unknown error.
  EXPECT_STREQ(statusMessage(34), "Unknown error occured.\n");
  EXPECT_STREQ(statusMessage(-1), "Unknown error occured.\n");
}

TEST(StatusMessages, NumbersWithoutANamedCodeKeepTheirTexts) {
  // Nothing produces these any more, but a stored status can still be one.
  const struct {
    std::int32_t number;
    const char* text;
  } cases[] = {
      {1, "Folim.exe is already launched.\n"},
      {5, "Failed in loading cache.\n"},
      {6, "Failed in storing cache.\n"},
      {10, "Failed in loading some parameters from config file.\n"},
      {11, "Failed in storing some parameters to config file.\n"},
      {24, "Cannot create process anymore.\n"},
      {25, "This file is not a RIM format file.\n"},
      {26, "Sorry, this case does not implemented yet.\n"},
      {28, "Please specify a query image.\n"},
      {29, "This operation is canceled.\n"},
      {32, "Too much queries. Operation timed out.\n"},
  };
  for (const auto& c : cases) EXPECT_STREQ(statusMessage(c.number), c.text) << c.number;
}

TEST(Parameters, MissingFileGivesDefaults) {
  expectDefaults(loadFrom("/nonexistent/config.ini"));
  Records r;
  setDefaultParameters(r.common, r.learning, r.compression);
  expectDefaults(r);
}

TEST(Parameters, BundledConfigMatchesDefaults) {
  TempDir dir;
  writeFileBytes(dir.file("config.ini"), defaultConfigText());
  expectDefaults(loadFrom(dir.file("config.ini")));
}

TEST(Parameters, DerivedAverageStep) {
  EXPECT_EQ(deriveAverageQuantizeStep(40, 8), 3u);  // 40 / 12 = 3.33
  EXPECT_EQ(deriveAverageQuantizeStep(11, 8), 1u);  // 0 raised to 1
  EXPECT_EQ(deriveAverageQuantizeStep(1, 8), 1u);
  EXPECT_EQ(deriveAverageQuantizeStep(120, 4), 20u);
  TempDir dir;
  writeFileBytes(dir.file("c.ini"),
                 "[Common]\nPatchWidth=8\n[Compression]\nCoeffQuantizeStep=40\n");
  EXPECT_EQ(loadFrom(dir.file("c.ini")).compression.AverageQuantizeStep, 3u);
}

TEST(Parameters, MissingKeysStoreTheirMarkers) {
  TempDir dir;
  writeFileBytes(dir.file("c.ini"), "[Common]\n");
  Records r;
  r.common.ColorSpace = 2;
  r.learning.ConversionCondition = 0.5;
  loadConversionParameters(dir.file("c.ini"), r.common, r.learning, r.compression);
  EXPECT_EQ(r.common.ColorSpace, 2);                      // unchanged
  EXPECT_DOUBLE_EQ(r.learning.ConversionCondition, 0.5);  // unchanged
  EXPECT_EQ(r.common.PatchWidth, 0xFFFFFFFFu);
  EXPECT_EQ(r.common.PatchHeight, 0xFFFFFFFFu);
  EXPECT_EQ(r.learning.DimensionReduction, 0xFFFFFFFFu);
  EXPECT_EQ(r.learning.MaxIterations, 0xFFFFFFFFu);
  EXPECT_EQ(r.compression.CoeffQuantizeStep, 0u);
  EXPECT_EQ(r.compression.BasePrecisionBit, 0u);
  EXPECT_EQ(r.compression.DoChangeStep, 0xFFFFFFFFu);
  EXPECT_EQ(r.compression.MaxZeroRun, 0xFFFFFFFFu);
  EXPECT_EQ(r.compression.PrecisionBit, 0xFFFFFFFFu);
}

TEST(Parameters, ColorSpaceReader) {
  TempDir dir;
  auto read = [&](const std::string& value, std::uint16_t& field) {
    writeFileBytes(dir.file("c.ini"), "[Common]\nColorSpace=" + value + "\n");
    return readColorSpace(dir.file("c.ini"), field);
  };
  std::uint16_t field = 9;
  EXPECT_EQ(read("YCC", field), 0);
  EXPECT_EQ(field, 1);
  EXPECT_EQ(read("HSV", field), 0);
  EXPECT_EQ(field, 2);
  EXPECT_EQ(read("RGBX", field), 0);  // cut to three characters
  EXPECT_EQ(field, 0);
  field = 2;
  EXPECT_EQ(read("rgb", field), status::InvalidConfig);  // case matters
  EXPECT_EQ(field, 2);
  EXPECT_EQ(read("RG", field), status::InvalidConfig);
  EXPECT_EQ(read("ERR", field), status::InvalidConfig);
  EXPECT_EQ(field, 2);
}

TEST(Parameters, ConversionConditionReader) {
  TempDir dir;
  double field = 0;
  writeFileBytes(dir.file("c.ini"), "[Learning]\nConversionCondition=0.01x\n");
  EXPECT_EQ(readConversionCondition(dir.file("c.ini"), field), status::InvalidConfig);
  EXPECT_DOUBLE_EQ(field, 0.01);  // stored all the same
  writeFileBytes(dir.file("c.ini"), "[Learning]\nConversionCondition = 1e-3 \n");
  EXPECT_EQ(readConversionCondition(dir.file("c.ini"), field), 0);
  EXPECT_DOUBLE_EQ(field, 0.001);
  writeFileBytes(dir.file("c.ini"), "[Learning]\nConversionCondition=1e999\n");
  EXPECT_EQ(readConversionCondition(dir.file("c.ini"), field), status::InvalidConfig);
}

TEST(Parameters, MissingBasePrecisionMeansZero) {
  TempDir dir;
  writeFileBytes(dir.file("c.ini"), "[Compression]\nPrecisionBit=12\n");
  const Records r = loadFrom(dir.file("c.ini"));
  EXPECT_EQ(r.compression.BasePrecisionBit, 0u);
  EXPECT_EQ(r.compression.PrecisionBit, 12u);
}

TEST(Parameters, NamesIgnoreCaseAndBlanks) {
  TempDir dir;
  writeFileBytes(dir.file("c.ini"),
                 "; comment\n[ common ]\r\n  patchwidth =  4 \r\nPATCHHEIGHT=6\n"
                 "[LEARNING]\nMaxIterations=-1\nDimensionReduction=48\n");
  const Records r = loadFrom(dir.file("c.ini"));
  EXPECT_EQ(r.common.PatchWidth, 4u);
  EXPECT_EQ(r.common.PatchHeight, 6u);
  EXPECT_EQ(r.learning.DimensionReduction, 48u);
  EXPECT_EQ(r.learning.MaxIterations, 0xFFFFFFFFu);  // -1 looks like a missing key
}

TEST(Parameters, HostileFilesDoNotCrash) {
  TempDir dir;
  std::string garbage;
  for (int i = 0; i < 70000; ++i) garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  writeFileBytes(dir.file("garbage.ini"), garbage);
  loadFrom(dir.file("garbage.ini"));

  std::string huge = "[Common]\nPatchWidth=" + std::string(200000, '9') +
                     "\nColorSpace=" + std::string(100000, 'R') +
                     "\n[Learning]\nConversionCondition=" + std::string(5000, '1') +
                     "\nDimensionReduction\nMaxIterations=\n";
  writeFileBytes(dir.file("huge.ini"), huge);
  const Records r = loadFrom(dir.file("huge.ini"));
  EXPECT_EQ(r.learning.DimensionReduction, 0xFFFFFFFFu);  // key without '=' is missing
  EXPECT_EQ(r.learning.MaxIterations, 0u);                // empty value is not a number: 0

  writeFileBytes(dir.file("nosection.ini"), "PatchWidth=4\n");
  EXPECT_EQ(loadFrom(dir.file("nosection.ini")).common.PatchWidth, 0xFFFFFFFFu);
}

TEST(Parameters, DumpHasExactLines) {
  Records r;
  setDefaultParameters(r.common, r.learning, r.compression);
  EXPECT_EQ(parameterDump(r.common, r.learning, r.compression), kDefaultDump);
  TraceCapture capture;
  printParameters(r.common, r.learning, r.compression);
  EXPECT_EQ(capture.text(), kDefaultDump);
}

TEST(Parameters, ConfigPathLiesBesideTheProgram) {
  const std::string path = configPath();
  ASSERT_GE(path.size(), 11u);
  EXPECT_EQ(path.substr(path.size() - 11), "/config.ini");
}
