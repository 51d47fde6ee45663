#include "codec/parameter_checks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "codec/huffman.h"
#include "platform/ini.h"
#include "platform/regular_file.h"

namespace {

// Ranges the coder can work with; anything else would divide by zero, loop
// for ever or allocate without bound further down.
constexpr std::uint32_t kMaxPatchSide = 256;
constexpr std::uint32_t kMaxPrecisionBits = 31;
constexpr std::uint32_t kMaxZeroRunLimit = 65535;
// Larger steps can only come from negative numbers in the file.
constexpr std::uint32_t kMaxStep = 0x7FFFFFFFu;

// The value as the parameter dump prints it (%d): -1 for a missing key.
std::string dumped(std::uint32_t value) { return std::to_string(static_cast<std::int32_t>(value)); }

ParameterFault fault(Status status, const char* section, const char* key, std::string value,
                     std::string rule) {
  return ParameterFault{status, section, key, std::move(value), std::move(rule)};
}

bool sideOk(std::uint32_t side) { return side != 0 && side <= kMaxPatchSide; }

bool alphabetOk(std::uint32_t precisionBits, std::uint32_t maxZeroRun) {
  return alphabetSize(precisionBits, maxZeroRun) <= kMaxTableEntries;
}

}  // namespace

ParameterFault findParameterFault(const CommonParameters& common,
                                  const LearningParameters& learning,
                                  const CompressionParameters& compression) {
  const char* const kPatch = "must be 1 to 256";
  // Unsigned 32-bit arithmetic, as the records carry it; a patch size out of
  // range is what makes the product meaningless, so it is named first.
  if (common.PatchWidth * common.PatchHeight * 3u < learning.DimensionReduction) {
    if (!sideOk(common.PatchWidth))
      return fault(status::InconsistentParameters, "Common", "PatchWidth",
                   dumped(common.PatchWidth), kPatch);
    if (!sideOk(common.PatchHeight))
      return fault(status::InconsistentParameters, "Common", "PatchHeight",
                   dumped(common.PatchHeight), kPatch);
    return fault(status::InconsistentParameters, "Learning", "DimensionReduction",
                 dumped(learning.DimensionReduction),
                 "must be at most 3 x PatchWidth x PatchHeight = " +
                     std::to_string(3u * common.PatchWidth * common.PatchHeight));
  }
  const Status invalid = status::InvalidConfigValue;
  if (!sideOk(common.PatchWidth))
    return fault(invalid, "Common", "PatchWidth", dumped(common.PatchWidth), kPatch);
  if (!sideOk(common.PatchHeight))
    return fault(invalid, "Common", "PatchHeight", dumped(common.PatchHeight), kPatch);
  if (compression.CoeffQuantizeStep == 0 || compression.CoeffQuantizeStep > kMaxStep ||
      compression.AverageQuantizeStep == 0)
    return fault(invalid, "Compression", "CoeffQuantizeStep", dumped(compression.CoeffQuantizeStep),
                 "must be at least 1");
  if (compression.PrecisionBit == 0 || compression.PrecisionBit > kMaxPrecisionBits)
    return fault(invalid, "Compression", "PrecisionBit", dumped(compression.PrecisionBit),
                 "must be 1 to 31");
  if (compression.BasePrecisionBit > kMaxPrecisionBits)
    return fault(invalid, "Compression", "BasePrecisionBit", dumped(compression.BasePrecisionBit),
                 "must be 0 to 31");
  if (compression.MaxZeroRun == 0 || compression.MaxZeroRun > kMaxZeroRunLimit)
    return fault(invalid, "Compression", "MaxZeroRun", dumped(compression.MaxZeroRun),
                 "must be 1 to 65535");
  // FastICA stops when its change falls below the threshold: zero, a
  // negative number or NaN would let it run every iteration it is allowed.
  if (learning.MaxIterations > 0 &&
      !(std::isfinite(learning.ConversionCondition) && learning.ConversionCondition > 0.0)) {
    char text[64];
    std::snprintf(text, sizeof text, "%g", learning.ConversionCondition);
    return fault(invalid, "Learning", "ConversionCondition", text,
                 "must be a positive number when MaxIterations is not 0");
  }
  if (learning.DimensionReduction == 0)
    return fault(invalid, "Learning", "DimensionReduction", "0", "must be at least 1");
  // The Huffman tables of every component must stay within their bounds.
  const std::uint32_t basePrecision =
      compression.BasePrecisionBit != 0 ? compression.BasePrecisionBit : compression.PrecisionBit;
  if (!alphabetOk(compression.PrecisionBit, compression.MaxZeroRun) ||
      !alphabetOk(basePrecision, compression.MaxZeroRun)) {
    const std::uint32_t widest = std::max(compression.PrecisionBit, basePrecision);
    return fault(invalid, "Compression", "MaxZeroRun", dumped(compression.MaxZeroRun),
                 "must be at most " + std::to_string((kMaxTableEntries - 3) / widest) + " with " +
                     std::to_string(widest) + " precision bits");
  }
  return {};
}

std::string describeParameterFault(const ParameterFault& fault, const std::string& configFile) {
  if (fault.status == status::Success) return {};
  const std::string name = std::string("[") + fault.section + "] " + fault.key;
  if (!configFile.empty()) {
    // A key the file does not have reads as -1 (or 0): say so rather than
    // blame a value nobody wrote.
    std::FILE* file = platform::openRegularStream(configFile);
    if (file != nullptr) {
      std::fclose(file);
      const char* const kAbsent = "\x01";
      if (platform::iniGetString(fault.section, fault.key, kAbsent, 512, configFile) == kAbsent)
        return name + " is missing from " + configFile;
    }
  }
  return name + " = " + fault.value + ": " + fault.rule;
}
