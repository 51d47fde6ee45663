// The vector forms of the RGB writer against the scalar ones, on values that
// reach every branch of the byte conversion.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "codec/colorspace.h"
#include "codec/patch_pixels.h"
#include "codec/raster.h"
#include "codec/ycc_pixels.h"

namespace {

// Values around every edge of the conversion: negatives, 0, fractions, 254.99,
// 255, beyond, infinities and NaN, repeated with varying offsets so that
// each lands in every lane.
std::vector<double> edgeValues(std::size_t count) {
  const double specials[] = {-1e300,
                             -300.0,
                             -0.5,
                             -0.0,
                             0.0,
                             0.25,
                             0.999999,
                             1.0,
                             127.5,
                             254.999999,
                             255.0,
                             255.5,
                             1e300,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN(),
                             std::nextafter(255.0, 0.0),
                             std::nextafter(0.0, 1.0)};
  const std::size_t kinds = sizeof(specials) / sizeof(specials[0]);
  std::vector<double> v(count);
  for (std::size_t i = 0; i < count; ++i)
    v[i] = specials[(i * 7 + i / kinds) % kinds] + (i % 5) * 0.1;
  return v;
}

struct Block {
  std::uint32_t count;
  std::uint32_t rows;
  double mean;
};

const Block kBlocks[] = {
    {1, 1, 0.0},   {3, 2, 12.5},  {8, 8, -20.25},
    {7, 5, 128.0}, {16, 3, 0.75}, {23, 4, 254.5},
    {40, 2, -1e9}, {64, 1, 1e9},  {5, 6, std::numeric_limits<double>::quiet_NaN()}};

TEST(PatchPixels, ChannelBytesMatchTheScalarConversion) {
  for (const Block& b : kBlocks) {
    SCOPED_TRACE(testing::Message() << b.count << "x" << b.rows << " mean " << b.mean);
    const std::size_t valueStride = b.count + 3;
    const std::size_t outStride = b.count + 5;
    const std::vector<double> values = edgeValues(valueStride * b.rows);
    std::vector<std::uint8_t> fast(outStride * b.rows, 0xAA);
    std::vector<std::uint8_t> slow(outStride * b.rows, 0xAA);
    channelBytes(values.data(), valueStride, b.mean, b.count, b.rows, fast.data(), outStride);
    channelBytesScalar(values.data(), valueStride, b.mean, b.count, b.rows, slow.data(), outStride);
    EXPECT_EQ(fast, slow);
    // The scalar form is the byte conversion of the rounded sum, and the
    // bytes between rows stay untouched.
    for (std::uint32_t y = 0; y < b.rows; ++y) {
      for (std::size_t x = 0; x < outStride; ++x) {
        const std::uint8_t want =
            x < b.count ? channelToByte(values[y * valueStride + x] + b.mean) : 0xAA;
        ASSERT_EQ(slow[y * outStride + x], want) << y << "," << x;
      }
    }
  }
}

struct StripShape {
  std::uint32_t columns, pw, ph, rows, width;
};

// Whole patches, a cut last patch, cut lines, one-pixel patches.
const StripShape kStrips[] = {{3, 8, 8, 8, 24},  {4, 8, 8, 5, 30}, {2, 5, 3, 3, 9},
                              {5, 16, 2, 1, 77}, {7, 1, 1, 1, 7},  {3, 3, 7, 7, 9}};

std::string describe(const StripShape& shape) {
  return (testing::Message() << shape.columns << " patches of " << shape.pw << "x" << shape.ph
                             << ", width " << shape.width)
      .GetString();
}

// A strip of the given shape over edge values, channel c of patch gx with
// the mean meanOf(c, gx), and two output buffers filled with different
// bytes, so that a byte one conversion leaves unwritten shows as a mismatch.
struct StripCase {
  StripCase(const StripShape& shape, double (*meanOf)(std::uint32_t c, std::uint32_t gx))
      : n(shape.pw * shape.ph),
        values(edgeValues(static_cast<std::size_t>(shape.columns) * 3 * n)),
        planeSize(static_cast<std::size_t>(shape.width) * shape.rows),
        fast(3 * planeSize, 0xAA),
        slow(3 * planeSize, 0x55) {
    for (std::uint32_t c = 0; c < 3; ++c)
      for (std::uint32_t gx = 0; gx < shape.columns; ++gx) means[c].push_back(meanOf(c, gx));
    strip.values = values.data();
    for (std::uint32_t c = 0; c < 3; ++c) strip.means[c] = means[c].data();
    strip.columns = shape.columns;
    strip.pw = shape.pw;
    strip.n = n;
    strip.rows = shape.rows;
    strip.width = shape.width;
  }

  const std::uint32_t n;
  const std::vector<double> values;
  std::vector<double> means[3];
  PatchStrip strip;
  const std::size_t planeSize;
  std::vector<std::uint8_t> fast;
  std::vector<std::uint8_t> slow;
};

TEST(PatchPixels, StripPlanesMatchTheScalarConversion) {
  for (const StripShape& shape : kStrips) {
    SCOPED_TRACE(describe(shape));
    StripCase t(shape, [](std::uint32_t c, std::uint32_t gx) { return c * 40.0 + gx - 3.5; });
    stripToPlanes(t.strip, t.fast.data());
    stripToPlanesScalar(t.strip, t.slow.data());
    EXPECT_EQ(t.fast, t.slow);
    // Every byte is the conversion of its patch value (none left unwritten).
    for (std::uint32_t c = 0; c < 3; ++c) {
      for (std::uint32_t y = 0; y < shape.rows; ++y) {
        for (std::uint32_t x = 0; x < shape.width; ++x) {
          const std::uint32_t gx = x / shape.pw;
          const double v =
              t.values[(static_cast<std::size_t>(gx) * 3 + c) * t.n + y * shape.pw + x % shape.pw];
          ASSERT_EQ(t.slow[c * t.planeSize + y * shape.width + x],
                    channelToByte(v + t.means[c][gx]))
              << c << " " << x << "," << y;
        }
      }
    }
  }
}

// YCbCr strips: the vector form matches the scalar one, which converts each
// pixel (channels plus means) with yccInverse.
TEST(PatchPixels, YccStripPlanesMatchThePixelConversion) {
  for (const StripShape& shape : kStrips) {
    SCOPED_TRACE(describe(shape));
    StripCase t(shape, [](std::uint32_t c, std::uint32_t gx) {
      return (c == 0 ? 20.0 : 128.0) + gx * 9.5 - 30.25 * c;
    });
    yccStripToPlanes(t.strip, t.fast.data());
    yccStripToPlanesScalar(t.strip, t.slow.data());
    EXPECT_EQ(t.fast, t.slow);
    for (std::uint32_t y = 0; y < shape.rows; ++y) {
      for (std::uint32_t x = 0; x < shape.width; ++x) {
        const std::uint32_t gx = x / shape.pw;
        const std::size_t at = static_cast<std::size_t>(gx) * 3 * t.n + y * shape.pw + x % shape.pw;
        ColorTriple ycc;
        ycc.c0 = t.values[at] + t.means[0][gx];
        ycc.c1 = t.values[at + t.n] + t.means[1][gx];
        ycc.c2 = t.values[at + 2 * t.n] + t.means[2][gx];
        std::uint32_t colour = 0;
        yccInverse(ycc, colour);
        const std::size_t pixel = static_cast<std::size_t>(y) * shape.width + x;
        ASSERT_EQ(t.slow[pixel], colorRed(colour)) << x << "," << y;
        ASSERT_EQ(t.slow[t.planeSize + pixel], colorGreen(colour)) << x << "," << y;
        ASSERT_EQ(t.slow[2 * t.planeSize + pixel], colorBlue(colour)) << x << "," << y;
      }
    }
  }
}

TEST(PatchPixels, InterleaveWritesBlueGreenRedForEveryLength) {
  for (std::uint32_t count : {0u, 1u, 15u, 16u, 17u, 33u, 48u, 1920u}) {
    SCOPED_TRACE(count);
    std::vector<std::uint8_t> blue(count), green(count), red(count);
    for (std::uint32_t i = 0; i < count; ++i) {
      blue[i] = static_cast<std::uint8_t>(i * 3);
      green[i] = static_cast<std::uint8_t>(i * 5 + 1);
      red[i] = static_cast<std::uint8_t>(i * 11 + 2);
    }
    std::vector<std::uint8_t> fast(3 * count + 4, 0x55);
    std::vector<std::uint8_t> slow(3 * count + 4, 0x55);
    interleaveBgr(blue.data(), green.data(), red.data(), count, fast.data());
    interleaveBgrScalar(blue.data(), green.data(), red.data(), count, slow.data());
    EXPECT_EQ(fast, slow);
    for (std::uint32_t i = 0; i < count; ++i) {
      ASSERT_EQ(slow[3 * i], blue[i]);
      ASSERT_EQ(slow[3 * i + 1], green[i]);
      ASSERT_EQ(slow[3 * i + 2], red[i]);
    }
    for (std::size_t i = 3 * count; i < slow.size(); ++i) ASSERT_EQ(fast[i], 0x55);
  }
}

}  // namespace
