// The colour measures a search offers, and the colour weight choosing one
// presets: the window's combo and folim-cli's --color-mode offer the same.
// The robust measure (retrieval/robust_similarity.h) is offered only where
// signatures are ranked, over the index: a search of RIM files alone refuses
// it as it refuses any other number.
#pragma once

#include <cstdint>
#include <optional>

#include "retrieval/color_similarity.h"
#include "retrieval/robust_similarity.h"

enum class ColorMode : std::int32_t {
  BlockMean = ColorSimilarity::kBlockMean,            // "Block mean"
  Histogram = ColorSimilarity::kHistogram,            // "Histogram"
  ColorStructure = ColorSimilarity::kColorStructure,  // "MPEG-7 CSD"
  Robust = kRobustColorMode,                          // "Robust"
};

inline constexpr ColorMode kDefaultColorMode = ColorMode::ColorStructure;

// The colour percentage each measure presets, in the order of the modes.
inline constexpr int kPresetColorPercents[] = {90, 75, 70, 70};

constexpr int PresetColorPercent(ColorMode mode) {
  return kPresetColorPercents[static_cast<int>(mode)];
}

// The measure numbered n (0 to 3), or none.
constexpr std::optional<ColorMode> ColorModeOf(std::int32_t n) {
  if (n < 0 || n > 3) return std::nullopt;
  return static_cast<ColorMode>(n);
}

constexpr std::int32_t NumberOf(ColorMode mode) { return static_cast<std::int32_t>(mode); }
