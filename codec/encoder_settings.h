// Per-run overrides of config.ini for the encoder: a coefficient step, a
// named quality preset, the number of bases (or "auto"), and whether the
// rate-distortion optimisation runs. Without any of them the encoder works
// exactly as config.ini says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/parameters.h"
#include "codec/rd_quantizer.h"

struct QualityPreset {
  const char* name;
  std::uint32_t step;       // CoeffQuantizeStep
  bool autoDimension;       // bases kept chosen by rate and distortion
  const char* description;  // one line for help texts
};

// archive, high, normal, small: from finest to coarsest.
const std::vector<QualityPreset>& qualityPresets();
// Null for an unknown name (names compare case-insensitively).
const QualityPreset* findQualityPreset(const std::string& name);

struct EncoderSettings {
  std::string quality;          // preset name; empty: none
  std::uint32_t step = 0;       // 0: the preset's, else config.ini's
  std::uint32_t dimension = 0;  // 0: config.ini's
  bool autoDimension = false;   // --dimension auto: up to DimensionReduction, chosen by RD
  bool plainQuantiser = false;  // --no-rdo: truncating quantiser as without options
  // Anything that changes the encoder's behaviour from config.ini.
  bool any() const;
};

// Largest step accepted from a user.
inline constexpr std::uint32_t kMaxCoeffStep = 4096;

// "1".."4096"; false for anything else.
bool parseStep(const std::string& text, std::uint32_t& step);
// "auto" or a positive count (the encoder checks it against the patch).
bool parseDimension(const std::string& text, EncoderSettings& settings);

// Applies the settings to records loaded from config.ini and returns the
// optimisation the encoder should run. An unknown preset name changes
// nothing (callers check names with findQualityPreset first).
RdOptions applyEncoderSettings(const EncoderSettings& settings, const CommonParameters& common,
                               LearningParameters& learning, CompressionParameters& compression);

// Lines describing the overrides for the parameter dump of `params`:
// "[Encoder Settings]", the preset, the optimisation and the dimension
// choice, then an empty line. Empty when no override is given.
std::string encoderSettingsDump(const EncoderSettings& settings);
