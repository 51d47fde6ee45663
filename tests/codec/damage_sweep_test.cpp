// Systematic damage of small RIM files made by the encoder: every truncation,
// every single bit flipped, every byte set to 0x00 and to 0xFF. Each damaged
// file goes through every reader (full decode, preview, the single-section
// readers of searches, the header-only read); each must answer with a status
// (or decode an image of the size its header gives), quickly, and without a
// sanitizer report when built with them.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>

#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

using SmallFile = testing_support::SmallRimOptions;

// Runs every reader over one file; counts the successes and keeps the
// slowest call.
class Readers {
 public:
  void run(const std::string& path, const std::string& what) {
    SCOPED_TRACE(what);
    current_ = what;
    {
      CImage image;
      CRIMCodec codec;
      const Status s = timed([&] { return codec.decodeFile(image, path); });
      if (s == status::Success) {
        ++decoded_;
        EXPECT_EQ(static_cast<std::uint32_t>(image.GetWidth()), codec.header.imageWidth);
        EXPECT_EQ(static_cast<std::uint32_t>(image.GetHeight()), codec.header.imageHeight);
        EXPECT_EQ(image.GetBPP(), 24);
      }
    }
    {
      CImage image;
      CRIMCodec codec;
      if (timed([&] { return codec.renderAveragePreview(image, path); }) == status::Success) {
        EXPECT_FALSE(image.IsNull());
      }
    }
    {
      CRIMCodec codec;
      std::uint16_t method = 0;
      // timed checks the status itself: any status with a message will do.
      static_cast<void>(timed([&] { return codec.readLearningMethod(path, method); }));
    }
    RIMHeader header;
    CAverage average;
    CBase base;
    CCoeff coeff;
    static_cast<void>(
        timed([&] { return readComponentAt(path, average, RimSection::Averages, header, false); }));
    static_cast<void>(
        timed([&] { return readComponentAt(path, base, RimSection::Bases, header, true); }));
    static_cast<void>(timed(
        [&] { return readComponentAt(path, coeff, RimSection::Coefficients, header, true); }));
  }

  int decoded() const { return decoded_; }
  double slowestSeconds() const { return slowest_; }
  const std::string& slowestCase() const { return slowestCase_; }

 private:
  // The reader's CPU time, so that a busy machine taking the processor away
  // from it does not count as the reader being slow.
  template <class Call>
  Status timed(Call&& call) {
    const std::clock_t start = std::clock();
    const Status s = call();
    const double took = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (took > slowest_) {
      slowest_ = took;
      slowestCase_ = current_;
    }
    EXPECT_GE(s, 0);
    EXPECT_LT(s, status::Count);  // a status with a message
    return s;
  }

  int decoded_ = 0;
  double slowest_ = 0.0;
  std::string current_;
  std::string slowestCase_;
};

SmallFile smallFile(const char* name, std::uint16_t colorSpace, std::uint32_t patchWidth,
                    std::uint32_t patchHeight, std::uint32_t dimension, std::uint32_t iterations,
                    std::uint32_t doChangeStep, std::uint32_t mode) {
  SmallFile f;
  f.name = name;
  f.colorSpace = colorSpace;
  f.patchWidth = patchWidth;
  f.patchHeight = patchHeight;
  f.dimension = dimension;
  f.maxIterations = iterations;
  f.doChangeStep = doChangeStep;
  f.mode = mode;
  return f;
}

const SmallFile kFiles[] = {
    smallFile("rgb-pca", 0, 4, 4, 12, 0, 0, 0),
    smallFile("hsv-ica-steps", 2, 3, 2, 9, 4, 1, 0),
    smallFile("ycc-zlib", 1, 4, 4, 10, 0, 0, 1),
};

class DamageSweep : public testing_support::SmallRimFileTest {
 protected:
  void SetUp() override {
    quiet_ = setTraceStream(nullptr);
    SmallRimFileTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_GT(good_.size(), 164u);
    // The undamaged file reads everywhere.
    Readers readers;
    readers.run(dir_.file("good.rim"), "undamaged");
    ASSERT_EQ(readers.decoded(), 1);
  }
  void TearDown() override { setTraceStream(quiet_); }

  std::ostream* quiet_ = nullptr;
};

}  // namespace

TEST_P(DamageSweep, EveryTruncationFails) {
  Readers readers;
  for (std::size_t length = 0; length < good_.size(); ++length)
    readers.run(damaged(good_.substr(0, length)), "cut at " + std::to_string(length));
  // Nothing is missing from an encoder-made file: each cut loses real bytes.
  EXPECT_EQ(readers.decoded(), 0);
  EXPECT_LT(readers.slowestSeconds(), 0.5) << readers.slowestCase();
}

TEST_P(DamageSweep, EveryBitFlipGivesAStatusOrAnImage) {
  Readers readers;
  for (std::size_t at = 0; at < good_.size(); ++at) {
    for (int bit = 0; bit < 8; ++bit) {
      std::string bytes = good_;
      bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
      readers.run(damaged(bytes), "byte " + std::to_string(at) + " bit " + std::to_string(bit));
    }
  }
  EXPECT_LT(readers.slowestSeconds(), 0.5) << readers.slowestCase();
}

TEST_P(DamageSweep, EveryByteZeroedOrSaturated) {
  Readers readers;
  for (std::size_t at = 0; at < good_.size(); ++at) {
    for (char value : {'\x00', '\xFF'}) {
      std::string bytes = good_;
      bytes[at] = value;
      readers.run(damaged(bytes), "byte " + std::to_string(at) + " = " +
                                      std::to_string(static_cast<unsigned char>(value)));
    }
  }
  EXPECT_LT(readers.slowestSeconds(), 0.5) << readers.slowestCase();
}

INSTANTIATE_TEST_SUITE_P(EncoderFiles, DamageSweep, testing::ValuesIn(kFiles),
                         [](const testing::TestParamInfo<SmallFile>& param) {
                           std::string name = param.param.name;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });
