#include "codec/colorspace.h"

#include <cmath>

#include "codec/raster.h"

std::uint8_t channelToByte(double v) {
  // Written so that NaN fails the first test: a damaged value still gives a
  // defined byte, and the double-to-integer cast only sees [0, 255).
  if (!(v > 0.0)) return 0;
  if (v >= 255.0) return 255;
  return static_cast<std::uint8_t>(v);
}

void rgbForward(std::uint32_t colour, ColorTriple& out) {
  colorspace_inline::rgbForward(colour, out);
}

void rgbInverse(ColorTriple& in, std::uint32_t& colour) {
  colour = makeColorWord(channelToByte(in.c0), channelToByte(in.c1), channelToByte(in.c2));
}

void yccForward(std::uint32_t colour, ColorTriple& out) {
  colorspace_inline::yccForward(colour, out);
}

void yccInverse(ColorTriple& in, std::uint32_t& colour) {
  in.c1 -= 128.0;
  in.c2 -= 128.0;
  const double red = in.c0 + 1.402 * in.c2;
  const double green = in.c0 - 0.34414 * in.c1 - 0.71414 * in.c2;
  const double blue = in.c0 + 1.772 * in.c1;
  colour = makeColorWord(channelToByte(red), channelToByte(green), channelToByte(blue));
}

void hsvForward(std::uint32_t colour, ColorTriple& out) {
  colorspace_inline::hsvForward(colour, out);
}

void hsvInverse(ColorTriple& in, std::uint32_t& colour) {
  // The six sectors cover hues in (-42.5, 255); a slightly negative hue stays
  // in sector 0 with a negative fraction, as it always has. Hue is an angle,
  // so a value beyond that range (lossy coding can push a red past either
  // end) is wrapped into [0, 255) rather than clamped: wrapping keeps the
  // pixel near the colour it was coded from, and -42.5 wraps to 212.5, the
  // same hue the forward conversion gives magenta. A hue that is not finite
  // carries no angle at all and counts as 0.
  double hue = in.c0;
  if (!std::isfinite(hue)) {
    hue = 0.0;
  } else if (hue <= -42.5 || hue >= 255.0) {
    hue = std::fmod(hue, 255.0);
    if (hue < 0.0) hue += 255.0;
    if (hue >= 255.0) hue = 0.0;  // a tiny negative remainder rounds up to 255
  }

  const double v = in.c2;
  const double s = in.c1 / 255.0;
  const double scaled = 6.0 * hue / 255.0;
  int sector = static_cast<int>(scaled);  // scaled lies in [-1, 6]
  double f = scaled - sector;
  // Rounding at the ends of the range can give -1 or 6: stay at the matching
  // end of sector 0 or 5.
  if (sector < 0) {
    sector = 0;
    f = -1.0;
  } else if (sector > 5) {
    sector = 5;
    f = 1.0;
  }

  const std::uint8_t value = channelToByte(v);
  const std::uint8_t p = channelToByte(v * (1.0 - s));
  const std::uint8_t q = channelToByte(v * (1.0 - f * s));
  const std::uint8_t t = channelToByte(v * (1.0 - s * (1.0 - f)));

  switch (sector) {
    case 0:
      colour = makeColorWord(value, t, p);
      break;
    case 1:
      colour = makeColorWord(q, value, p);
      break;
    case 2:
      colour = makeColorWord(p, value, t);
      break;
    case 3:
      colour = makeColorWord(p, q, value);
      break;
    case 4:
      colour = makeColorWord(t, p, value);
      break;
    default:
      colour = makeColorWord(value, p, q);
      break;
  }
}

ForwardConversion forwardConversion(std::uint16_t colorSpace) {
  switch (colorSpace) {
    case kColorSpaceRGB:
      return &rgbForward;
    case kColorSpaceYCC:
      return &yccForward;
    case kColorSpaceHSV:
      return &hsvForward;
    default:
      return nullptr;
  }
}

InverseConversion inverseConversion(std::uint16_t colorSpace) {
  switch (colorSpace) {
    case kColorSpaceRGB:
      return &rgbInverse;
    case kColorSpaceYCC:
      return &yccInverse;
    case kColorSpaceHSV:
      return &hsvInverse;
    default:
      return nullptr;
  }
}
