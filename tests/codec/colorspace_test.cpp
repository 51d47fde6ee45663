#include "codec/colorspace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "codec/raster.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

ColorTriple hsvOf(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  ColorTriple t;
  hsvForward(makeColorWord(r, g, b), t);
  return t;
}

std::uint32_t inverseOf(InverseConversion inverse, double c0, double c1, double c2) {
  ColorTriple t{c0, c1, c2};
  std::uint32_t colour = 0xDEADBEEFu;
  inverse(t, colour);
  return colour;
}

void expectTriple(const ColorTriple& t, double c0, double c1, double c2) {
  EXPECT_NEAR(t.c0, c0, 1e-9);
  EXPECT_NEAR(t.c1, c1, 1e-9);
  EXPECT_NEAR(t.c2, c2, 1e-9);
}

TEST(ChannelToByte, ClampsThenTruncates) {
  EXPECT_EQ(channelToByte(255.9), 255);
  EXPECT_EQ(channelToByte(12.99), 12);
  EXPECT_EQ(channelToByte(-3.0), 0);
  EXPECT_EQ(channelToByte(-0.5), 0);
  EXPECT_EQ(channelToByte(0.999), 0);
  EXPECT_EQ(channelToByte(254.9999), 254);
  EXPECT_EQ(channelToByte(1e300), 255);
}

TEST(ChannelToByte, NonFiniteValuesGiveDefinedBytes) {
  EXPECT_EQ(channelToByte(kNaN), 0);
  EXPECT_EQ(channelToByte(-kNaN), 0);
  EXPECT_EQ(channelToByte(kInf), 255);
  EXPECT_EQ(channelToByte(-kInf), 0);
}

TEST(RgbConversion, ChannelsPassThroughAndInverseClamps) {
  ColorTriple t;
  rgbForward(makeColorWord(12, 34, 56), t);
  expectTriple(t, 12, 34, 56);
  EXPECT_EQ(inverseOf(rgbInverse, 300, -5, 12.7), makeColorWord(255, 0, 12));
  EXPECT_EQ(inverseOf(rgbInverse, kNaN, 128.5, kInf), makeColorWord(0, 128, 255));
}

TEST(YccConversion, UsesItsOwnWeights) {
  ColorTriple white;
  yccForward(makeColorWord(255, 255, 255), white);
  EXPECT_NEAR(white.c0, 254.847, 1e-9);
  EXPECT_NEAR(white.c1, 128.0, 1e-9);
  EXPECT_NEAR(white.c2, 128.0153, 1e-9);

  ColorTriple red;
  yccForward(makeColorWord(255, 0, 0), red);
  expectTriple(red, 0.29831 * 255, 128 - 0.16874 * 255, 128 + 0.5 * 255);
  ColorTriple green;
  yccForward(makeColorWord(0, 255, 0), green);
  expectTriple(green, 0.58661 * 255, 128 - 0.33126 * 255, 128 - 0.41863 * 255);
}

TEST(YccConversion, InverseRemovesTheOffsetsInPlace) {
  ColorTriple t{100.0, 128.0 + 10.0, 128.0 - 20.0};
  std::uint32_t colour = 0;
  yccInverse(t, colour);
  EXPECT_DOUBLE_EQ(t.c1, 10.0);
  EXPECT_DOUBLE_EQ(t.c2, -20.0);
  // red 100 - 28.04, green 100 - 3.4414 + 14.2828, blue 100 + 17.72
  EXPECT_EQ(colour, makeColorWord(71, 110, 117));
  EXPECT_EQ(inverseOf(yccInverse, 254.847, 128.0, 128.0153), makeColorWord(254, 254, 254));
  EXPECT_EQ(inverseOf(yccInverse, kNaN, kNaN, kNaN), 0u);
}

TEST(HsvConversion, PrimariesGreyAndBlack) {
  expectTriple(hsvOf(255, 0, 0), 0, 255, 255);
  expectTriple(hsvOf(0, 0, 255), 170, 255, 255);
  expectTriple(hsvOf(0, 255, 0), 85, 255, 255);
  expectTriple(hsvOf(128, 128, 128), 0, 0, 128);
  expectTriple(hsvOf(0, 0, 0), 0, 0, 0);
}

TEST(HsvConversion, NegativeHueWrapsOnceInTheForwardDirection) {
  const ColorTriple t = hsvOf(255, 0, 10);
  EXPECT_NEAR(t.c0, 255.0 - 10.0 / 255.0 * 42.5, 1e-9);
  EXPECT_NEAR(t.c0, 253.33, 0.005);
  EXPECT_DOUBLE_EQ(t.c1, 255.0);
}

TEST(HsvConversion, TiesGoToRedThenGreen) {
  EXPECT_DOUBLE_EQ(hsvOf(255, 255, 0).c0, 42.5);   // yellow: red dominates
  EXPECT_DOUBLE_EQ(hsvOf(0, 255, 255).c0, 127.5);  // cyan: green dominates
  EXPECT_DOUBLE_EQ(hsvOf(255, 0, 255).c0, 212.5);  // magenta: red dominates, -42.5 + 255
  expectTriple(hsvOf(200, 100, 50), (100.0 - 50.0) / 150.0 * 42.5, 150.0 * 255 / 200, 200);
}

TEST(HsvConversion, InverseSectors) {
  EXPECT_EQ(inverseOf(hsvInverse, 42.5, 255, 255), makeColorWord(255, 255, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 0, 255, 255), makeColorWord(255, 0, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 85, 255, 255), makeColorWord(0, 255, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 127.5, 255, 255), makeColorWord(0, 255, 255));
  EXPECT_EQ(inverseOf(hsvInverse, 170, 255, 255), makeColorWord(0, 0, 255));
  EXPECT_EQ(inverseOf(hsvInverse, 212.5, 255, 255), makeColorWord(255, 0, 255));
  EXPECT_EQ(inverseOf(hsvInverse, 0, 0, 128), makeColorWord(128, 128, 128));
  // Value and the derived channels are clamped; saturation is not.
  EXPECT_EQ(inverseOf(hsvInverse, 0, 0, 300), makeColorWord(255, 255, 255));
  EXPECT_EQ(inverseOf(hsvInverse, 0, 510, 100), makeColorWord(100, 0, 0));
}

TEST(HsvConversion, SlightlyNegativeHueStaysInTheFirstSector) {
  // Hue -5: sector 0 with a negative fraction, so t falls below p.
  const double f = 6.0 * -5.0 / 255.0;
  const double t = 200.0 * (1.0 - 0.5 * (1.0 - f));
  EXPECT_EQ(inverseOf(hsvInverse, -5, 127.5, 200), makeColorWord(200, channelToByte(t), 100));
  EXPECT_EQ(inverseOf(hsvInverse, -42.49, 255, 255), makeColorWord(255, 0, 0));
}

TEST(HsvConversion, HueOutsideTheSectorsWraps) {
  // 297.5 and -212.5 are both 42.5 (yellow) a full turn away.
  EXPECT_EQ(inverseOf(hsvInverse, 297.5, 255, 255), makeColorWord(255, 255, 0));
  EXPECT_EQ(inverseOf(hsvInverse, -212.5, 255, 255), makeColorWord(255, 255, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 255, 255, 255), makeColorWord(255, 0, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 510, 255, 255), makeColorWord(255, 0, 0));
  EXPECT_EQ(inverseOf(hsvInverse, -42.5, 255, 255), makeColorWord(255, 0, 255));
  EXPECT_EQ(inverseOf(hsvInverse, -300, 255, 255),
            inverseOf(hsvInverse, 210, 255, 255));  // -300 + 2 * 255
  EXPECT_EQ(inverseOf(hsvInverse, 1e12 * 255 + 85, 255, 255), makeColorWord(0, 255, 0));
  // Just past the end a red stays red, as it does just before it.
  const std::uint32_t before = inverseOf(hsvInverse, 254.9, 200, 240);
  const std::uint32_t after = inverseOf(hsvInverse, 255.1, 200, 240);
  EXPECT_EQ(colorRed(before), colorRed(after));
  EXPECT_LE(std::abs(static_cast<int>(colorBlue(before)) - static_cast<int>(colorGreen(after))), 1);
}

TEST(HsvConversion, NonFiniteChannelsGiveDefinedColours) {
  EXPECT_EQ(inverseOf(hsvInverse, kNaN, 255, 255), makeColorWord(255, 0, 0));
  EXPECT_EQ(inverseOf(hsvInverse, kInf, 0, 90), makeColorWord(90, 90, 90));
  EXPECT_EQ(inverseOf(hsvInverse, -kInf, 255, 255), makeColorWord(255, 0, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 85, kNaN, 200), makeColorWord(0, 200, 0));
  EXPECT_EQ(inverseOf(hsvInverse, 85, 255, kNaN), 0u);
  EXPECT_EQ(inverseOf(hsvInverse, 85, 0, kInf), makeColorWord(255, 255, 255));
  // inf * 0 is NaN inside the conversion and still lands on a byte.
  EXPECT_EQ(inverseOf(hsvInverse, 0, 255, kInf), makeColorWord(255, 0, 0));
}

// Forward then inverse over the whole RGB cube (every third level, ends
// included): truncation of the channels costs at most one level, and the
// YCC weights that do not add up to one cost no more than that.
TEST(ConversionRoundTrip, CubeComesBackWithinOneLevel) {
  std::vector<int> levels;
  for (int v = 0; v < 256; v += 3) levels.push_back(v);
  levels.insert(levels.end(), {253, 254});
  for (std::uint16_t space = 0; space < 3; ++space) {
    const ForwardConversion forward = forwardConversion(space);
    const InverseConversion inverse = inverseConversion(space);
    int worst = 0;
    for (int r : levels) {
      for (int g : levels) {
        for (int b : levels) {
          ColorTriple t;
          forward(makeColorWord(r, g, b), t);
          std::uint32_t colour = 0;
          inverse(t, colour);
          worst = std::max({worst, std::abs(static_cast<int>(colorRed(colour)) - r),
                            std::abs(static_cast<int>(colorGreen(colour)) - g),
                            std::abs(static_cast<int>(colorBlue(colour)) - b)});
        }
      }
    }
    EXPECT_EQ(worst, space == 0 ? 0 : 1) << "colour space " << space;
  }
}

TEST(ConversionLookup, ByColourSpaceId) {
  EXPECT_EQ(forwardConversion(0), &rgbForward);
  EXPECT_EQ(forwardConversion(1), &yccForward);
  EXPECT_EQ(forwardConversion(2), &hsvForward);
  EXPECT_EQ(forwardConversion(3), nullptr);
  EXPECT_EQ(inverseConversion(0), &rgbInverse);
  EXPECT_EQ(inverseConversion(1), &yccInverse);
  EXPECT_EQ(inverseConversion(2), &hsvInverse);
  EXPECT_EQ(inverseConversion(65535), nullptr);
}

}  // namespace
