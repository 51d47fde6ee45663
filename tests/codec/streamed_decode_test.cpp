// The decoder reads the coefficients a chunk of grid rows of patches at a time
// as it multiplies them instead of as a whole matrix first: every file,
// damaged or not, must give the same status, pixels and trace lines as the
// whole-matrix decoding, on one thread and on several, and a failure must
// leave the target as it was.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "numeric/parallel.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

struct Outcome {
  Status status = status::Success;
  std::vector<std::uint8_t> pixels;
  int width = 0;
  std::string labels;  // the trace's lines up to their '='
};

// Decodes path on threads threads into a target holding a 7 x 3 bitmap.
Outcome decodeOn(std::uint32_t threads, bool streamed, const std::string& path) {
  KPX::setThreadCount(threads);
  std::ostringstream trace;
  std::ostream* previous = setTraceStream(&trace);
  CImage image;
  EXPECT_TRUE(image.Create(7, 3, 24));
  CRIMCodec codec;
  codec.streamCoefficients = streamed;
  Outcome o;
  o.status = codec.decodeFile(image, path);
  setTraceStream(previous);
  KPX::setThreadCount(0);
  o.width = image.GetWidth();
  for (int y = 0; y < image.GetHeight(); ++y) {
    const std::uint8_t* line = image.GetBits() + static_cast<std::ptrdiff_t>(y) * image.GetPitch();
    o.pixels.insert(o.pixels.end(), line, line + 3 * image.GetWidth());
  }
  std::istringstream lines(trace.str());
  for (std::string line; std::getline(lines, line);)
    o.labels += line.substr(0, line.find('=')) + "|";
  return o;
}

void expectSameOutcome(const std::string& path, const std::string& what) {
  SCOPED_TRACE(what);
  const Outcome whole = decodeOn(1, false, path);
  for (std::uint32_t threads : {1u, 3u}) {
    SCOPED_TRACE(threads);
    const Outcome streamed = decodeOn(threads, true, path);
    ASSERT_EQ(streamed.status, whole.status);
    EXPECT_EQ(streamed.labels, whole.labels);
    if (streamed.status == status::Success) {
      EXPECT_EQ(streamed.pixels, whole.pixels);
    } else {
      EXPECT_EQ(streamed.width, 7);  // the held bitmap survives
    }
  }
}

testing_support::SmallRimOptions options(const char* name, std::uint16_t colorSpace,
                                         std::uint32_t patch, int width, int height) {
  testing_support::SmallRimOptions o;
  o.name = name;
  o.colorSpace = colorSpace;
  o.patchWidth = o.patchHeight = patch;
  o.width = width;
  o.height = height;
  return o;
}

class StreamedDecode : public testing_support::SmallRimFileTest {};

TEST_P(StreamedDecode, UndamagedFileGivesTheSamePixels) {
  const Outcome o = decodeOn(1, true, dir_.file("good.rim"));
  ASSERT_EQ(o.status, status::Success);
  EXPECT_EQ(o.labels, "  loading time |  expand time |  multiply time |  arrange time ||");
  expectSameOutcome(dir_.file("good.rim"), "undamaged");
}

// The coefficients are the last section: flipping a bit of each byte of
// the file's second half hits their tables and rows at every position.
TEST_P(StreamedDecode, EveryByteFlippedGivesTheSameOutcome) {
  for (std::size_t at = good_.size() / 2; at < good_.size(); ++at) {
    std::string bytes = good_;
    const int bit = static_cast<int>(at % 8);
    bytes[at] = static_cast<char>(bytes[at] ^ (1 << bit));
    expectSameOutcome(damaged(bytes), "byte " + std::to_string(at) + " bit " + std::to_string(bit));
    if (HasFatalFailure()) return;
  }
}

TEST_P(StreamedDecode, EveryTruncationGivesTheSameOutcome) {
  for (std::size_t size = good_.size() / 2; size < good_.size(); ++size) {
    expectSameOutcome(damaged(good_.substr(0, size)), "size " + std::to_string(size));
    if (HasFatalFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Files, StreamedDecode,
                         testing::Values(options("rgb", 0, 4, 37, 22), options("ycc", 1, 4, 13, 10),
                                         options("hsv3", 2, 3, 20, 11)),
                         testing::PrintToStringParamName());

}  // namespace
