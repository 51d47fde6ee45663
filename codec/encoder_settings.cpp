#include "codec/encoder_settings.h"

#include <cctype>
#include <cstdlib>

namespace {

std::string lowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool parseCount(const std::string& text, std::uint32_t limit, std::uint32_t& value) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  const unsigned long v = std::strtoul(text.c_str(), nullptr, 10);
  if (v == 0 || v > limit) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

}  // namespace

const std::vector<QualityPreset>& qualityPresets() {
  // Steps picked from the measured rate-distortion curves (README): on the
  // sample photographs about 49, 46, 42 and 38 dB.
  static const std::vector<QualityPreset> presets = {
      {"archive", 2, true, "near-lossless, for keeping originals"},
      {"high", 5, true, "no visible loss on photographs"},
      {"normal", 10, true, "good quality at about half the size of high"},
      {"small", 20, true, "smallest files, fine texture softened"},
  };
  return presets;
}

const QualityPreset* findQualityPreset(const std::string& name) {
  const std::string lower = lowerAscii(name);
  for (const QualityPreset& preset : qualityPresets())
    if (lower == preset.name) return &preset;
  return nullptr;
}

bool EncoderSettings::any() const {
  return !quality.empty() || step != 0 || dimension != 0 || autoDimension || plainQuantiser;
}

bool parseStep(const std::string& text, std::uint32_t& step) {
  return parseCount(text, kMaxCoeffStep, step);
}

bool parseDimension(const std::string& text, EncoderSettings& settings) {
  if (lowerAscii(text) == "auto") {
    settings.autoDimension = true;
    settings.dimension = 0;
    return true;
  }
  std::uint32_t count = 0;
  if (!parseCount(text, 1u << 20, count)) return false;
  settings.dimension = count;
  settings.autoDimension = false;
  return true;
}

RdOptions applyEncoderSettings(const EncoderSettings& settings, const CommonParameters& common,
                               LearningParameters& learning, CompressionParameters& compression) {
  RdOptions rd;
  const QualityPreset* preset =
      settings.quality.empty() ? nullptr : findQualityPreset(settings.quality);
  std::uint32_t step = settings.step;
  bool autoDimension = settings.autoDimension;
  if (preset != nullptr) {
    if (step == 0) step = preset->step;
    if (settings.dimension == 0 && !settings.autoDimension) autoDimension = preset->autoDimension;
  }
  if (step != 0) {
    compression.CoeffQuantizeStep = step;
    compression.AverageQuantizeStep = deriveAverageQuantizeStep(step, common.PatchWidth);
  }
  // With auto, DimensionReduction bases are learned and the optimisation
  // keeps the leading ones worth their bits.
  if (settings.dimension != 0 && !autoDimension) {
    learning.DimensionReduction = settings.dimension;
  }
  const bool asked = preset != nullptr || step != 0 || autoDimension;
  rd.optimise = asked && !settings.plainQuantiser;
  rd.autoDimension = autoDimension && rd.optimise;
  return rd;
}

std::string encoderSettingsDump(const EncoderSettings& settings) {
  if (!settings.any()) return {};
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  const RdOptions rd = applyEncoderSettings(settings, common, learning, compression);
  const QualityPreset* preset = findQualityPreset(settings.quality);
  std::string text = "[Encoder Settings]\n";
  text += std::string("  Quality = ") + (preset != nullptr ? preset->name : "config.ini") + "\n";
  text += std::string("  RD Optimisation = ") + (rd.optimise ? "on" : "off") + "\n";
  if (rd.optimise)
    text += "  Average Quantize Step = chosen per image, up to a third of the coeff step\n";
  text += std::string("  Dimension = ") +
          (rd.autoDimension ? "auto, at most the dimension above" : "as above") + "\n\n";
  return text;
}
