// The integer Gram sums, at every vector level, against a plain 64-bit sum of
// products, past the point where the 32-bit sums must be flushed.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "numeric/pair_gram.h"
#include "numeric_helpers.h"

namespace {

struct Case {
  const char* name;
  std::uint32_t m;
  std::uint32_t pairs;
  std::uint32_t maxValue;  // values drawn from 0..maxValue; 255 alone when 256
};

const Case kCases[] = {
    {"three_columns", 3, 50, 255},         {"twelve_columns", 12, 333, 255},
    {"patch_width", 192, 700, 255},        {"padded_width", 200, 90, 255},
    {"all_255_past_flush", 9, 40000, 256}, {"random_past_flush", 20, 35000, 255},
};

std::uint32_t valueAt(std::uint32_t& state, std::uint32_t maxValue) {
  if (maxValue == 256) return 255;
  state = state * 1664525u + 1013904223u;
  return (state >> 8) % (maxValue + 1);
}

class PairGramSums : public ::testing::TestWithParam<Case> {};

TEST_P(PairGramSums, EqualThePlainSumsOfProducts) {
  const Case& c = GetParam();
  const std::uint32_t stride = KPX::PairGram(c.m).stride();
  ASSERT_GE(stride, c.m);
  // Rows of data (two per pair; the last pair of odd counts has a zero row).
  std::vector<std::uint32_t> packed(static_cast<std::size_t>(c.pairs) * stride, 0);
  std::vector<std::int64_t> expected(static_cast<std::size_t>(c.m) * c.m, 0);
  std::vector<std::int64_t> low(c.m);
  std::vector<std::int64_t> high(c.m);
  std::uint32_t state = c.m * 7919u + c.pairs;
  for (std::uint32_t p = 0; p < c.pairs; ++p) {
    for (std::uint32_t i = 0; i < c.m; ++i) {
      low[i] = valueAt(state, c.maxValue);
      high[i] = p + 1 == c.pairs && c.pairs % 2 == 1 ? 0 : valueAt(state, c.maxValue);
      packed[static_cast<std::size_t>(p) * stride + i] =
          static_cast<std::uint32_t>(low[i]) | static_cast<std::uint32_t>(high[i]) << 16;
    }
    for (std::uint32_t i = 0; i < c.m; ++i)
      for (std::uint32_t j = i; j < c.m; ++j)
        expected[i * c.m + j] += low[i] * low[j] + high[i] * high[j];
  }
  // Every level the processor runs gives the exact sums, with the same row
  // layout.
  for (KPX::VectorLevel level :
       {KPX::VectorLevel::Portable, KPX::VectorLevel::Avx2, KPX::VectorLevel::Avx512}) {
    if (!KPX::vectorLevelSupported(level)) continue;
    SCOPED_TRACE(KPX::vectorLevelName(level));
    const numeric_test::LevelScope scope(level);
    KPX::PairGram first(c.m);
    KPX::PairGram second(c.m);
    ASSERT_EQ(first.stride(), stride);
    // Handed over in uneven pieces, and the sums split in two merged halves.
    const std::uint32_t half = c.pairs / 2;
    first.add(packed.data(), half / 3);
    first.add(packed.data() + static_cast<std::size_t>(half / 3) * stride, half - half / 3);
    second.add(packed.data() + static_cast<std::size_t>(half) * stride, c.pairs - half);
    first.merge(second);
    const std::vector<std::int64_t>& v = first.upper();
    for (std::uint32_t i = 0; i < c.m; ++i)
      for (std::uint32_t j = i; j < c.m; ++j)
        ASSERT_EQ(v[i * stride + j], expected[i * c.m + j]) << i << ", " << j;
    // Gathered into a gram that never added (taking the first sums whole),
    // twice, with an empty one merged between: the same sums twice over.
    KPX::PairGram total(c.m);
    KPX::PairGram empty(c.m);
    KPX::PairGram again(c.m);
    again.add(packed.data(), c.pairs);
    total.merge(empty);
    total.merge(first);
    total.merge(empty);
    total.merge(again);
    const std::vector<std::int64_t>& twice = total.upper();
    for (std::uint32_t i = 0; i < c.m; ++i)
      for (std::uint32_t j = i; j < c.m; ++j)
        ASSERT_EQ(twice[i * stride + j], 2 * expected[i * c.m + j]) << i << ", " << j;
    // With nothing added, every sum is zero.
    const std::vector<std::int64_t>& none = empty.upper();
    ASSERT_EQ(none.size(), static_cast<std::size_t>(stride) * stride);
    for (std::uint32_t i = 0; i < c.m; ++i)
      for (std::uint32_t j = i; j < c.m; ++j) ASSERT_EQ(none[i * stride + j], 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, PairGramSums, ::testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
