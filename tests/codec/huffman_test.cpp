#include "codec/huffman.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "huffman_testing.h"
#include "support/matrices.h"

using huffman_testing::Coded;
using huffman_testing::decodeAll;
using huffman_testing::encodeAll;
using testing_support::matrixOf;

namespace {

std::vector<std::uint8_t> bytesOf(const BitStream& s) {
  return std::vector<std::uint8_t>(s.data(), s.data() + s.byteCount());
}

// The code-size construction written the slow way, merge by merge with
// symbol chains, to check the tree-based one against.
std::vector<std::uint32_t> chainedCodeSizes(std::vector<std::uint64_t> freq) {
  const int n = static_cast<int>(freq.size());
  std::vector<std::uint32_t> size(n, 0);
  std::vector<int> others(n, -1);
  for (;;) {
    int v1 = -1, v2 = -1;
    for (int i = 0; i < n; ++i) {
      if (freq[i] != 0 && (v1 < 0 || freq[i] <= freq[v1])) v1 = i;
    }
    for (int i = 0; i < n; ++i) {
      if (i != v1 && freq[i] != 0 && (v2 < 0 || freq[i] <= freq[v2])) v2 = i;
    }
    if (v2 < 0) break;
    freq[v1] += freq[v2];
    freq[v2] = 0;
    ++size[v1];
    while (others[v1] >= 0) ++size[v1 = others[v1]];
    others[v1] = v2;
    ++size[v2];
    while (others[v2] >= 0) ++size[v2 = others[v2]];
  }
  return size;
}

TEST(HuffmanValues, SizeCategoriesAndExtension) {
  EXPECT_EQ(sizeCategory(0), 0u);
  EXPECT_EQ(sizeCategory(1), 1u);
  EXPECT_EQ(sizeCategory(3), 2u);
  EXPECT_EQ(sizeCategory(4), 3u);
  EXPECT_EQ(sizeCategory(0xFFFFFFFFu), 32u);
  EXPECT_EQ(extendValue(0b00, 2), -3);
  EXPECT_EQ(extendValue(0b11, 2), 3);
  EXPECT_EQ(extendValue(0b10, 2), 2);
  EXPECT_EQ(extendValue(0, 1), -1);
  EXPECT_EQ(extendValue(1, 1), 1);
  EXPECT_EQ(extendValue(0, 32), -INT64_C(4294967295));
  EXPECT_EQ(extendValue(0xFFFFFFFFu, 32), INT64_C(4294967295));
  EXPECT_EQ(extendValue(0x7FFFFFFFu, 32), -INT64_C(2147483648));
}

TEST(HuffmanAlphabet, SizeAndCountedSymbols) {
  EXPECT_EQ(alphabetSize(16, 16), 259u);
  EXPECT_EQ(alphabetSize(0xFFFFFFFFu, 0xFFFFFFFFu), 0xFFFFFFFFu);
  // 5, 0, 0, -3, 0, 0: symbol 3 (size 3), symbol 2 * 16 + 2 = 34, end of row.
  const auto freq = countSymbols(matrixOf(1, 6, {5, 0, 0, -3, 0, 0}), 16, 16);
  ASSERT_EQ(freq.size(), 259u);
  for (std::uint32_t v = 0; v < 259; ++v) {
    const bool used = v == 0 || v == 3 || v == 34 || v == 258;
    EXPECT_EQ(freq[v], used ? 1u : 0u) << v;
  }
  EXPECT_TRUE(countSymbols(matrixOf(1, 1, {1}), 0, 16).empty());
  EXPECT_TRUE(countSymbols(matrixOf(1, 1, {1}), 16, 0).empty());
  EXPECT_TRUE(countSymbols(matrixOf(1, 1, {1}), 33, 16).empty());
  EXPECT_TRUE(countSymbols(matrixOf(1, 1, {1}), 32, 40000).empty());
}

TEST(HuffmanEncode, RowWithTwoValuesAndAnEndOfRow) {
  // Four symbols of frequency 1 (0, 3, 34 and the reserved 258) get the
  // 2-bit codes 00, 01, 10, 11 in symbol order. Stream: 01 101 | 10 00 | 00.
  const auto m = matrixOf(1, 6, {5, 0, 0, -3, 0, 0});
  HuffmanEncoderTable t;
  ASSERT_EQ(buildEncoderTable(countSymbols(m, 16, 16), t), 0);
  EXPECT_EQ(t.bits, (std::vector<std::uint32_t>{0, 0, 4}));
  EXPECT_EQ(t.ehufco[3], 1);
  EXPECT_EQ(t.ehufco[34], 2);
  EXPECT_EQ(t.ehufsi[258], 2u);  // the reserved symbol keeps its code
  BitStream s;
  ASSERT_EQ(encodeMatrix(s, m, t, 16, 16), 0);
  EXPECT_EQ(bytesOf(s), (std::vector<std::uint8_t>{0x6C, 0x00}));
  EXPECT_EQ(s.bitsUsed(), 3u);
}

TEST(HuffmanEncode, LongRunUsesTheZeroRunSymbol) {
  // 20 zeros then 1: zero run (257), then 4 * 16 + 1 = 65 with bit 1.
  // Codes: 65 -> 0, 257 -> 10, reserved 258 -> 11. Stream: 10 0 1.
  std::vector<double> row(21, 0.0);
  row[20] = 1;
  const auto m = matrixOf(1, 21, row);
  const auto freq = countSymbols(m, 16, 16);
  EXPECT_EQ(freq[257], 1u);
  EXPECT_EQ(freq[65], 1u);
  EXPECT_EQ(freq[0], 0u);  // a row ending in a value has no end of row
  HuffmanEncoderTable t;
  ASSERT_EQ(buildEncoderTable(freq, t), 0);
  BitStream s;
  ASSERT_EQ(encodeMatrix(s, m, t, 16, 16), 0);
  EXPECT_EQ(bytesOf(s), (std::vector<std::uint8_t>{0x90}));
  EXPECT_EQ(s.bitsUsed(), 4u);
}

TEST(HuffmanEncode, SingleRealSymbolAndTheReservedOneGetOneBitEach) {
  // Three all-zero rows: three end-of-row symbols, coded 0; reserved is 1.
  const auto m = matrixOf(3, 4, std::vector<double>(12, 0.0));
  HuffmanEncoderTable t;
  ASSERT_EQ(buildEncoderTable(countSymbols(m, 16, 16), t), 0);
  EXPECT_EQ(t.bits, (std::vector<std::uint32_t>{0, 2}));
  EXPECT_EQ(t.huffval[0], 0u);
  EXPECT_EQ(t.huffval[1], 258u);
  EXPECT_EQ(t.ehufsi[0], 1u);
  EXPECT_EQ(t.ehufco[0], 0);
  EXPECT_EQ(t.ehufsi[258], 1u);
  EXPECT_EQ(t.ehufco[258], 1);
  BitStream s;
  ASSERT_EQ(encodeMatrix(s, m, t, 16, 16), 0);
  EXPECT_EQ(s.byteCount(), 1u);
  EXPECT_EQ(s.bitsUsed(), 3u);
  EXPECT_EQ(s.data()[0], 0x00);
}

TEST(HuffmanEncode, EqualFrequenciesPickTheLargerSymbolFirst) {
  // [1, 1, 1, 3]: merge 2+1, then 0 with {2,1}, then 3 (larger of the two
  // 3s) with the rest: sizes 2, 3, 3, 1. Picking the smaller symbol first
  // would give 3, 3, 2, 1.
  HuffmanEncoderTable t;
  ASSERT_EQ(buildEncoderTable({1, 1, 1, 3}, t), 0);
  EXPECT_EQ(t.codeSizes, (std::vector<std::uint32_t>{2, 3, 3, 1}));
  EXPECT_EQ(t.bits, (std::vector<std::uint32_t>{0, 1, 1, 2}));
  EXPECT_EQ(t.huffval, (std::vector<std::uint32_t>{3, 0, 1, 2}));
  EXPECT_EQ(t.ehufco, (std::vector<std::uint16_t>{0b10, 0b110, 0b111, 0b0}));
  EXPECT_EQ(t.ehufsi, (std::vector<std::uint32_t>{2, 3, 3, 1}));
}

TEST(HuffmanEncode, CodeSizesMatchTheMergeByMergeConstruction) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    const std::uint32_t n = 3 + rng() % 80;
    const std::uint32_t spread = 1 + rng() % (round % 3 == 0 ? 3 : 1000);
    std::vector<std::uint32_t> freq(n);
    for (auto& f : freq) f = rng() % 3 == 0 ? 0 : rng() % spread + (round % 2);
    freq.back() = 1;
    HuffmanEncoderTable t;
    ASSERT_EQ(buildEncoderTable(freq, t), 0);
    ASSERT_EQ(t.codeSizes, chainedCodeSizes(std::vector<std::uint64_t>(freq.begin(), freq.end())))
        << "round " << round;
  }
}

TEST(HuffmanEncode, LongestCodeOf18IsLimitedTo16) {
  // Fibonacci frequencies (symbol 18 and 17 have 1, 16 has 2, ..., 0 has
  // 4181) give code sizes 1, 2, ..., 17, 18, 18. Moving the 17- and 18-bit
  // codes up leaves counts 1 x 13 (lengths 1..13), 0, 2, 4; then one 16-bit
  // code (the last symbol's) is dropped.
  std::vector<std::uint32_t> freq(19);
  freq[18] = 1;
  freq[17] = 1;
  for (int v = 16; v >= 0; --v) freq[v] = freq[v + 1] + freq[v + 2];
  HuffmanEncoderTable t;
  ASSERT_EQ(buildEncoderTable(freq, t), 0);
  EXPECT_EQ(t.codeSizes[17], 18u);
  EXPECT_EQ(t.codeSizes[18], 18u);
  EXPECT_EQ(t.bits,
            (std::vector<std::uint32_t>{0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 2, 3, 0, 0}));
  for (std::uint32_t v = 0; v < 19; ++v) EXPECT_EQ(t.huffval[v], v);
  for (std::uint32_t v = 0; v < 13; ++v) {
    EXPECT_EQ(t.ehufsi[v], v + 1);
    EXPECT_EQ(t.ehufco[v], ((1u << (v + 1)) - 2) & 0xFFFF) << v;  // v ones then a zero
  }
  EXPECT_EQ(t.ehufsi[13], 15u);
  EXPECT_EQ(t.ehufco[13], 0x7FFC);
  EXPECT_EQ(t.ehufco[14], 0x7FFD);
  EXPECT_EQ(t.ehufsi[15], 16u);
  EXPECT_EQ(t.ehufco[15], 0xFFFC);
  EXPECT_EQ(t.ehufco[16], 0xFFFD);
  EXPECT_EQ(t.ehufco[17], 0xFFFE);
  EXPECT_EQ(t.ehufsi[18], 0u);  // dropped: 0xFFFF stays unused
}

TEST(HuffmanEncode, LimitedCodesStayAPrefixCode) {
  // Steeply skewed frequencies over many symbols: every length <= 16 and
  // the lengths fit (Kraft sum below one, by the one dropped code).
  std::mt19937 rng(5);
  for (int round = 0; round < 50; ++round) {
    std::vector<std::uint32_t> freq(200 + rng() % 300, 0);
    for (std::size_t v = 0; v < freq.size(); ++v) {
      freq[v] = 1 + static_cast<std::uint32_t>(std::pow(1.25, static_cast<double>(rng() % 90)));
    }
    freq.back() = 1;
    HuffmanEncoderTable t;
    ASSERT_EQ(buildEncoderTable(freq, t), 0);
    const std::uint32_t longest = static_cast<std::uint32_t>(t.bits.size()) - 1;
    ASSERT_GT(longest, 16u) << "round " << round << " does not exercise the limit";
    std::uint64_t kraft = 0;
    std::uint32_t coded = 0;
    for (std::uint32_t v = 0; v < freq.size(); ++v) {
      ASSERT_LE(t.ehufsi[v], 16u);
      if (t.ehufsi[v] != 0) {
        kraft += UINT64_C(1) << (16 - t.ehufsi[v]);
        ++coded;
      }
    }
    EXPECT_EQ(kraft, (UINT64_C(1) << 16) - 1);
    EXPECT_EQ(coded, freq.size() - 1);
    EXPECT_EQ(t.ehufsi[freq.size() - 1], 0u);  // the least frequent, largest symbol
  }
}

TEST(HuffmanTables, WidthIsTheBitsOfTheLargestEntry) {
  BitStream s;
  std::uint32_t count = 99, width = 99;
  ASSERT_EQ(writeTable(s, {3, 5, 1}, count, width), 0);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(width, 3u);
  ASSERT_EQ(writeTable(s, {0, 0, 0, 0}, count, width), 0);
  EXPECT_EQ(count, 4u);
  EXPECT_EQ(width, 0u);
  ASSERT_EQ(writeTable(s, {}, count, width), 0);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(width, 0u);
  // 011 101 001
  EXPECT_EQ(bytesOf(s), (std::vector<std::uint8_t>{0x74, 0x80}));
  s.rewind();
  std::vector<std::uint32_t> table;
  ASSERT_EQ(readTable(s, 3, 3, table), 0);
  EXPECT_EQ(table, (std::vector<std::uint32_t>{3, 5, 1}));
  ASSERT_EQ(readTable(s, 4, 0, table), 0);
  EXPECT_EQ(table, (std::vector<std::uint32_t>{0, 0, 0, 0}));
}

TEST(HuffmanTables, DamagedCountsAndWidthsAreRefusedBeforeAllocating) {
  const std::uint8_t bytes[4] = {1, 2, 3, 4};
  BitStream s;
  ASSERT_EQ(s.loadFromMemory(bytes, 4), 0);
  std::vector<std::uint32_t> table{7};
  EXPECT_EQ(readTable(s, 1, 33, table), 22);
  // 65536 bytes of capacity hold 524287 readable bits.
  EXPECT_EQ(readTable(s, 524288, 1, table), 4);
  EXPECT_EQ(readTable(s, 0xFFFFFFFFu, 32, table), 4);
  EXPECT_EQ(readTable(s, 0xFFFFFFFFu, 0, table), 4);
  EXPECT_EQ(readTable(s, kMaxTableEntries + 1, 0, table), 4);
  EXPECT_EQ(table, std::vector<std::uint32_t>{7});
  EXPECT_EQ(s.bitPosition(), 0u);
  ASSERT_EQ(readTable(s, 524287, 1, table), 0);
  EXPECT_EQ(table.size(), 524287u);
  ASSERT_EQ(readTable(s, kMaxTableEntries, 0, table), 0);
  EXPECT_EQ(table.size(), kMaxTableEntries);
}

// A 2 x 4 matrix with p = 2, z = 2 (A = 7: 0 end of row, 1/2 a value of 1/2
// bits, 3/4 the same after one zero, 5 a run of two zeros, 6 reserved):
//   row 0:  3  0 -1  0  -> symbol 2 (bits 11), symbol 3 (bit 0), end of row
//   row 1:  0  0  0  1  -> symbol 5, symbol 3 (bit 1)
// Frequencies 0:1 2:1 3:2 5:1 6:1. Merges: 6+5, 2+0, 6+3 (the larger of the
// three 2s, then the larger remaining), 2+6. Sizes 0:2 2:2 3:2 5:3 6:3.
// Counts (4 entries, width 2): 0 0 3 2 -> 00 00 11 10
// Symbols (7 entries, width 3): 0 2 3 5 6 0 0
// Codes: 0=00 2=01 3=10 5=110 6=111.
// Values: 01 11 | 10 0 | 00 | 110 | 10 1
// Bits: 00001110 00001001 11011100 00000011 11000011 0101(0000)
TEST(HuffmanCoding, ExactBytesOfASmallMatrix) {
  const auto m = matrixOf(2, 4, {3, 0, -1, 0, 0, 0, 0, 1});
  Coded coded;
  ASSERT_EQ(encodeAll(m, 2, 2, coded), 0);
  EXPECT_EQ(coded.lengthCount, 4u);
  EXPECT_EQ(coded.lengthBits, 2u);
  EXPECT_EQ(coded.symbolCount, 7u);
  EXPECT_EQ(coded.symbolBits, 3u);
  EXPECT_EQ(coded.bytes, (std::vector<std::uint8_t>{0x0E, 0x09, 0xDC, 0x03, 0xC3, 0x50}));

  for (bool reference : {false, true}) {
    KPX::Matrix<double> back(2, 4);
    ASSERT_EQ(decodeAll(coded, back, 2, 2, reference), 0);
    for (std::uint32_t k = 0; k < 8; ++k) EXPECT_EQ(back.data()[k], m.data()[k]) << k;
  }
}

// Coefficient-like values: mostly zero, every size category up to p, the
// extremes, fractions (truncated toward zero), empty rows and long runs.
KPX::Matrix<double> sampleMatrix(std::uint32_t rows, std::uint32_t cols, std::uint32_t p,
                                 std::mt19937& rng) {
  KPX::Matrix<double> m(rows, cols);
  const double top = std::ldexp(1.0, static_cast<int>(p)) - 1;
  for (std::uint32_t r = 0; r < rows; ++r) {
    const std::uint32_t kind = rng() % 6;
    for (std::uint32_t c = 0; c < cols; ++c) {
      double v = 0;
      if (kind != 0 && (kind == 1 ? c + 1 == cols : rng() % 3 == 0)) {
        const std::uint32_t s = 1 + rng() % p;
        v = std::ldexp(1.0, static_cast<int>(s) - 1) +
            std::floor(
                std::ldexp(static_cast<double>(rng()) / 4294967296.0, static_cast<int>(s) - 1));
        if (rng() % 10 == 0) v = top;
        if (rng() % 2) v = -v;
        if (rng() % 7 == 0 && std::fabs(v) < top) v += v > 0 ? 0.75 : -0.75;
      }
      m[r][c] = v;
    }
  }
  return m;
}

TEST(HuffmanCoding, RandomMatricesRoundTripForSeveralPrecisionsAndRuns) {
  std::mt19937 rng(2024);
  for (std::uint32_t p : {4u, 7u, 16u, 24u, 32u}) {
    for (std::uint32_t z : {1u, 2u, 16u, 63u}) {
      const auto m = sampleMatrix(40, 150, p, rng);
      Coded coded;
      ASSERT_EQ(encodeAll(m, p, z, coded), 0) << p << " " << z;
      KPX::Matrix<double> fast(40, 150), slow(40, 150);
      ASSERT_EQ(decodeAll(coded, fast, p, z), 0) << p << " " << z;
      ASSERT_EQ(decodeAll(coded, slow, p, z, true), 0);
      for (std::uint32_t k = 0; k < m.count(); ++k) {
        ASSERT_EQ(fast.data()[k], std::trunc(m.data()[k])) << p << " " << z << " at " << k;
        ASSERT_EQ(slow.data()[k], fast.data()[k]);
      }
    }
  }
}

TEST(HuffmanCoding, EmptyMatricesCodeToNothing) {
  for (auto shape : {std::pair<std::uint32_t, std::uint32_t>{0, 0}, {3, 0}, {0, 5}}) {
    KPX::Matrix<double> m(shape.first, shape.second);
    Coded coded;
    ASSERT_EQ(encodeAll(m, 16, 16, coded), 0);
    EXPECT_EQ(coded.lengthCount, 1u);  // only the reserved symbol: no code at all
    EXPECT_EQ(coded.lengthBits, 0u);
    EXPECT_EQ(coded.symbolBits, 0u);
    EXPECT_TRUE(coded.bytes.empty());
    KPX::Matrix<double> back(shape.first, shape.second);
    EXPECT_EQ(decodeAll(coded, back, 16, 16), 0);
  }
}

TEST(HuffmanCoding, ValuesThatCannotBeCodedAreRefused) {
  HuffmanEncoderTable t;
  const auto ok = matrixOf(1, 2, {15, -15});
  ASSERT_EQ(buildEncoderTable(countSymbols(ok, 4, 16), t), 0);
  BitStream s;
  EXPECT_EQ(encodeMatrix(s, ok, t, 4, 16), 0);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (double bad : {16.0, -16.0, 1e300, nan, std::numeric_limits<double>::infinity()}) {
    const auto m = matrixOf(1, 2, {1, bad});
    Coded coded;
    EXPECT_EQ(encodeAll(m, 4, 16, coded), 22) << bad;
  }
  EXPECT_EQ(encodeMatrix(s, ok, t, 0, 16), 20);
  EXPECT_EQ(encodeMatrix(s, ok, t, 4, 0), 20);
  EXPECT_EQ(encodeMatrix(s, ok, t, 33, 16), 20);
  EXPECT_EQ(encodeMatrix(s, ok, t, 5, 16), 22);  // the table is for another alphabet
  // A symbol the table has no code for.
  EXPECT_EQ(encodeMatrix(s, matrixOf(1, 1, {3}), t, 4, 16), 22);
  EXPECT_EQ(buildEncoderTable({}, t), 22);
}

}  // namespace
