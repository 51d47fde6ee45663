// The codec's limits: what the defaults let through, and that a file over a
// limit (or announcing more than its length can hold) fails with a status
// before anything big is allocated, measured in a child process.
#include "codec/limits.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "support/child_process.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::ChildOutcome;
using testing_support::patternImage;
using testing_support::runInChild;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;

namespace {

// Far below what any of the refused allocations would touch.
constexpr long kSmallGrowthKb = 32 * 1024;

RIMHeader photoHeader(std::uint32_t width, std::uint32_t height) {
  RIMHeader h;
  h.imageWidth = width;
  h.imageHeight = height;
  h.patchWidth = h.patchHeight = 8;
  h.dimension = 96;
  h.averageOffset = 44;
  return h;
}

std::string headerBytes(const RIMHeader& h) {
  std::uint8_t bytes[kRimHeaderSize];
  encodeHeader(h, bytes);
  return std::string(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// A file of the given apparent length holding only the header (the rest is
// a hole that costs no disk).
void writeSparse(const std::string& path, const std::string& head, off_t length) {
  writeFileBytes(path, head);
  ASSERT_EQ(truncate(path.c_str(), length), 0);
}

// Every reader of a RIM file on path, in a child: the first status that is
// not `expected` (+ 100), else 0.
ChildOutcome readAllInChild(const std::string& path, Status expected) {
  return runInChild([&] {
    setTraceStream(nullptr);
    CImage image;
    Status s = CRIMCodec().decodeFile(image, path);
    if (s != expected) return 100 + s.code();
    s = CRIMCodec().renderAveragePreview(image, path);
    if (s != expected) return 100 + s.code();
    RIMHeader header;
    CAverage average;
    CBase base;
    CCoeff coeff;
    for (Status r : {readComponentAt(path, average, RimSection::Averages, header),
                     readComponentAt(path, base, RimSection::Bases, header),
                     readComponentAt(path, coeff, RimSection::Coefficients, header)}) {
      if (r != expected) return 100 + r.code();
    }
    return 0;
  });
}

}  // namespace

TEST(CodecLimits, DefaultsCodePhotographsOfUpTo179Megapixels) {
  const CodecLimits defaults;
  EXPECT_EQ(defaults.maxPixels, UINT64_C(1) << 28);
  EXPECT_EQ(defaults.maxPatches, UINT64_C(1) << 25);
  EXPECT_EQ(defaults.maxMatrixBytes, UINT64_C(1) << 31);
  EXPECT_EQ(defaults.maxBasesFileBytes, UINT64_C(1) << 26);

  // 16384 x 10920 = 178.9 million pixels: 2048 x 1365 patches of 96
  // coefficients, 8 bytes each, just under 2 GiB; one more grid row is over.
  EXPECT_EQ(validateHeader(photoHeader(16384, 10920)), status::Success);
  EXPECT_EQ(validateHeader(photoHeader(16384, 10928)), status::InvalidValues);
  // The whole patch matrix (24 bytes a pixel) is never formed: 90 million
  // pixels, once over the limit through it, pass.
  EXPECT_EQ(validateHeader(photoHeader(10000, 9000)), status::Success);
  // 200 million pixels are over the matrix limit ...
  EXPECT_EQ(validateHeader(photoHeader(20000, 10000)), status::InvalidValues);
  // ... and only over it.
  const CodecLimits saved = codecLimits();
  codecLimits().maxMatrixBytes = UINT64_C(1) << 32;
  EXPECT_EQ(validateHeader(photoHeader(20000, 10000)), status::Success);
  codecLimits() = saved;

  // With 2 x 2 patches a 20-megapixel photograph (5 million patches) passes.
  RIMHeader small = photoHeader(5472, 3648);
  small.patchWidth = small.patchHeight = 2;
  small.dimension = 12;
  EXPECT_EQ(validateHeader(small), status::Success);
}

TEST(CodecLimits, TinyFilesAnnouncingHugeMatricesFailFastAndSmall) {
  TempDir dir;
  // The header of an 89-megapixel image and three empty section headers:
  // the coefficients alone need at least one bit for each of 1.4 million rows.
  RIMHeader wide = photoHeader(13, 10);
  // A small image whose patch width lost a bit to damage (4 + 2^22): its
  // bases would be 1.8 GB, but no encoder learns from such patches.
  wide.patchWidth = 4 + (1u << 22);
  wide.patchHeight = 2;
  wide.dimension = 9;
  for (const RIMHeader& header : {photoHeader(11584, 7720), wide}) {
    SCOPED_TRACE(header.patchWidth);
    const std::string path = dir.file("huge.rim");
    writeFileBytes(path, headerBytes(header) + std::string(1400, '\0'));
    const ChildOutcome outcome = readAllInChild(path, status::InvalidValues);
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LT(outcome.peakGrowthKb, kSmallGrowthKb);
    EXPECT_LT(outcome.seconds, 2.0);
  }
}

TEST(CodecLimits, LongFilesOverTheLimitsFailBeforeAllocating) {
  TempDir dir;
  const struct {
    std::uint32_t width;
    std::uint32_t height;
  } shapes[] = {
      {60000, 60000},  // over the pixel limit
      {16384, 16384},  // within it, but the matrices are not
  };
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.width);
    const std::string path = dir.file("long.rim");
    // 6 GB long (a hole), so the length is no objection.
    writeSparse(path, headerBytes(photoHeader(shape.width, shape.height)), off_t{6} << 30);
    const ChildOutcome outcome = readAllInChild(path, status::InvalidValues);
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0);
    EXPECT_LT(outcome.peakGrowthKb, kSmallGrowthKb);
    EXPECT_LT(outcome.seconds, 2.0);
  }
}

TEST(CodecLimits, BasesFilesAreBoundedByTheirLimitAndTheirLength) {
  TempDir dir;
  auto head = [](std::uint32_t rows, std::uint32_t cols) {
    std::string bytes(16, '\0');
    const std::uint32_t fields[] = {kBasesFileMagic, rows, cols, 8};
    for (int f = 0; f < 4; ++f)
      for (int i = 0; i < 4; ++i)
        bytes[4 * f + i] = static_cast<char>((fields[f] >> (8 * i)) & 0xFF);
    return bytes;
  };
  const std::string path = dir.file("b.bases");
  const struct {
    std::string bytes;
    off_t length;  // 0: as written
  } cases[] = {
      {head(50000, 50000), 0},              // 20 GB announced in 16 bytes
      {head(3000, 3000), off_t{80} << 20},  // 72 MB: over the 64 MiB limit, the file long enough
      {head(100, 100) + std::string(80, '\0'), 0},  // ten doubles of ten thousand
  };
  for (const auto& c : cases) {
    writeFileBytes(path, c.bytes);
    if (c.length != 0) {
      ASSERT_EQ(truncate(path.c_str(), c.length), 0);
    }
    const ChildOutcome outcome = runInChild([&] {
      KPX::Matrix<double> bases;
      return readBasesFile(path, bases) == 2 && bases.count() == 0 ? 0 : 1;
    });
    ASSERT_TRUE(outcome.exited);
    EXPECT_EQ(outcome.exitCode, 0) << c.bytes.size();
    EXPECT_LT(outcome.peakGrowthKb, kSmallGrowthKb);
  }
}

TEST(CodecLimits, EncoderRefusesWhatTheDecoderWouldRefuse) {
  TempDir dir;
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  const CImage image = patternImage(300, 300);  // 1444 patches of 192 values

  const CodecLimits saved = codecLimits();
  codecLimits().maxMatrixBytes = 1 << 20;  // the 1.1 MB of coefficients are over it
  {
    TraceCapture trace;
    CRIMCodec codec;
    ASSERT_EQ(codec.setParameters(&common, &learning, &compression), 0);
    const std::string dump = trace.text();
    EXPECT_EQ(codec.encodeFile(dir.file("big.rim"), image), status::InvalidValues);
    EXPECT_EQ(trace.text(), dump);  // refused before the first step
  }
  EXPECT_FALSE(std::filesystem::exists(dir.file("big.rim")));
  codecLimits() = saved;

  // Within the limits the same encode works and decodes.
  {
    TraceCapture trace;
    CRIMCodec codec;
    ASSERT_EQ(codec.setParameters(&common, &learning, &compression), 0);
    ASSERT_EQ(codec.encodeFile(dir.file("big.rim"), image), 0);
    CImage decoded;
    EXPECT_EQ(CRIMCodec().decodeFile(decoded, dir.file("big.rim")), 0);
    EXPECT_EQ(decoded.GetWidth(), 300);
  }
}

TEST(CodecLimits, LearningOverTheLimitsFailsBeforeAllocating) {
  // 128 x 128 patches: the covariance learning needs is 49152 x 49152
  // doubles (19 GB); the refusal comes before any of it.
  TempDir dir;
  const ChildOutcome outcome = runInChild([&] {
    setTraceStream(nullptr);
    CommonParameters common;
    LearningParameters learning;
    CompressionParameters compression;
    setDefaultParameters(common, learning, compression);
    common.PatchWidth = common.PatchHeight = 128;
    learning.DimensionReduction = 1;
    CRIMCodec codec;
    if (codec.setParameters(&common, &learning, &compression) != 0) return 1;
    return codec.encodeFile(dir.file("wide.rim"), patternImage(130, 130)) == status::InvalidValues
               ? 0
               : 2;
  });
  ASSERT_TRUE(outcome.exited);
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_LT(outcome.peakGrowthKb, kSmallGrowthKb);
  EXPECT_FALSE(std::filesystem::exists(dir.file("wide.rim")));
}
