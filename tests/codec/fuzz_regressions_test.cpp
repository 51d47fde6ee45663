// RIM files that once broke a reader, through every RIM reader again: each
// must give a status (or an image of its header's size), quickly.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "support/regressions.h"
#include "support/test_support.h"

using testing_support::regressionInputs;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void expectStatus(Status s) {
  EXPECT_GE(s, 0);
  EXPECT_LT(s, status::Count);
}

}  // namespace

TEST(FuzzRegressions, RimFilesGiveAStatusQuickly) {
  TraceTarget quiet(nullptr);
  std::size_t replayed = 0;
  for (const char* target : {"fuzz_rim_decode", "fuzz_rim_preview", "fuzz_rim_sections"}) {
    for (const std::string& path : regressionInputs(target)) {
      SCOPED_TRACE(path);
      ++replayed;
      const auto start = std::chrono::steady_clock::now();
      CImage image;
      CRIMCodec decoder;
      const Status decoded = decoder.decodeFile(image, path);
      expectStatus(decoded);
      if (decoded == status::Success) {
        EXPECT_EQ(static_cast<std::uint32_t>(image.GetWidth()), decoder.header.imageWidth);
        EXPECT_EQ(static_cast<std::uint32_t>(image.GetHeight()), decoder.header.imageHeight);
      }
      CImage preview;
      expectStatus(CRIMCodec().renderAveragePreview(preview, path));
      RIMHeader header;
      CAverage average;
      CBase base;
      CCoeff coeff;
      expectStatus(readComponentAt(path, average, RimSection::Averages, header));
      expectStatus(readComponentAt(path, base, RimSection::Bases, header, true));
      expectStatus(readComponentAt(path, coeff, RimSection::Coefficients, header));
      EXPECT_LT(secondsSince(start), 1.0);
    }
  }
  EXPECT_GT(replayed, 0u);
}

TEST(FuzzRegressions, DamagedPatchSizesAreRefused) {
  // A bit flipped in the patch width or height of a small file: the patch
  // would be millions of pixels wide, its bases gigabytes.
  for (const char* name : {"patch-width-bit-flip.rim", "patch-height-bit-flip.rim"}) {
    const std::string path =
        testing_support::dataPath(std::string("regressions/fuzz_rim_decode/") + name);
    CImage image;
    EXPECT_EQ(CRIMCodec().decodeFile(image, path), status::InvalidValues) << name;
    EXPECT_EQ(CRIMCodec().renderAveragePreview(image, path), status::InvalidValues) << name;
  }
}
