// The three colour spaces in which patches are coded, with their forward
// (colour word -> triple) and inverse (triple -> colour word) conversions.
// Inverse conversions clamp every channel to [0, 255] and then truncate.
#pragma once

#include <cstdint>

enum ColorSpaceId : std::uint16_t {
  kColorSpaceRGB = 0,
  kColorSpaceYCC = 1,
  kColorSpaceHSV = 2,
};

// A pixel in a colour space; nominally in [0, 255], carried unclamped.
struct ColorTriple {
  double c0 = 0;
  double c1 = 0;
  double c2 = 0;
};

using ForwardConversion = void (*)(std::uint32_t colour, ColorTriple& out);
// Inverse conversions may change the triple they are given (YCC subtracts
// its offsets in place).
using InverseConversion = void (*)(ColorTriple& in, std::uint32_t& colour);

void rgbForward(std::uint32_t colour, ColorTriple& out);
void rgbInverse(ColorTriple& in, std::uint32_t& colour);
void yccForward(std::uint32_t colour, ColorTriple& out);
void yccInverse(ColorTriple& in, std::uint32_t& colour);
void hsvForward(std::uint32_t colour, ColorTriple& out);
// A hue outside (-42.5, 255), which lossy coding can produce, is wrapped into
// [0, 255); a hue that is not finite counts as 0.
void hsvInverse(ColorTriple& in, std::uint32_t& colour);

// Clamp to [0, 255], then truncate toward zero. NaN gives 0.
std::uint8_t channelToByte(double v);

// The conversions of a colour-space id; null for an unknown id.
ForwardConversion forwardConversion(std::uint16_t colorSpace);
InverseConversion inverseConversion(std::uint16_t colorSpace);

// The forward conversions as inline functions, for loops that convert whole
// rows (the out-of-line functions above call these, so both give identical
// values).
namespace colorspace_inline {

inline void rgbForward(std::uint32_t colour, ColorTriple& out) {
  out.c0 = static_cast<double>(colour & 0xFFu);
  out.c1 = static_cast<double>((colour >> 8) & 0xFFu);
  out.c2 = static_cast<double>((colour >> 16) & 0xFFu);
}

inline void yccForward(std::uint32_t colour, ColorTriple& out) {
  const double r = static_cast<double>(colour & 0xFFu);
  const double g = static_cast<double>((colour >> 8) & 0xFFu);
  const double b = static_cast<double>((colour >> 16) & 0xFFu);
  // These weights (not the textbook 0.299 / 0.587 / 0.114 and 0.41869) are
  // what stored files were made with.
  out.c0 = 0.29831 * r + 0.58661 * g + 0.11448 * b;
  out.c1 = 0.5 * b - (0.33126 * g + 0.16874 * r) + 128.0;
  out.c2 = 0.5 * r - 0.41863 * g - 0.08131 * b + 128.0;
}

inline void hsvForward(std::uint32_t colour, ColorTriple& out) {
  const int r = static_cast<int>(colour & 0xFFu);
  const int g = static_cast<int>((colour >> 8) & 0xFFu);
  const int b = static_cast<int>((colour >> 16) & 0xFFu);
  // Dominant channel: green beats red only when strictly greater, and blue
  // beats the winner only when strictly greater.
  int dominant = 0;
  int max = r;
  if (g > max) {
    dominant = 1;
    max = g;
  }
  if (b > max) {
    dominant = 2;
    max = b;
  }
  int min = r < g ? r : g;
  if (b < min) min = b;

  out.c2 = static_cast<double>(max);
  out.c1 = max == 0 ? 0.0 : static_cast<double>((max - min) * 255) / static_cast<double>(max);
  if (max == min) {  // exactly when the saturation is 0
    out.c0 = 0.0;
    return;
  }
  const double d = static_cast<double>(max - min);
  double h;
  if (dominant == 0) {
    h = static_cast<double>(g - b) / d;
  } else if (dominant == 1) {
    h = static_cast<double>(b - r) / d + 2.0;
  } else {
    h = static_cast<double>(r - g) / d + 4.0;
  }
  out.c0 = h * 42.5;
  if (out.c0 < 0.0) out.c0 += 255.0;
}

}  // namespace colorspace_inline
