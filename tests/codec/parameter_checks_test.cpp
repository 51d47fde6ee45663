// Which conversion parameters the encoder refuses, with which status, and
// how the refusal names the config.ini key and value that caused it.
#include "codec/parameter_checks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "codec/rim_codec.h"
#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;

namespace {

struct Records {
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  Records() { setDefaultParameters(common, learning, compression); }
};

struct FaultCase {
  const char* name;
  std::function<void(Records&)> change;
  Status status;
  std::string description;  // without a config file
};

const FaultCase kCases[] = {
    {"Defaults", [](Records&) {}, status::Success, ""},
    {"NegativeStep",
     [](Records& r) { r.compression.CoeffQuantizeStep = static_cast<std::uint32_t>(-5); },
     status::InvalidConfigValue, "[Compression] CoeffQuantizeStep = -5: must be at least 1"},
    {"ZeroStep", [](Records& r) { r.compression.CoeffQuantizeStep = 0; },
     status::InvalidConfigValue, "[Compression] CoeffQuantizeStep = 0: must be at least 1"},
    {"LargestStep", [](Records& r) { r.compression.CoeffQuantizeStep = 0x7FFFFFFF; },
     status::Success, ""},
    {"ZeroDimension", [](Records& r) { r.learning.DimensionReduction = 0; },
     status::InvalidConfigValue, "[Learning] DimensionReduction = 0: must be at least 1"},
    {"DimensionBeyondThePatch", [](Records& r) { r.learning.DimensionReduction = 193; },
     status::InconsistentParameters,
     "[Learning] DimensionReduction = 193: must be at most 3 x PatchWidth x PatchHeight = 192"},
    {"MissingPatchHeight", [](Records& r) { r.common.PatchHeight = 0; },
     status::InconsistentParameters, "[Common] PatchHeight = 0: must be 1 to 256"},
    {"NegativePatchWidth", [](Records& r) { r.common.PatchWidth = 0xFFFFFFFFu; },
     status::InvalidConfigValue, "[Common] PatchWidth = -1: must be 1 to 256"},
    {"PrecisionTooWide", [](Records& r) { r.compression.PrecisionBit = 40; },
     status::InvalidConfigValue, "[Compression] PrecisionBit = 40: must be 1 to 31"},
    {"BasePrecisionTooWide", [](Records& r) { r.compression.BasePrecisionBit = 32; },
     status::InvalidConfigValue, "[Compression] BasePrecisionBit = 32: must be 0 to 31"},
    {"NoZeroRun", [](Records& r) { r.compression.MaxZeroRun = 0; }, status::InvalidConfigValue,
     "[Compression] MaxZeroRun = 0: must be 1 to 65535"},
    {"AlphabetTooLarge",
     [](Records& r) {
       r.compression.MaxZeroRun = 65535;
       r.compression.PrecisionBit = 31;
     },
     status::InvalidConfigValue,
     "[Compression] MaxZeroRun = 65535: must be at most 33824 with 31 precision bits"},
    {"NanThresholdForIca",
     [](Records& r) {
       r.learning.MaxIterations = 100;
       r.learning.ConversionCondition = std::nan("");
     },
     status::InvalidConfigValue,
     "[Learning] ConversionCondition = nan: must be a positive number when MaxIterations is not 0"},
};

class ParameterFaults : public testing::TestWithParam<FaultCase> {};

TEST_P(ParameterFaults, NameTheKeyAndAgreeWithTheEncoder) {
  Records r;
  GetParam().change(r);
  const ParameterFault fault = findParameterFault(r.common, r.learning, r.compression);
  EXPECT_EQ(fault.status, GetParam().status);
  EXPECT_EQ(describeParameterFault(fault, ""), GetParam().description);
  // The encoder refuses exactly these records, with the same status.
  TraceCapture quiet;
  CRIMCodec codec;
  EXPECT_EQ(codec.setParameters(&r.common, &r.learning, &r.compression), GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Records, ParameterFaults, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FaultCase>& p) {
                           return std::string(p.param.name);
                         });

TEST(ParameterFaults, AKeyMissingFromTheFileIsNamedAsMissing) {
  TempDir dir;
  const std::string config = dir.file("config.ini");
  // A config.ini cut short: the [Compression] section has lost its step.
  writeFileBytes(config,
                 "[Common]\nColorSpace=RGB\nPatchWidth=8\nPatchHeight=8\n"
                 "[Learning]\nDimensionReduction=96\nMaxIterations=0\n"
                 "[Compression]\nMaxZeroRun=16\nPrecisionBit=16\nBasePrecisionBit=7\n");
  Records r;
  loadConversionParameters(config, r.common, r.learning, r.compression);
  const ParameterFault fault = findParameterFault(r.common, r.learning, r.compression);
  EXPECT_EQ(fault.status, status::InvalidConfigValue);
  EXPECT_EQ(describeParameterFault(fault, config),
            "[Compression] CoeffQuantizeStep is missing from " + config);
  // A key the file holds is blamed for its value.
  writeFileBytes(config, "[Compression]\nCoeffQuantizeStep=-5\n");
  EXPECT_EQ(describeParameterFault(fault, config),
            "[Compression] CoeffQuantizeStep = 0: must be at least 1");
}

}  // namespace
