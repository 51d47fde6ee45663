// The integer walks of the Huffman coder against the walks over doubles of
// the same values: the same counts, statuses and bits, with and without the
// vector search for non-zero values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "codec/huffman.h"
#include "numeric/numeric_helpers.h"

namespace {

struct Shape {
  const char* name;
  std::uint32_t rows;
  std::uint32_t cols;
  std::uint32_t precision;
  std::uint32_t zeroRun;
  bool uncodable;  // some values wider than the precision
};

const Shape kShapes[] = {
    {"one_column", 40, 1, 4, 2, false},    {"seven_columns", 30, 7, 8, 16, false},
    {"sixty_four", 20, 64, 5, 3, false},   {"sixty_five", 20, 65, 12, 16, false},
    {"ninety_six", 50, 96, 16, 16, false}, {"wide_sparse", 9, 130, 31, 1, false},
    {"uncodable", 60, 24, 6, 4, true},     {"uncodable_wide", 25, 100, 3, 16, true},
};

// Mostly zeros with runs of every length, zero rows, rows ending in zero and
// in values; values up to the precision's limit, and past it when asked.
KPX::Matrix<std::int32_t> sample(const Shape& s) {
  KPX::Matrix<std::int32_t> m(s.rows, s.cols);
  std::mt19937 rng(s.rows * 131u + s.cols);
  const std::int64_t limit = (std::int64_t{1} << s.precision) - 1;
  for (std::uint32_t r = 0; r < s.rows; ++r) {
    for (std::uint32_t c = 0; c < s.cols; ++c) {
      std::int64_t v = 0;
      if (r % 5 != 2 && rng() % 4 == 0) {
        v = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(limit)) + 1;
        if (s.uncodable && rng() % 6 == 0) v = limit + 1 + rng() % 50;
        if (rng() % 2 == 0) v = -v;
      }
      if (s.uncodable && c + 1 == s.cols && r % 3 == 0) v = limit + 7;  // a row ending uncodable
      m[r][c] = static_cast<std::int32_t>(v);
    }
  }
  return m;
}

KPX::Matrix<double> asDoubles(const KPX::Matrix<std::int32_t>& m) {
  KPX::Matrix<double> d(m.rows(), m.cols());
  for (std::uint32_t k = 0; k < m.count(); ++k) d.data()[k] = m.data()[k];
  return d;
}

std::vector<std::uint8_t> streamBytes(const BitStream& s) {
  return std::vector<std::uint8_t>(s.data(), s.data() + s.byteCount());
}

class HuffmanIntegers : public ::testing::TestWithParam<Shape> {};

TEST_P(HuffmanIntegers, CountAndCodeAsTheDoubles) {
  const Shape& s = GetParam();
  const KPX::Matrix<std::int32_t> ints = sample(s);
  const KPX::Matrix<double> doubles = asDoubles(ints);
  const std::vector<std::uint32_t> expected = countSymbols(doubles, s.precision, s.zeroRun);
  ASSERT_FALSE(expected.empty());
  HuffmanEncoderTable table;
  const Status built = buildEncoderTable(expected, table);
  ASSERT_TRUE(built == status::Success || built == status::ValueNotFound);
  BitStream reference;
  const Status coded = encodeMatrix(reference, doubles, table, s.precision, s.zeroRun);
  EXPECT_EQ(coded == status::Success, !s.uncodable);
  for (const KPX::VectorLevel level : numeric_test::supportedLevels()) {
    const numeric_test::LevelScope scope(level);
    SCOPED_TRACE(KPX::vectorLevelName(level));
    EXPECT_EQ(countSymbols(ints, s.precision, s.zeroRun), expected);
    BitStream stream;
    EXPECT_EQ(encodeMatrix(stream, ints, table, s.precision, s.zeroRun), coded);
    if (coded == status::Success) {
      EXPECT_EQ(streamBytes(stream), streamBytes(reference));
    }
  }
}

// The single walk lists the symbols the counting sees and codes the bits
// the matrix coder writes, also from a position inside a byte.
TEST_P(HuffmanIntegers, OneWalkListsAndCodesTheSameBits) {
  const Shape& s = GetParam();
  const KPX::Matrix<std::int32_t> ints = sample(s);
  const std::vector<std::uint32_t> expected = countSymbols(ints, s.precision, s.zeroRun);
  HuffmanEncoderTable table;
  const Status built = buildEncoderTable(expected, table);
  ASSERT_TRUE(built == status::Success || built == status::ValueNotFound);
  BitStream reference;
  ASSERT_EQ(reference.putBits(0x15, 5), status::Success);
  const Status coded = encodeMatrix(reference, ints, table, s.precision, s.zeroRun);
  for (const KPX::VectorLevel level : numeric_test::supportedLevels()) {
    const numeric_test::LevelScope scope(level);
    SCOPED_TRACE(KPX::vectorLevelName(level));
    SymbolList list;
    const Status listed = listSymbols(ints, s.precision, s.zeroRun, list);
    EXPECT_EQ(listed, coded);
    if (listed != status::Success) continue;
    EXPECT_EQ(list.frequencies, expected);
    BitStream stream;
    ASSERT_EQ(stream.putBits(0x15, 5), status::Success);
    EXPECT_EQ(encodeSymbols(stream, list, table), status::Success);
    EXPECT_EQ(streamBytes(stream), streamBytes(reference));
    EXPECT_EQ(stream.bitPosition(), reference.bitPosition());
    // A table of another alphabet, or without the codes, is refused.
    BitStream refused;
    EXPECT_EQ(encodeSymbols(refused, list, HuffmanEncoderTable{}), status::InvalidValues);
    HuffmanEncoderTable uncoded = table;
    std::fill(uncoded.ehufsi.begin(), uncoded.ehufsi.end(), 0u);
    EXPECT_EQ(encodeSymbols(refused, list, uncoded), status::InvalidValues);
  }
}

// Rows given a few at a time, in uneven pieces, list what the whole matrix
// lists: the run carried over a row that ends uncodable crosses the pieces.
TEST_P(HuffmanIntegers, RowsInPiecesListAsTheWholeMatrix) {
  const Shape& s = GetParam();
  const KPX::Matrix<std::int32_t> ints = sample(s);
  SymbolList whole;
  const Status expected = listSymbols(ints, s.precision, s.zeroRun, whole);
  SymbolList pieces;
  SymbolLister lister;
  ASSERT_EQ(lister.start(s.rows, s.cols, s.precision, s.zeroRun, pieces), status::Success);
  for (std::uint32_t first = 0, piece = 1; first < s.rows; first += piece, ++piece) {
    piece = std::min(piece, s.rows - first);
    lister.addRows(ints[first], first, piece);
  }
  EXPECT_EQ(lister.finish(), expected);
  if (expected != status::Success) return;
  EXPECT_EQ(pieces.frequencies, whole.frequencies);
  EXPECT_TRUE(std::equal(pieces.entries.begin(), pieces.entries.end(), whole.entries.begin(),
                         whole.entries.end()));
}

// Rows missing, repeated, past the end or given without a start fail at
// the end, whatever comes after them.
TEST(HuffmanSymbolList, RowsOutOfOrderFail) {
  const Shape s = kShapes[1];
  const KPX::Matrix<std::int32_t> ints = sample(s);
  using Feed = std::vector<std::pair<std::uint32_t, std::uint32_t>>;  // first, count
  const struct {
    const char* name;
    Feed feed;
    Status expected;
  } cases[] = {
      {"in_order", {{0, 10}, {10, 20}}, status::Success},
      {"missing_last", {{0, 10}, {10, 19}}, status::InvalidValues},
      {"gap", {{0, 10}, {11, 19}}, status::InvalidValues},
      {"repeated", {{0, 10}, {5, 25}}, status::InvalidValues},
      {"past_the_end", {{0, 10}, {10, 21}}, status::InvalidValues},
      {"late_rows_after_a_fault", {{1, 9}, {0, 30}}, status::InvalidValues},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SymbolList list;
    SymbolLister lister;
    ASSERT_EQ(lister.start(s.rows, s.cols, s.precision, s.zeroRun, list), status::Success);
    for (const auto& [first, count] : c.feed) {
      if (first < s.rows) lister.addRows(ints[first], first, count);
    }
    EXPECT_EQ(lister.finish(), c.expected);
  }
  SymbolLister unstarted;
  unstarted.addRows(ints[0], 0, 1);
  EXPECT_EQ(unstarted.finish(), status::InvalidValues);
  SymbolList list;
  EXPECT_EQ(unstarted.start(2, 3, 0, 16, list), status::InvalidConfigValue);
  EXPECT_EQ(unstarted.finish(), status::InvalidValues);
}

TEST(HuffmanSymbolList, UnusableAlphabetsAreRefused) {
  const KPX::Matrix<std::int32_t> m(2, 3);
  SymbolList list;
  for (const auto& [p, z] :
       {std::pair<std::uint32_t, std::uint32_t>{0, 16}, {33, 16}, {8, 0}, {32, kMaxTableEntries}})
    EXPECT_EQ(listSymbols(m, p, z, list), status::InvalidConfigValue) << p << " " << z;
}

INSTANTIATE_TEST_SUITE_P(Shapes, HuffmanIntegers, ::testing::ValuesIn(kShapes),
                         [](const testing::TestParamInfo<Shape>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
