#include "codec/patches.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "codec/status.h"
#include "support/bmp_file.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::loadBmp;

namespace {

using PixelFn = std::function<std::uint32_t(int, int)>;

// A 24 or 32-bit image whose pixel (x, y) is pixel(x, y).
CImage makeImage(int width, int height, int bpp, bool topDown, const PixelFn& pixel) {
  CImage image;
  EXPECT_TRUE(image.Create(width, topDown ? -height : height, bpp));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) image.SetPixel(x, y, pixel(x, y));
  }
  return image;
}

std::uint32_t gradient(int x, int y) {
  return makeColorWord(static_cast<std::uint32_t>(x * 15), static_cast<std::uint32_t>(y * 30),
                       static_cast<std::uint32_t>((x * 7 + y * 13) % 256));
}

std::uint32_t noise(int x, int y) {
  std::uint32_t h =
      static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return h & 0xFFFFFFu;
}

struct Extracted {
  std::vector<std::vector<double>> rows;
  std::vector<ColorTriple> means;
};

// Extraction done the slow, obvious way: one pixel read per patch pixel,
// edges repeated, plain sums.
Extracted referenceExtract(std::uint16_t space, const CImage& image, std::uint32_t pw,
                           std::uint32_t ph) {
  const int w = image.GetWidth();
  const int h = image.GetHeight();
  const PatchGrid grid = patchGrid(w, h, pw, ph);
  const std::uint32_t n = pw * ph;
  Extracted out;
  for (std::uint32_t k = 0; k < grid.count(); ++k) {
    const int x0 = static_cast<int>((k % grid.columns) * pw);
    const int y0 = static_cast<int>((k / grid.columns) * ph);
    std::vector<double> row(3 * n);
    for (std::uint32_t y = 0; y < ph; ++y) {
      for (std::uint32_t x = 0; x < pw; ++x) {
        ColorTriple t;
        forwardConversion(space)(image.GetPixel(std::min(x0 + static_cast<int>(x), w - 1),
                                                std::min(y0 + static_cast<int>(y), h - 1)),
                                 t);
        row[y * pw + x] = t.c0;
        row[n + y * pw + x] = t.c1;
        row[2 * n + y * pw + x] = t.c2;
      }
    }
    double sums[3] = {0, 0, 0};
    for (int c = 0; c < 3; ++c) {
      for (std::uint32_t i = 0; i < n; ++i) sums[c] += row[c * n + i];
    }
    const ColorTriple m{sums[0] / n, sums[1] / n, sums[2] / n};
    for (std::uint32_t i = 0; i < n; ++i) {
      row[i] -= m.c0;
      row[n + i] -= m.c1;
      row[2 * n + i] -= m.c2;
    }
    out.rows.push_back(row);
    out.means.push_back(m);
  }
  return out;
}

void expectSameAsReference(std::uint16_t space, const CImage& image, std::uint32_t pw,
                           std::uint32_t ph, const std::string& what) {
  SCOPED_TRACE(what + " in colour space " + std::to_string(space));
  PatchMatrix patches;
  patches.patchWidth = pw;
  patches.patchHeight = ph;
  KPX::Matrix<double> averages;
  ASSERT_EQ(extractPatches(space, image, patches, averages), status::Success);
  EXPECT_EQ(image.AccessCount(), 0);
  const Extracted expected = referenceExtract(space, image, pw, ph);
  ASSERT_EQ(patches.rows(), expected.rows.size());
  ASSERT_EQ(patches.cols(), 3 * pw * ph);
  ASSERT_EQ(averages.rows(), 3u);
  ASSERT_EQ(averages.cols(), expected.rows.size());
  int mismatches = 0;
  for (std::uint32_t k = 0; k < patches.rows(); ++k) {
    for (std::uint32_t i = 0; i < patches.cols(); ++i) {
      if (patches[k][i] != expected.rows[k][i]) ++mismatches;
    }
    if (averages[0][k] != expected.means[k].c0 || averages[1][k] != expected.means[k].c1 ||
        averages[2][k] != expected.means[k].c2) {
      ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Extracts and arranges back into a fresh 24-bit image of the same size.
CImage roundTrip(std::uint16_t space, const CImage& source, std::uint32_t pw, std::uint32_t ph) {
  PatchMatrix patches;
  patches.patchWidth = pw;
  patches.patchHeight = ph;
  KPX::Matrix<double> averages;
  EXPECT_EQ(extractPatches(space, source, patches, averages), status::Success);
  CImage target;
  EXPECT_TRUE(target.Create(source.GetWidth(), source.GetHeight(), 24));
  EXPECT_EQ(arrangePatches(space, pw, ph, target, patches, averages), status::Success);
  return target;
}

int maxChannelError(const CImage& a, const CImage& b) {
  int worst = 0;
  for (int y = 0; y < a.GetHeight(); ++y) {
    for (int x = 0; x < a.GetWidth(); ++x) {
      const std::uint32_t p = a.GetPixel(x, y);
      const std::uint32_t q = b.GetPixel(x, y);
      for (int shift = 0; shift < 24; shift += 8) {
        const int d =
            std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
        worst = std::max(worst, d);
      }
    }
  }
  return worst;
}

TEST(PatchGridTest, CeilingDivisions) {
  const PatchGrid g = patchGrid(10, 7, 8, 8);
  EXPECT_EQ(g.columns, 2u);
  EXPECT_EQ(g.rows, 1u);
  EXPECT_EQ(g.count(), 2u);
  EXPECT_EQ(patchGrid(16, 16, 8, 8).count(), 4u);
  EXPECT_EQ(patchGrid(17, 16, 8, 8).columns, 3u);
  EXPECT_EQ(patchGrid(400, 250, 8, 8).rows, 32u);
  EXPECT_EQ(patchGrid(0, 5, 8, 8).count(), 0u);
  EXPECT_EQ(patchGrid(10, 10, 0, 8).count(), 0u);
}

TEST(ExtractPatches, EdgePixelsRepeatPastTheImage) {
  const CImage image = makeImage(10, 7, 24, false, gradient);
  PatchMatrix patches;
  patches.patchWidth = 8;
  patches.patchHeight = 8;
  KPX::Matrix<double> averages;
  ASSERT_EQ(extractPatches(kColorSpaceRGB, image, patches, averages), status::Success);
  ASSERT_EQ(patches.rows(), 2u);
  ASSERT_EQ(patches.cols(), 192u);
  ASSERT_EQ(averages.rows(), 3u);
  ASSERT_EQ(averages.cols(), 2u);

  // Absolute values: a patch row plus its mean.
  auto value = [&](std::uint32_t k, int plane, int x, int y) {
    const double mean = averages[static_cast<std::uint32_t>(plane)][k];
    return patches[k][plane * 64 + y * 8 + x] + mean;
  };
  for (int y = 0; y < 8; ++y) {
    const int sy = std::min(y, 6);
    for (int x = 0; x < 8; ++x) {
      EXPECT_DOUBLE_EQ(value(0, 0, x, y), colorRed(gradient(x, sy)));
      const int sx = std::min(8 + x, 9);  // columns 2-7 of patch 1 repeat column 9
      EXPECT_DOUBLE_EQ(value(1, 0, x, y), colorRed(gradient(sx, sy)));
      EXPECT_DOUBLE_EQ(value(1, 1, x, y), colorGreen(gradient(sx, sy)));
      EXPECT_DOUBLE_EQ(value(1, 2, x, y), colorBlue(gradient(sx, sy)));
    }
  }
  // Mean of patch 1's red plane: columns 8 and 9 (120, 135), the latter 7 times.
  EXPECT_DOUBLE_EQ(averages[0][1], (120.0 + 7 * 135.0) / 8);
  // Row 7 repeats row 6: green 180 twice among 0, 30, ..., 180.
  EXPECT_DOUBLE_EQ(averages[1][0], (0 + 30 + 60 + 90 + 120 + 150 + 180 + 180) / 8.0);
}

TEST(ExtractPatches, ImageOfWholePatchesRepeatsNothing) {
  const CImage image = makeImage(16, 8, 24, true, gradient);
  PatchMatrix patches;
  patches.patchWidth = 8;
  patches.patchHeight = 8;
  KPX::Matrix<double> averages;
  ASSERT_EQ(extractPatches(kColorSpaceRGB, image, patches, averages), status::Success);
  ASSERT_EQ(patches.rows(), 2u);
  // Columns 14 and 15 of the image stay distinct in patch 1.
  EXPECT_DOUBLE_EQ(patches[1][7] - patches[1][6], 15.0);
  EXPECT_DOUBLE_EQ(patches[1][7 * 8 + 7] + averages[0][1], 15 * 15.0);
}

TEST(ExtractPatches, MatchesOnePixelReadPerPatchPixel) {
  for (std::uint16_t space = 0; space < 3; ++space) {
    expectSameAsReference(space, makeImage(21, 13, 24, false, noise), 8, 8, "24-bit bottom-up");
    expectSameAsReference(space, makeImage(21, 13, 24, true, noise), 4, 4, "24-bit top-down");
    expectSameAsReference(space, makeImage(19, 9, 32, false, noise), 5, 3, "32-bit");
    expectSameAsReference(space, makeImage(8, 8, 24, false, noise), 8, 8, "one patch");
    expectSameAsReference(space, makeImage(1, 1, 24, false, noise), 4, 2, "one pixel");
  }
}

TEST(ExtractPatches, ServesPaletteAndSixteenBitSources) {
  CImage indexed;
  ASSERT_TRUE(indexed.Create(11, 6, 8));
  std::vector<std::uint32_t> table(256);
  for (std::uint32_t i = 0; i < 256; ++i) table[i] = noise(static_cast<int>(i), 3);
  indexed.SetColorTable(0, 256, table.data());
  CImage packed;
  ASSERT_TRUE(packed.Create(11, -6, 16, CImage::kCreate565));
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 11; ++x) {
      indexed.GetPixelAddress(x, y)[0] = static_cast<std::uint8_t>(noise(x, y));
      packed.GetPixelAddress(x, y)[0] = static_cast<std::uint8_t>(noise(x, y));
      packed.GetPixelAddress(x, y)[1] = static_cast<std::uint8_t>(noise(x, y) >> 8);
    }
  }
  for (std::uint16_t space = 0; space < 3; ++space) {
    expectSameAsReference(space, indexed, 4, 4, "8-bit");
    expectSameAsReference(space, packed, 4, 4, "16-bit");
  }
  // The palette is really used: pixel (0, 0) reads its table entry.
  PatchMatrix patches;
  patches.patchWidth = 1;
  patches.patchHeight = 1;
  KPX::Matrix<double> averages;
  ASSERT_EQ(extractPatches(kColorSpaceRGB, indexed, patches, averages), status::Success);
  const std::uint32_t entry = table[indexed.GetPixelAddress(0, 0)[0]];
  EXPECT_DOUBLE_EQ(averages[0][0], (entry >> 16) & 0xFF);
  EXPECT_DOUBLE_EQ(averages[2][0], entry & 0xFF);
}

TEST(ExtractPatches, UnknownColourSpaceDoesNothing) {
  const CImage image = makeImage(4, 4, 24, false, gradient);
  PatchMatrix patches;
  patches.resize(1, 2);
  patches.patchWidth = 4;
  patches.patchHeight = 4;
  KPX::Matrix<double> averages(1, 1);
  EXPECT_EQ(extractPatches(3, image, patches, averages), status::Success);
  EXPECT_EQ(patches.rows(), 1u);
  EXPECT_EQ(patches.cols(), 2u);
  EXPECT_EQ(averages.cols(), 1u);
}

TEST(ExtractPatches, ImpossibleSizesFailWithStatus) {
  const CImage image = makeImage(2, 2, 24, false, gradient);
  PatchMatrix patches;
  KPX::Matrix<double> averages;
  patches.patchWidth = 0;
  patches.patchHeight = 8;
  EXPECT_EQ(extractPatches(kColorSpaceRGB, image, patches, averages), status::InvalidArguments);
  // 3 * 30000 * 30000 values fit 32 bits, their bytes do not: the
  // matrices' allocation failure surfaces as 7.
  patches.patchWidth = 30000;
  patches.patchHeight = 30000;
  EXPECT_EQ(extractPatches(kColorSpaceYCC, image, patches, averages), status::NoMemory);
  patches.patchWidth = 70000;
  patches.patchHeight = 70000;
  EXPECT_EQ(extractPatches(kColorSpaceHSV, image, patches, averages), status::NoMemory);
  EXPECT_EQ(image.AccessCount(), 0);
}

TEST(PatchMean, RemoveThenAddRestoresThePlanes) {
  std::vector<double> row = {1, 2, 3, 4, 5, 10, 10, 10, 10, 10, -5, 0, 5, 250, 0};
  const std::vector<double> original = row;
  const ColorTriple means = removePatchMean(row.data(), 5);
  EXPECT_DOUBLE_EQ(means.c0, 3.0);
  EXPECT_DOUBLE_EQ(means.c1, 10.0);
  EXPECT_DOUBLE_EQ(means.c2, 50.0);
  EXPECT_DOUBLE_EQ(row[0], -2.0);
  EXPECT_DOUBLE_EQ(row[7], 0.0);
  EXPECT_DOUBLE_EQ(row[13], 200.0);
  addPatchMean(row.data(), 5, means);
  EXPECT_EQ(row, original);
  EXPECT_DOUBLE_EQ(removePatchMean(row.data(), 0).c0, 0.0);
}

// Patch and average matrices with values in and out of range, fractions
// included, for a target of width x height.
void fillRandom(std::uint32_t width, std::uint32_t height, std::uint32_t pw, std::uint32_t ph,
                PatchMatrix& patches, KPX::Matrix<double>& averages) {
  std::mt19937 random(width * 131 + height);
  std::uniform_real_distribution<double> values(-40.0, 300.0);
  const PatchGrid grid = patchGrid(width, height, pw, ph);
  patches.patchWidth = pw;
  patches.patchHeight = ph;
  patches.resize(grid.count(), 3 * pw * ph);
  averages.resize(3, grid.count());
  for (std::uint32_t i = 0; i < patches.count(); ++i) patches.data()[i] = values(random) - 128;
  for (std::uint32_t i = 0; i < averages.count(); ++i) averages.data()[i] = values(random);
}

TEST(ArrangePatches, DirectRowsEqualThePixelPath) {
  struct Case {
    int width, height;
    std::uint32_t patch;
  };
  for (const Case c :
       {Case{16, 12, 4}, Case{13, 9, 4}, Case{21, 11, 8}, Case{5, 3, 4}, Case{3, 17, 8}}) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    PatchMatrix patches;
    KPX::Matrix<double> averages;
    fillRandom(c.width, c.height, c.patch, c.patch, patches, averages);
    PatchMatrix patchesCopy = patches;
    patchesCopy.patchWidth = c.patch;
    patchesCopy.patchHeight = c.patch;

    CImage direct;
    ASSERT_TRUE(direct.Create(c.width, c.height, 24));
    // Mark the row padding: the direct path must not write into it.
    const std::uint32_t used = 3 * static_cast<std::uint32_t>(c.width);
    const std::uint32_t stride = CImage::RowBytes(c.width, 24);
    for (int y = 0; y < c.height; ++y) {
      std::fill(direct.GetPixelAddress(0, y) + used, direct.GetPixelAddress(0, y) + stride, 0xAB);
    }
    ASSERT_EQ(arrangePatches(kColorSpaceRGB, c.patch, c.patch, direct, patches, averages),
              status::Success);
    // A recorded patch size that is not a multiple of 4 takes the pixel path.
    CImage pixelwise;
    ASSERT_TRUE(pixelwise.Create(c.width, c.height, 24));
    ASSERT_EQ(arrangePatches(kColorSpaceRGB, 6, 6, pixelwise, patchesCopy, averages),
              status::Success);
    EXPECT_EQ(pixelwise.AccessCount(), 0);

    int differences = 0;
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        if (direct.GetPixel(x, y) != pixelwise.GetPixel(x, y)) ++differences;
      }
      for (std::uint32_t i = used; i < stride; ++i) {
        EXPECT_EQ(direct.GetPixelAddress(0, y)[i], 0xAB);
      }
    }
    EXPECT_EQ(differences, 0);
    // Both paths add the means in place.
    for (std::uint32_t i = 0; i < patches.count(); ++i) {
      ASSERT_EQ(patches.data()[i], patchesCopy.data()[i]);
    }
  }
}

TEST(ArrangePatches, PixelsComeFromPlanesPlusMeans) {
  PatchMatrix patches;
  patches.patchWidth = 4;
  patches.patchHeight = 4;
  patches.resize(2, 48);
  KPX::Matrix<double> averages(3, 2);
  KPX::fill(patches, 0.0);
  averages[0][0] = 100.0;
  averages[1][0] = 50.0;
  averages[2][0] = 25.0;
  averages[0][1] = 10.0;
  averages[1][1] = 400.0;
  averages[2][1] = -3.0;
  patches[0][1 * 4 + 2] = 0.9;  // c0 of pixel (2, 1) in patch 0
  patches[1][16 + 3] = -500.0;  // c1 of pixel (3, 0) in patch 1
  CImage target;
  ASSERT_TRUE(target.Create(6, 3, 24));
  ASSERT_EQ(arrangePatches(kColorSpaceRGB, 4, 4, target, patches, averages), status::Success);
  EXPECT_EQ(target.GetPixel(0, 0), makeColorWord(100, 50, 25));
  EXPECT_EQ(target.GetPixel(2, 1), makeColorWord(100, 50, 25));
  EXPECT_EQ(target.GetPixel(4, 2), makeColorWord(10, 255, 0));
  EXPECT_DOUBLE_EQ(patches[0][6], 100.9);
  EXPECT_DOUBLE_EQ(patches[1][19], -100.0);
}

TEST(ArrangePatches, OtherColourSpacesUseTheirInverse) {
  PatchMatrix patches;
  patches.patchWidth = 2;
  patches.patchHeight = 2;
  patches.resize(1, 12);
  KPX::fill(patches, 0.0);
  KPX::Matrix<double> averages(3, 1);
  averages[0][0] = 42.5;
  averages[1][0] = 255.0;
  averages[2][0] = 255.0;
  CImage target;
  ASSERT_TRUE(target.Create(2, 2, 24));
  ASSERT_EQ(arrangePatches(kColorSpaceHSV, 2, 2, target, patches, averages), status::Success);
  EXPECT_EQ(target.GetPixel(1, 1), makeColorWord(255, 255, 0));

  KPX::fill(patches, 0.0);
  averages[0][0] = 100.0;
  averages[1][0] = 138.0;
  averages[2][0] = 108.0;
  ASSERT_EQ(arrangePatches(kColorSpaceYCC, 2, 2, target, patches, averages), status::Success);
  EXPECT_EQ(target.GetPixel(0, 1), makeColorWord(71, 110, 117));

  CImage untouched;
  ASSERT_TRUE(untouched.Create(2, 2, 24));
  EXPECT_EQ(arrangePatches(7, 2, 2, untouched, patches, averages), status::Success);
  EXPECT_EQ(untouched.GetPixel(0, 0), 0u);
  EXPECT_DOUBLE_EQ(patches[0][0], 100.0);  // means added once, by the YCC call only
}

TEST(ArrangePatches, MatricesThatDoNotCoverTheTargetAreRefused) {
  PatchMatrix patches;
  KPX::Matrix<double> averages;
  fillRandom(8, 8, 4, 4, patches, averages);  // 4 patches
  CImage target;
  ASSERT_TRUE(target.Create(9, 8, 24));  // needs 6
  EXPECT_EQ(arrangePatches(kColorSpaceRGB, 4, 4, target, patches, averages),
            status::InconsistentParameters);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(target.GetPixel(x, 0), 0u);

  ASSERT_TRUE(target.Create(8, 8, 24));
  KPX::Matrix<double> shortAverages(3, 3);
  EXPECT_EQ(arrangePatches(kColorSpaceYCC, 4, 4, target, patches, shortAverages),
            status::InconsistentParameters);
  patches.patchWidth = 2;  // the rows no longer hold 4 x 4 patches
  EXPECT_EQ(arrangePatches(kColorSpaceHSV, 4, 4, target, patches, averages),
            status::InconsistentParameters);
  patches.patchWidth = 0;
  EXPECT_EQ(arrangePatches(kColorSpaceRGB, 4, 4, target, patches, averages),
            status::InvalidArguments);
}

TEST(RenderAverageImage, RgbWritesOnePixelPerPatch) {
  KPX::Matrix<double> averages(3, 6);
  for (std::uint32_t k = 0; k < 6; ++k) {
    averages[0][k] = 40.0 * k + 0.7;
    averages[1][k] = 300.0 - k;
    averages[2][k] = -1.0 + k;
  }
  CImage target;
  ASSERT_TRUE(target.Create(50, 50, 8));
  // 23 x 10 pixels in 8 x 8 patches: a 3 x 2 grid.
  ASSERT_EQ(renderAverageImage(averages, kColorSpaceRGB, 23, 10, 8, 8, nullptr, target),
            status::Success);
  EXPECT_EQ(target.GetWidth(), 3);
  EXPECT_EQ(target.GetHeight(), 2);
  EXPECT_EQ(target.GetBPP(), 24);
  EXPECT_LT(target.GetPitch(), 0);
  EXPECT_EQ(target.GetPixel(0, 0), makeColorWord(0, 255, 0));
  EXPECT_EQ(target.GetPixel(2, 0), makeColorWord(80, 255, 1));
  EXPECT_EQ(target.GetPixel(1, 1), makeColorWord(160, 255, 3));
  EXPECT_EQ(target.GetPixel(2, 1), makeColorWord(200, 255, 4));
}

TEST(RenderAverageImage, OtherSpacesGoThroughTheGivenInverse) {
  KPX::Matrix<double> averages(3, 2);
  averages[0][0] = 42.5;
  averages[1][0] = 255.0;
  averages[2][0] = 255.0;
  averages[0][1] = 170.0;
  averages[1][1] = 255.0;
  averages[2][1] = 200.0;
  CImage target;
  ASSERT_EQ(renderAverageImage(averages, kColorSpaceHSV, 10, 7, 8, 8, &hsvInverse, target),
            status::Success);
  EXPECT_EQ(target.GetPixel(0, 0), makeColorWord(255, 255, 0));
  EXPECT_EQ(target.GetPixel(1, 0), makeColorWord(0, 0, 200));
  EXPECT_EQ(target.AccessCount(), 0);
  // The caller's conversion wins over the colour space's own.
  ASSERT_EQ(renderAverageImage(averages, kColorSpaceHSV, 10, 7, 8, 8, &rgbInverse, target),
            status::Success);
  EXPECT_EQ(target.GetPixel(1, 0), makeColorWord(170, 255, 200));
  ASSERT_EQ(renderAverageImage(averages, kColorSpaceHSV, 10, 7, 8, 8, nullptr, target),
            status::Success);
  EXPECT_EQ(target.GetPixel(1, 0), makeColorWord(0, 0, 200));
  // The averages are not changed by a conversion that changes its triple.
  ASSERT_EQ(renderAverageImage(averages, kColorSpaceYCC, 10, 7, 8, 8, &yccInverse, target),
            status::Success);
  EXPECT_DOUBLE_EQ(averages[1][0], 255.0);
}

TEST(RenderAverageImage, FailuresReportStatus) {
  KPX::Matrix<double> averages(3, 2);
  KPX::fill(averages, 0.0);
  CImage target;
  EXPECT_EQ(renderAverageImage(averages, kColorSpaceRGB, 0, 7, 8, 8, nullptr, target),
            status::PlatformError);
  EXPECT_EQ(renderAverageImage(averages, kColorSpaceRGB, 10, 7, 0, 8, nullptr, target),
            status::PlatformError);
  EXPECT_TRUE(target.IsNull());
  ASSERT_TRUE(target.Create(1, 1, 24));
  EXPECT_EQ(renderAverageImage(averages, kColorSpaceRGB, 17, 7, 8, 8, nullptr, target),
            status::InconsistentParameters);
  EXPECT_FALSE(target.IsNull());  // refused before the target is touched
  KPX::Matrix<double> huge(3, 2);
  EXPECT_EQ(renderAverageImage(huge, kColorSpaceRGB, 0xFFFFFFFFu, 1, 1, 1, nullptr, target),
            status::InconsistentParameters);
}

TEST(PatchRoundTrip, PhotographComesBackExactlyInRgb) {
  CImage photo;
  std::string error;
  ASSERT_TRUE(loadBmp(corpusPath("aqua.bmp"), photo, &error)) << error;
  ASSERT_EQ(photo.GetWidth(), 400);
  ASSERT_EQ(photo.GetHeight(), 250);
  ASSERT_EQ(photo.GetBPP(), 24);
  // 8 x 8 takes the direct rows, 6 x 6 the pixel path; 250 rows leave a part patch.
  EXPECT_EQ(maxChannelError(photo, roundTrip(kColorSpaceRGB, photo, 8, 8)), 0);
  EXPECT_EQ(maxChannelError(photo, roundTrip(kColorSpaceRGB, photo, 6, 6)), 0);
}

// The conversions alone lose at most one level per channel (the truncation
// of a value that lands just below the original integer; see the cube test).
// Means are sums of 64 values divided by a power of two, and removing and
// adding them back moves a value by far less than the conversions' own
// rounding, so the bound through patches is the same single level.
TEST(PatchRoundTrip, PhotographComesBackWithinOneLevelInYccAndHsv) {
  CImage photo;
  ASSERT_TRUE(loadBmp(corpusPath("aqua.bmp"), photo));
  EXPECT_EQ(maxChannelError(photo, roundTrip(kColorSpaceYCC, photo, 8, 8)), 1);
  EXPECT_EQ(maxChannelError(photo, roundTrip(kColorSpaceHSV, photo, 8, 8)), 1);
  EXPECT_LE(maxChannelError(photo, roundTrip(kColorSpaceYCC, photo, 5, 3)), 1);
  EXPECT_LE(maxChannelError(photo, roundTrip(kColorSpaceHSV, photo, 5, 3)), 1);
}

}  // namespace
