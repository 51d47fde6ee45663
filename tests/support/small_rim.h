// Small RIM files made by the real encoder with chosen parameters, for tests
// that damage or compare whole files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>

#include "codec/status.h"
#include "support/test_support.h"

namespace testing_support {

struct SmallRimOptions {
  const char* name = "small";
  std::uint16_t colorSpace = 0;
  std::uint32_t patchWidth = 4;
  std::uint32_t patchHeight = 4;
  std::uint32_t dimension = 12;
  std::uint32_t maxIterations = 0;
  std::uint32_t doChangeStep = 0;
  std::uint32_t mode = 0;  // payload coding of every section: 0 Huffman, 1 zlib
  int width = 13;
  int height = 10;
};

// How a test parameter shows in gtest's output.
inline void PrintTo(const SmallRimOptions& options, std::ostream* out) { *out << options.name; }

// Encodes patternImage(width, height) with the default parameters changed
// as the options say; the codec trace is dropped.
Status writeSmallRim(const std::string& path, const SmallRimOptions& options);

// A small file of the test's options, good.rim in a folder of its own, and
// damaged copies of its bytes written beside it.
class SmallRimFileTest : public ::testing::TestWithParam<SmallRimOptions> {
 protected:
  void SetUp() override;
  // Writes bytes to bad.rim; its path.
  std::string damaged(const std::string& bytes);

  TempDir dir_;
  std::string good_;  // the bytes of good.rim
};

}  // namespace testing_support
