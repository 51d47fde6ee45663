#include <gtest/gtest.h>

#include <cmath>
#include <regex>
#include <string>

#include "codec/colorspace.h"
#include "codec/raster.h"
#include "codec/rim_codec.h"
#include "support/bytes.h"
#include "support/codec_checks.h"
#include "support/synthetic_rim.h"
#include "support/test_support.h"

using testing_support::decode;
using testing_support::exactImageRim;
using testing_support::getU32;
using testing_support::openFileDescriptorCount;
using testing_support::putU32;
using testing_support::readFileBytes;
using testing_support::smallRim;
using testing_support::SyntheticRim;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;
using testing_support::writeSyntheticRim;

namespace {

// Integer channel values with some outside [0, 255] so that clamping shows.
ColorTriple rgbChannels(std::uint32_t x, std::uint32_t y) {
  ColorTriple t;
  t.c0 = static_cast<double>((x * 13 + y * 7) % 256);
  t.c1 = static_cast<double>((x * 5 + y * 29 + 60) % 256);
  t.c2 = static_cast<double>((x * y * 3 + 10) % 256);
  if (x == 3 && y == 2) {
    t.c0 = 300;
    t.c1 = -20;
  }
  return t;
}

// Channels that stay inside the hue range every conversion handles.
ColorTriple softChannels(std::uint32_t x, std::uint32_t y) {
  ColorTriple t;
  t.c0 = static_cast<double>(20 + (x * 11 + y * 3) % 200);
  t.c1 = static_cast<double>(40 + (x * 7 + y * 13) % 180);
  t.c2 = static_cast<double>(30 + (x + y * 17) % 210);
  return t;
}

std::uint32_t expectedWord(std::uint16_t colorSpace, ColorTriple t) {
  std::uint32_t word = 0;
  inverseConversion(colorSpace)(t, word);
  return word;
}

void expectImage(const CImage& image, std::uint32_t width, std::uint32_t height,
                 std::uint16_t colorSpace, ColorTriple (*channels)(std::uint32_t, std::uint32_t)) {
  ASSERT_FALSE(image.IsNull());
  ASSERT_EQ(image.GetWidth(), static_cast<int>(width));
  ASSERT_EQ(image.GetHeight(), static_cast<int>(height));
  EXPECT_EQ(image.GetBPP(), 24);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      ASSERT_EQ(image.GetPixel(static_cast<int>(x), static_cast<int>(y)),
                expectedWord(colorSpace, channels(x, y)))
          << x << "," << y;
}

}  // namespace

TEST(DecodeFile, RebuildsEveryPixelCutAtTheImageEdge) {
  TempDir dir;
  ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), exactImageRim(17, 9, 8, 8, 0, 3, rgbChannels)), 0);
  CImage image;
  std::string trace;
  ASSERT_EQ(decode(dir.file("a.rim"), image, &trace), 0);
  expectImage(image, 17, 9, 0, rgbChannels);
  EXPECT_TRUE(std::regex_match(trace, std::regex("  loading time = [0-9.e+-]+\n"
                                                 "  expand time = [0-9.e+-]+\n"
                                                 "  multiply time = [0-9.e+-]+\n"
                                                 "  arrange time = [0-9.e+-]+\n\n")))
      << trace;
}

TEST(DecodeFile, DirectRowPathAndPixelPathGiveTheSamePixels) {
  TempDir dir;
  ASSERT_EQ(writeSyntheticRim(dir.file("8.rim"), exactImageRim(19, 13, 8, 8, 0, 1, rgbChannels)),
            0);
  ASSERT_EQ(writeSyntheticRim(dir.file("6.rim"), exactImageRim(19, 13, 6, 6, 0, 2, rgbChannels)),
            0);
  CImage direct;
  CImage pixels;
  ASSERT_EQ(decode(dir.file("8.rim"), direct), 0);
  ASSERT_EQ(decode(dir.file("6.rim"), pixels), 0);
  expectImage(direct, 19, 13, 0, rgbChannels);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 19; ++x) ASSERT_EQ(direct.GetPixel(x, y), pixels.GetPixel(x, y));
}

TEST(DecodeFile, ConvertsFromTheFilesColourSpace) {
  TempDir dir;
  for (std::uint16_t space : {1, 2}) {
    SCOPED_TRACE(space);
    ASSERT_EQ(
        writeSyntheticRim(dir.file("c.rim"), exactImageRim(10, 7, 4, 4, space, 1, softChannels)),
        0);
    CImage image;
    ASSERT_EQ(decode(dir.file("c.rim"), image), 0);
    expectImage(image, 10, 7, space, softChannels);
  }
}

TEST(DecodeFile, ReplacesAHeldBitmap) {
  TempDir dir;
  ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), exactImageRim(9, 5, 4, 4, 0, 1, rgbChannels)), 0);
  CImage image;
  ASSERT_TRUE(image.Create(300, 200, 24));
  ASSERT_EQ(decode(dir.file("a.rim"), image), 0);
  expectImage(image, 9, 5, 0, rgbChannels);
}

TEST(DecodeFile, UnknownColourSpaceFailsAndKeepsTheTarget) {
  TempDir dir;
  ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), exactImageRim(9, 5, 4, 4, 3, 1, rgbChannels)), 0);
  CImage image;
  ASSERT_TRUE(image.Create(30, 20, 24));
  std::string trace;
  EXPECT_EQ(decode(dir.file("a.rim"), image, &trace), status::UnsupportedColorSpace);
  EXPECT_EQ(image.GetWidth(), 30);
  EXPECT_EQ(trace, "");
  CRIMCodec codec;
  EXPECT_EQ(codec.renderAveragePreview(image, dir.file("a.rim")), status::UnsupportedColorSpace);
  EXPECT_EQ(image.GetWidth(), 30);
}

TEST(DecodeFile, ZeroBaseStepIsADivisionByZero) {
  TempDir dir;
  SyntheticRim rim = smallRim();
  rim.baseSteps[2] = 0;
  ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), rim), 0);
  CImage image;
  std::string trace;
  EXPECT_EQ(decode(dir.file("a.rim"), image, &trace), status::DividedByZero);
  EXPECT_EQ(trace.rfind("  loading time = ", 0), 0u);
  EXPECT_EQ(trace.find("expand"), std::string::npos);
  EXPECT_TRUE(image.IsNull());
}

TEST(DecodeFile, UnsupportedAveragesModeIsReportedAfterClosingTheFile) {
  TempDir dir;
  ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), smallRim()), 0);
  std::string bytes = readFileBytes(dir.file("a.rim"));
  putU32(bytes, 44, 5);
  writeFileBytes(dir.file("a.rim"), bytes);
  const int before = openFileDescriptorCount();
  CImage image;
  std::string trace;
  EXPECT_EQ(decode(dir.file("a.rim"), image, &trace), status::UnsupportedVersion);
  EXPECT_EQ(trace, "");
  EXPECT_EQ(openFileDescriptorCount(), before);
}

TEST(DecodeFile, ForeignEmptyAndMissingFiles) {
  TempDir dir;
  writeFileBytes(dir.file("empty.rim"), "");
  writeFileBytes(dir.file("bitmap.rim"), "BM" + std::string(100, '\0'));
  CImage image;
  EXPECT_EQ(decode(dir.file("empty.rim"), image), status::ReadFailed);
  EXPECT_EQ(decode(dir.file("bitmap.rim"), image), status::InvalidFileType);
  EXPECT_EQ(decode(dir.file("missing.rim"), image), status::CannotOpenFile);
  CRIMCodec codec;
  EXPECT_EQ(codec.renderAveragePreview(image, dir.file("empty.rim")), status::ReadFailed);
  EXPECT_EQ(codec.renderAveragePreview(image, dir.file("bitmap.rim")), status::InvalidFileType);
  EXPECT_EQ(codec.renderAveragePreview(image, dir.file("missing.rim")), status::CannotOpenFile);
}

TEST(DecodeFile, AbsurdHeaderFieldsAreRejectedBeforeSizing) {
  TempDir dir;
  ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), smallRim()), 0);
  const std::string good = readFileBytes(dir.file("a.rim"));
  const struct {
    std::size_t at;
    std::uint32_t value;
  } fields[] = {{8, 0},           {12, 0},          {16, 0},          {20, 0},
                {24, 0},          {24, 13},         {8, 0xFFFFFFFF},  {12, 0xFFFFFFFF},
                {16, 0xFFFFFFFF}, {20, 0x40000000}, {24, 0xFFFFFFFF}, {8, 1u << 20}};
  for (const auto& f : fields) {
    std::string bytes = good;
    putU32(bytes, f.at, f.value);
    writeFileBytes(dir.file("bad.rim"), bytes);
    CImage image;
    EXPECT_EQ(decode(dir.file("bad.rim"), image), status::InvalidValues) << f.at << " " << f.value;
    CRIMCodec codec;
    EXPECT_EQ(codec.renderAveragePreview(image, dir.file("bad.rim")), status::InvalidValues);
  }
}

TEST(DecodeFile, EveryTruncationFailsWithAStatus) {
  TempDir dir;
  for (std::uint32_t mode : {0u, 1u}) {
    SyntheticRim rim = smallRim();
    rim.averageMode = rim.baseMode = rim.coeffMode = mode;
    ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), rim), 0);
    const std::string good = readFileBytes(dir.file("a.rim"));
    CImage whole;
    ASSERT_EQ(decode(dir.file("a.rim"), whole), 0);
    const int before = openFileDescriptorCount();
    for (std::size_t length = 0; length < good.size(); ++length) {
      writeFileBytes(dir.file("cut.rim"), good.substr(0, length));
      CImage image;
      EXPECT_NE(decode(dir.file("cut.rim"), image), 0) << mode << " " << length;
      CRIMCodec codec;
      const Status preview = codec.renderAveragePreview(image, dir.file("cut.rim"));
      // the averages alone may still be whole
      if (length < getU32(good, 36)) {
        EXPECT_NE(preview, 0) << length;
      }
    }
    EXPECT_EQ(openFileDescriptorCount(), before);
  }
}

TEST(DecodeFile, CorruptedBytesNeverCrash) {
  TempDir dir;
  for (std::uint32_t mode : {0u, 1u}) {
    SyntheticRim rim = smallRim();
    rim.averageMode = rim.baseMode = rim.coeffMode = mode;
    ASSERT_EQ(writeSyntheticRim(dir.file("a.rim"), rim), 0);
    const std::string good = readFileBytes(dir.file("a.rim"));
    for (std::size_t at = 0; at < good.size(); ++at) {
      for (unsigned char flip : {0x01, 0x80, 0xFF}) {
        std::string bytes = good;
        bytes[at] = static_cast<char>(bytes[at] ^ flip);
        writeFileBytes(dir.file("bad.rim"), bytes);
        CImage image;
        const Status s = decode(dir.file("bad.rim"), image);
        if (s == status::Success) {
          EXPECT_EQ(image.GetWidth() * image.GetHeight() > 0, true);
        }
        CRIMCodec codec;
        if (codec.renderAveragePreview(image, dir.file("bad.rim")) == status::Success) {
          EXPECT_FALSE(image.IsNull());
        }
      }
    }
  }
}

TEST(AveragePreview, DrawsOnePixelPerPatch) {
  TempDir dir;
  for (std::uint16_t space : {0, 1, 2}) {
    SCOPED_TRACE(space);
    SyntheticRim rim = exactImageRim(100, 60, 8, 8, space, 3, softChannels);
    ASSERT_EQ(writeSyntheticRim(dir.file("p.rim"), rim), 0);
    CImage preview;
    CRIMCodec codec;
    TraceCapture trace;
    ASSERT_EQ(codec.renderAveragePreview(preview, dir.file("p.rim")), 0);
    EXPECT_EQ(trace.text(), "");
    ASSERT_EQ(preview.GetWidth(), 13);
    ASSERT_EQ(preview.GetHeight(), 8);
    for (std::uint32_t k = 0; k < 104; ++k) {
      ColorTriple t;
      t.c0 = std::trunc(rim.averages[0][k] / 3) * 3;
      t.c1 = std::trunc(rim.averages[1][k] / 3) * 3;
      t.c2 = std::trunc(rim.averages[2][k] / 3) * 3;
      ASSERT_EQ(preview.GetPixel(static_cast<int>(k % 13), static_cast<int>(k / 13)),
                expectedWord(space, t))
          << k;
    }
  }
}
