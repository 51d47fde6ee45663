#include <gtest/gtest.h>

#include <random>

#include "codec/huffman.h"
#include "huffman_testing.h"
#include "support/matrices.h"

using huffman_testing::Coded;
using huffman_testing::decodeAll;
using huffman_testing::encodeAll;
using testing_support::matrixOf;

namespace {

// Writes bit strings such as "0110" into a fresh stream, rewound.
BitStream streamOf(const std::string& bits) {
  BitStream s;
  for (char c : bits) EXPECT_EQ(s.putBits(c == '1' ? 1 : 0, 1), 0);
  s.rewind();
  return s;
}

// The table of the 2 x 4 example (p = 2, z = 2): 0=00 2=01 3=10 5=110 6=111.
HuffmanDecoderTable exampleTable() {
  HuffmanDecoderTable t;
  EXPECT_EQ(buildDecoderTable({0, 0, 3, 2}, {0, 2, 3, 5, 6, 0, 0}, t), 0);
  return t;
}

Status decodeBits(const std::string& bits, std::uint32_t rows, std::uint32_t cols,
                  const HuffmanDecoderTable& t, std::uint32_t p, std::uint32_t z,
                  KPX::Matrix<double>* out = nullptr) {
  Status statuses[2];
  KPX::Matrix<double> m[2] = {KPX::Matrix<double>(rows, cols), KPX::Matrix<double>(rows, cols)};
  for (int reference = 0; reference < 2; ++reference) {
    BitStream s = streamOf(bits);
    statuses[reference] = reference ? decodeMatrixReference(s, m[reference], t, p, z)
                                    : decodeMatrix(s, m[reference], t, p, z);
  }
  EXPECT_EQ(statuses[0], statuses[1]) << bits;
  if (out != nullptr) *out = m[0];
  return statuses[0];
}

// Random code-length counts that satisfy the prefix condition, complete or
// not, with codes up to 16 bits; symbols drawn from 0..alphabet-1.
void randomCode(std::mt19937& rng, std::uint32_t alphabet, std::vector<std::uint32_t>& bits,
                std::vector<std::uint32_t>& huffval) {
  const std::uint32_t longest = 1 + rng() % 16;
  bits.assign(longest + 1, 0);
  std::uint64_t free = 1;  // unused patterns at the current length
  for (std::uint32_t l = 1; l <= longest; ++l) {
    free *= 2;
    std::uint64_t take = rng() % 3 == 0 ? 0 : rng() % (free + 1);
    if (l == longest && rng() % 2) take = free;  // often complete
    if (take > 300) take = 300;
    bits[l] = static_cast<std::uint32_t>(take);
    free -= take;
  }
  std::uint32_t codes = 0;
  for (std::uint32_t c : bits) codes += c;
  huffval.resize(codes + rng() % 3);
  for (auto& v : huffval) v = rng() % alphabet;
}

TEST(HuffmanDecoderTable, SixteenBitCodesWithTheTopBitSet) {
  std::vector<std::uint32_t> freq(19);
  freq[18] = freq[17] = 1;
  for (int v = 16; v >= 0; --v) freq[v] = freq[v + 1] + freq[v + 2];
  HuffmanEncoderTable enc;
  ASSERT_EQ(buildEncoderTable(freq, enc), 0);
  HuffmanDecoderTable dec;
  ASSERT_EQ(buildDecoderTable(enc.bits, enc.huffval, dec), 0);
  EXPECT_EQ(dec.maxLength, 16u);
  EXPECT_EQ(dec.maxcode[16], 0xFFFE);
  EXPECT_EQ(dec.mincode[16], 0xFFFC);
  EXPECT_EQ(dec.maxcode[14], -1);

  BitStream s;
  for (std::uint32_t v = 0; v < 18; ++v) ASSERT_EQ(s.putBits(enc.ehufco[v], enc.ehufsi[v]), 0);
  ASSERT_EQ(s.putBits(0xFFFF, 16), 0);  // the dropped code
  s.rewind();
  BitStream f = s;
  for (std::uint32_t v = 0; v < 18; ++v) {
    std::uint32_t slow = 99, fast = 99;
    ASSERT_EQ(decodeSymbol(s, dec, slow), 0);
    ASSERT_EQ(decodeSymbolFast(f, dec, fast), 0);
    EXPECT_EQ(slow, v);
    EXPECT_EQ(fast, v);
    EXPECT_EQ(s.bitPosition(), f.bitPosition());
  }
  std::uint32_t symbol = 0;
  EXPECT_EQ(decodeSymbol(s, dec, symbol), 4);
  EXPECT_EQ(decodeSymbolFast(f, dec, symbol), 4);
}

TEST(HuffmanDecoderTable, CountsThatAreNotAPrefixCodeAreRefused) {
  HuffmanDecoderTable t;
  EXPECT_EQ(buildDecoderTable({0, 3}, {1, 2, 3}, t), 4);  // three 1-bit codes
  EXPECT_EQ(buildDecoderTable({0, 1, 1, 3}, {1, 2, 3, 4, 5}, t), 4);
  EXPECT_EQ(buildDecoderTable({0, 0xFFFFFFFFu, 0xFFFFFFFFu}, {1}, t), 4);
  EXPECT_EQ(buildDecoderTable({0, 1, 1}, {7}, t), 4);  // two codes, one symbol
  std::vector<std::uint32_t> long17(18, 0);
  long17[17] = 2;
  long17[1] = 1;
  EXPECT_EQ(buildDecoderTable(long17, {1, 2, 3}, t), 4);
  // 65536 codes of 16 bits fill the code space exactly.
  std::vector<std::uint32_t> full(17, 0);
  full[16] = 65536;
  EXPECT_EQ(buildDecoderTable(full, std::vector<std::uint32_t>(65536, 1), t), 0);
  full[16] = 65537;
  EXPECT_EQ(buildDecoderTable(full, std::vector<std::uint32_t>(65537, 1), t), 4);
  // Counts above 16 that are zero are carried, as a length-limited code does.
  std::vector<std::uint32_t> padded(19, 0);
  padded[1] = 2;
  EXPECT_EQ(buildDecoderTable(padded, {4, 5}, t), 0);
  EXPECT_EQ(t.maxLength, 1u);
  EXPECT_EQ(buildDecoderTable({}, {}, t), 0);  // no codes at all
  EXPECT_EQ(t.codeCount, 0u);
}

TEST(HuffmanDecoder, FastSymbolsEqualBitByBitSymbols) {
  std::mt19937 rng(99);
  for (int round = 0; round < 400; ++round) {
    std::vector<std::uint32_t> bits, huffval;
    randomCode(rng, 5000, bits, huffval);
    HuffmanDecoderTable t;
    ASSERT_EQ(buildDecoderTable(bits, huffval, t), 0);
    std::vector<std::uint8_t> bytes(1 + rng() % 200);
    const int fill = round % 4;  // random, all ones, all zeros, sparse
    for (auto& b : bytes) {
      b = fill == 0 ? rng() : fill == 1 ? 0xFF : fill == 2 ? 0x00 : (rng() % 8 == 0 ? rng() : 0xFF);
    }
    BitStream slow, fast;
    ASSERT_EQ(slow.loadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
    ASSERT_EQ(fast.loadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
    if (round % 2) {  // up against the end of the buffer
      const std::uint64_t start = 8ull * slow.capacity() - 1 - rng() % 300;
      slow.setReadPosition(start);
      fast.setReadPosition(start);
    }
    for (int k = 0; k < 2000; ++k) {
      std::uint32_t a = 0, b = 0;
      const Status sa = decodeSymbol(slow, t, a);
      const Status sb = decodeSymbolFast(fast, t, b);
      ASSERT_EQ(sa, sb) << "round " << round << " symbol " << k;
      if (sa != 0) break;
      ASSERT_EQ(a, b);
      ASSERT_EQ(slow.bitPosition(), fast.bitPosition());
    }
  }
}

TEST(HuffmanDecoder, FastMatrixDecodingEqualsTheReferenceOnGarbage) {
  std::mt19937 rng(1234);
  int succeeded = 0;
  for (int round = 0; round < 1500; ++round) {
    const std::uint32_t p = 1 + rng() % 5, z = 1 + rng() % 4;
    std::vector<std::uint32_t> bits, huffval;
    randomCode(rng, alphabetSize(p, z), bits, huffval);
    HuffmanDecoderTable t;
    ASSERT_EQ(buildDecoderTable(bits, huffval, t), 0);
    std::vector<std::uint8_t> bytes(1 + rng() % 64);
    for (auto& b : bytes) b = rng();
    const std::uint32_t rows = 1 + rng() % 6, cols = 1 + rng() % 9;
    KPX::Matrix<double> m[2] = {KPX::Matrix<double>(rows, cols), KPX::Matrix<double>(rows, cols)};
    Status st[2];
    std::uint64_t pos[2];
    for (int reference = 0; reference < 2; ++reference) {
      BitStream s;
      ASSERT_EQ(s.loadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
      if (round % 3 == 0) s.setReadPosition(8ull * s.capacity() - 1 - bytes.size());
      KPX::fill(m[reference], -7.0);
      st[reference] = reference ? decodeMatrixReference(s, m[reference], t, p, z)
                                : decodeMatrix(s, m[reference], t, p, z);
      pos[reference] = s.bitPosition();
    }
    ASSERT_EQ(st[0], st[1]) << "round " << round;
    if (st[0] != 0) continue;
    ++succeeded;
    ASSERT_EQ(pos[0], pos[1]);
    for (std::uint32_t k = 0; k < rows * cols; ++k) ASSERT_EQ(m[0].data()[k], m[1].data()[k]);
  }
  EXPECT_GT(succeeded, 100);  // the comparison covered real decodes too
}

// Long streams under short codes: most values are taken whole from the
// look-up entry, far from the stream's end; the integer decoding agrees too.
TEST(HuffmanDecoder, FoldedValuesEqualTheReferenceOnLongStreams) {
  std::mt19937 rng(4321);
  int succeeded = 0;
  for (int round = 0; round < 600; ++round) {
    const std::uint32_t p = 1 + rng() % 6, z = 1 + rng() % 8;
    const std::uint32_t alphabet = alphabetSize(p, z);
    // A complete code of one length (2..7), a quarter of it ends of rows and
    // none the reserved symbol: each value's bits fit beside most codes.
    std::uint32_t length = 2;
    while ((1u << length) < alphabet) ++length;
    std::vector<std::uint32_t> bits(length + 1, 0), huffval(1u << length);
    bits[length] = 1u << length;
    for (std::uint32_t k = 0; k < huffval.size(); ++k)
      huffval[k] = k % 4 == 0 ? 0 : 1 + (k * 5 + round) % (alphabet - 2);
    HuffmanDecoderTable t;
    ASSERT_EQ(buildDecoderTable(bits, huffval, t), 0);
    std::vector<std::uint8_t> bytes(64 + rng() % 400);
    for (auto& b : bytes) b = rng();
    const std::uint32_t rows = 1 + rng() % 40, cols = 1 + rng() % 30;
    KPX::Matrix<double> m[2] = {KPX::Matrix<double>(rows, cols), KPX::Matrix<double>(rows, cols)};
    KPX::Matrix<std::int32_t> integers(rows, cols);
    KPX::fill(integers, std::int32_t{0});
    Status st[3];
    std::uint64_t pos[3];
    for (int decoder = 0; decoder < 3; ++decoder) {
      BitStream s;
      ASSERT_EQ(s.loadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size())), 0);
      if (decoder < 2) KPX::fill(m[decoder], -7.0);
      st[decoder] = decoder == 0   ? decodeMatrix(s, m[0], t, p, z)
                    : decoder == 1 ? decodeMatrixReference(s, m[1], t, p, z)
                                   : decodeZeroedIntegers(s, integers, t, p, z);
      pos[decoder] = s.bitPosition();
    }
    ASSERT_EQ(st[0], st[1]) << "round " << round;
    ASSERT_EQ(st[2], st[1]) << "round " << round;
    if (st[0] != 0) continue;
    ++succeeded;
    ASSERT_EQ(pos[0], pos[1]);
    ASSERT_EQ(pos[2], pos[1]);
    for (std::uint32_t k = 0; k < rows * cols; ++k) {
      ASSERT_EQ(m[0].data()[k], m[1].data()[k]);
      ASSERT_EQ(static_cast<double>(integers.data()[k]), m[1].data()[k]);
    }
  }
  EXPECT_GT(succeeded, 30);
}

TEST(HuffmanDecoder, DamagedSymbolsStopDecoding) {
  const HuffmanDecoderTable t = exampleTable();
  KPX::Matrix<double> m;
  // The reserved symbol.
  EXPECT_EQ(decodeBits("111", 1, 4, t, 2, 2), 4);
  // A run of z = 2 zeros in a row of 1 value; then a run that ends the row
  // exactly, which is fine.
  EXPECT_EQ(decodeBits("110", 1, 1, t, 2, 2), 4);
  EXPECT_EQ(decodeBits("110", 1, 2, t, 2, 2, &m), 0);
  // Symbol 3 (one zero, then a value) in a 1-value row.
  EXPECT_EQ(decodeBits("101", 1, 1, t, 2, 2), 4);
  EXPECT_EQ(decodeBits("1001", 1, 2, t, 2, 2, &m), 0);
  EXPECT_EQ(m[0][0], 0);
  EXPECT_EQ(m[0][1], -1);
  // A symbol outside the alphabet in the table: refused before reading.
  HuffmanDecoderTable outside;
  ASSERT_EQ(buildDecoderTable({0, 0, 3, 2}, {0, 2, 3, 5, 7}, outside), 0);
  EXPECT_EQ(decodeBits("01", 1, 1, outside, 2, 2), 4);
  // With z = 0 the zero-run symbol is 1, a run of no zeros: refused.
  HuffmanDecoderTable noRun;
  ASSERT_EQ(buildDecoderTable({0, 2}, {0, 1}, noRun), 0);
  EXPECT_EQ(decodeBits("1", 1, 4, noRun, 2, 0), 4);
  EXPECT_EQ(decodeBits("0", 1, 4, noRun, 2, 0), 0);
  // A code that the counts do not reach.
  HuffmanDecoderTable incomplete;
  ASSERT_EQ(buildDecoderTable({0, 1, 0, 1}, {0, 1}, incomplete), 0);
  EXPECT_EQ(decodeBits("111", 1, 4, incomplete, 2, 2), 4);
  // 100 is symbol 1 (a 1-bit value); the zeros past the data give -1, then
  // an end of row.
  EXPECT_EQ(decodeBits("100", 1, 4, incomplete, 2, 2, &m), 0);
  EXPECT_EQ(m[0][0], -1);
  EXPECT_EQ(m[0][3], 0);
  // No table built at all.
  EXPECT_EQ(decodeBits("0", 1, 1, HuffmanDecoderTable(), 2, 2), 4);
}

TEST(HuffmanDecoder, SizeCategoriesAbove32Are22) {
  // p = 40, z = 1: symbol 33 asks for 33 value bits, symbol 32 for 32.
  HuffmanDecoderTable t;
  ASSERT_EQ(buildDecoderTable({0, 2}, {32, 33}, t), 0);
  KPX::Matrix<double> m;
  EXPECT_EQ(decodeBits("0" + std::string(32, '1'), 1, 1, t, 40, 1, &m), 0);
  EXPECT_EQ(m[0][0], 4294967295.0);
  EXPECT_EQ(decodeBits("1" + std::string(33, '1'), 1, 1, t, 40, 1), 22);
}

TEST(HuffmanDecoder, ReadsPastTheEndAreRefused) {
  // Code 0 is a 1-bit value, so the zeros at the end of the buffer decode as
  // -1 every two bits; a read may not end on the buffer's last bit.
  HuffmanDecoderTable t;
  ASSERT_EQ(buildDecoderTable({0, 2}, {1, 0}, t), 0);
  for (bool reference : {false, true}) {
    auto decodeAt = [&](std::uint32_t fromEnd, KPX::Matrix<double>& m) {
      BitStream s;
      EXPECT_EQ(s.loadFromMemory(nullptr, 0), 0);
      s.setReadPosition(8ull * s.capacity() - fromEnd);
      return reference ? decodeMatrixReference(s, m, t, 2, 2) : decodeMatrix(s, m, t, 2, 2);
    };
    KPX::Matrix<double> two(1, 2), one(1, 1);
    EXPECT_EQ(decodeAt(4, two), 4);
    EXPECT_EQ(decodeAt(5, two), 0);
    EXPECT_EQ(two[0][1], -1);
    EXPECT_EQ(decodeAt(2, one), 4);  // the code fits, its value bit does not
    EXPECT_EQ(decodeAt(1, one), 4);  // not even the code
    EXPECT_EQ(decodeAt(3, one), 0);
  }
}

TEST(HuffmanDecoder, TruncatedStreamsFailOrReadPastTheirData) {
  // Past the loaded bytes a stream reads zeros, so a cut stream may still
  // fill the matrix; it then has read beyond its data, which a caller that
  // knows the payload length can see.
  std::mt19937 rng(77);
  KPX::Matrix<double> m(30, 64);
  for (std::uint32_t k = 0; k < m.count(); ++k) {
    m.data()[k] = rng() % 3 ? 0.0 : static_cast<double>(static_cast<int>(rng() % 61) - 30);
  }
  Coded full;
  ASSERT_EQ(encodeAll(m, 16, 16, full), 0);
  for (std::size_t cut = 0; cut < full.bytes.size(); cut += 1 + cut / 8) {
    Coded part = full;
    part.bytes.resize(cut);
    for (bool reference : {false, true}) {
      BitStream s;
      ASSERT_EQ(s.loadFromMemory(part.bytes.data(), static_cast<std::uint32_t>(cut)), 0);
      std::vector<std::uint32_t> bits, huffval;
      HuffmanDecoderTable t;
      KPX::Matrix<double> back(30, 64);
      Status st = readTable(s, part.lengthCount, part.lengthBits, bits);
      if (st == 0) st = readTable(s, part.symbolCount, part.symbolBits, huffval);
      if (st == 0) st = buildDecoderTable(bits, huffval, t);
      if (st == 0) {
        st = reference ? decodeMatrixReference(s, back, t, 16, 16)
                       : decodeMatrix(s, back, t, 16, 16);
      }
      EXPECT_TRUE(st != 0 || s.bitPosition() > 8 * cut) << cut;
    }
  }
}

TEST(HuffmanDecoder, RandomPayloadsNeverCrash) {
  // Whole damaged payloads: random table fields and bytes, both decoders.
  std::mt19937 rng(4242);
  int failures = 0;
  for (int round = 0; round < 3000; ++round) {
    Coded c;
    c.lengthCount = rng() % 40;
    c.lengthBits = rng() % 36;
    c.symbolCount = rng() % 300;
    c.symbolBits = rng() % 12;
    c.bytes.resize(rng() % 400);
    for (auto& b : c.bytes) b = round % 5 == 0 ? 0xFF : rng();
    const std::uint32_t p = rng() % 40, z = rng() % 70;
    KPX::Matrix<double> a(1 + rng() % 20, 1 + rng() % 100);
    KPX::Matrix<double> b(a.rows(), a.cols());
    const Status fast = decodeAll(c, a, p, z);
    const Status slow = decodeAll(c, b, p, z, true);
    ASSERT_EQ(fast, slow) << "round " << round;
    if (fast != 0) ++failures;
  }
  EXPECT_GT(failures, 2000);
}

}  // namespace
