// The three records of conversion parameters, how config.ini fills them, and
// the parameter dump.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/status.h"

struct CommonParameters {
  std::uint16_t ColorSpace = 0;  // 0 RGB, 1 YCbCr, 2 HSV
  std::uint32_t PatchWidth = 0;
  std::uint32_t PatchHeight = 0;
};

struct LearningParameters {
  double ConversionCondition = 0.0;
  std::uint32_t MaxIterations = 0;  // 0: bases from whitening alone (PCA)
  std::uint32_t DimensionReduction = 0;
};

struct CompressionParameters {
  std::uint32_t AverageQuantizeStep = 0;  // derived, never read from the file
  std::uint32_t CoeffQuantizeStep = 0;
  std::uint32_t DoChangeStep = 0;
  std::uint32_t BasePrecisionBit = 0;  // 0: PrecisionBit applies
  std::uint32_t PrecisionBit = 0;
  std::uint32_t MaxZeroRun = 0;
};

// The places config.ini is looked for, in order: beside the program (or in
// the working directory when the program's directory is unknown), then
// $XDG_CONFIG_HOME/folim (~/.config/folim), then the default installed with
// the program. Paths too long to use are left out.
std::vector<std::string> configCandidates();

// The first of configCandidates() that is a regular file; the first
// candidate when none is (the defaults then apply); empty when none is usable.
std::string configPath();

// Fills the records from config.ini beside the program; defaults when the
// file cannot be opened.
void loadConversionParameters(CommonParameters& common, LearningParameters& learning,
                              CompressionParameters& compression);
// The same from an explicit file.
void loadConversionParameters(const std::string& path, CommonParameters& common,
                              LearningParameters& learning, CompressionParameters& compression);

void setDefaultParameters(CommonParameters& common, LearningParameters& learning,
                          CompressionParameters& compression);

// trunc(CoeffQuantizeStep / (PatchWidth * 1.5)), 0 raised to 1.
std::uint32_t deriveAverageQuantizeStep(std::uint32_t coeffQuantizeStep, std::uint32_t patchWidth);

// One reader per key: status::Success, or status::InvalidConfig when the key
// is missing or unusable.
Status readColorSpace(const std::string& path, std::uint16_t& field);
Status readPatchWidth(const std::string& path, std::uint32_t& field);
Status readPatchHeight(const std::string& path, std::uint32_t& field);
Status readConversionCondition(const std::string& path, double& field);
Status readDimensionReduction(const std::string& path, std::uint32_t& field);
Status readMaxIterations(const std::string& path, std::uint32_t& field);
Status readCoeffQuantizeStep(const std::string& path, std::uint32_t& field);
Status readDoChangeStep(const std::string& path, std::uint32_t& field);
Status readMaxZeroRun(const std::string& path, std::uint32_t& field);
Status readPrecisionBit(const std::string& path, std::uint32_t& field);
Status readBasePrecisionBit(const std::string& path, std::uint32_t& field);

// The text of the parameter dump.
std::string parameterDump(const CommonParameters& common, const LearningParameters& learning,
                          const CompressionParameters& compression);
// The parameter dump, written to the codec trace.
void printParameters(const CommonParameters& common, const LearningParameters& learning,
                     const CompressionParameters& compression);

// The text of the default config.ini (every key with its default value).
std::string defaultConfigText();
