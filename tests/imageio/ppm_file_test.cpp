// PPM files read without the image library: the plain ones taken, with the
// raster the image library gives for them; every other one left to it.
#include "codec/ppm_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imageio/library_io.h"
#include "support/test_support.h"

namespace {

using testing_support::TempDir;
using testing_support::writeFileBytes;

std::string samples(int width, int height) {
  std::string bytes;
  for (int k = 0; k < width * height * 3; ++k) bytes += static_cast<char>((k * 37 + k / 7) % 256);
  return bytes;
}

struct Case {
  const char* name;
  std::string file;
  bool taken;
};

class PpmFile : public ::testing::Test {
 protected:
  std::string write(const Case& c) {
    const std::string path = dir.file("image.ppm");
    writeFileBytes(path, c.file);
    return path;
  }
  TempDir dir;
};

TEST_F(PpmFile, TakesOnlyPlainFilesWhosePixelsFillThem) {
  const std::string pixels = samples(5, 3);
  const Case cases[] = {
      {"plain", "P6\n5 3\n255\n" + pixels, true},
      {"spaces and tabs", "P6 5\t3  255 " + pixels, true},
      {"carriage returns", "P6\r\n5 3\r\n255\n" + pixels, true},
      {"comments", "P6\n# a\n5 # b\n3\n#c\n255\n" + pixels, true},
      {"ASCII samples", "P3\n5 3\n255\n" + pixels, false},
      {"16-bit samples", "P6\n5 3\n65535\n" + pixels + pixels, false},
      {"another largest value", "P6\n5 3\n127\n" + pixels, false},
      {"one byte short", "P6\n5 3\n255\n" + pixels.substr(1), false},
      {"one byte over", "P6\n5 3\n255\n" + pixels + "x", false},
      {"no width", "P6\n\n3\n255\n" + pixels, false},
      {"zero width", "P6\n0 3\n255\n", false},
      {"a sign", "P6\n+5 3\n255\n" + pixels, false},
      {"ten digits", "P6\n0000000005 3\n255\n" + pixels, false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write(c);
    int width = 0, height = 0;
    EXPECT_EQ(ppm::probe(path, width, height), c.taken);
    CImage image;
    EXPECT_EQ(ppm::read(path, image), c.taken);
    EXPECT_EQ(image.IsNull(), !c.taken);
    if (c.taken) {
      EXPECT_EQ(width, 5);
      EXPECT_EQ(height, 3);
    }
  }
  int width = 0, height = 0;
  EXPECT_FALSE(ppm::probe(dir.file("missing.ppm"), width, height));
  EXPECT_FALSE(ppm::probe(dir.path(), width, height)) << "a folder";
}

// The encoder codes what it is given; both readers must give it the same.
TEST_F(PpmFile, GivesTheRasterOfTheImageLibrary) {
  const Case cases[] = {
      {"one pixel", "P6 1 1 255\n" + samples(1, 1), true},
      {"odd width", "P6\n# odd\n7 5\n255\n" + samples(7, 5), true},
      {"more rows than one read", "P6\n33 150\n255\n" + samples(33, 150), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = write(c);
    CImage direct;
    ASSERT_TRUE(ppm::read(path, direct));
    CImage library;
    std::string error;
    ASSERT_TRUE(LoadWithImageLibrary(path, library, &error)) << error;
    ASSERT_EQ(direct.GetWidth(), library.GetWidth());
    ASSERT_EQ(direct.GetHeight(), library.GetHeight());
    ASSERT_EQ(direct.GetBPP(), library.GetBPP());
    EXPECT_EQ(direct.GetPitch(), library.GetPitch());
    EXPECT_EQ(direct.HasAlpha(), library.HasAlpha());
    for (int y = 0; y < direct.GetHeight(); ++y) {
      ASSERT_EQ(std::memcmp(direct.GetPixelAddress(0, y), library.GetPixelAddress(0, y),
                            static_cast<std::size_t>(direct.GetWidth()) * 4),
                0)
          << "row " << y;
    }
  }
}

}  // namespace
