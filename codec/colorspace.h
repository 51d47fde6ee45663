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
void hsvInverse(ColorTriple& in, std::uint32_t& colour);

// Clamp to [0, 255], then truncate toward zero.
std::uint8_t channelToByte(double v);

// The conversions of a colour-space id; null for an unknown id.
ForwardConversion forwardConversion(std::uint16_t colorSpace);
InverseConversion inverseConversion(std::uint16_t colorSpace);
