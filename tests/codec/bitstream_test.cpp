#include "codec/bitstream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <vector>

#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

std::vector<std::uint8_t> writtenBytes(const BitStream& s) {
  return std::vector<std::uint8_t>(s.data(), s.data() + s.byteCount());
}

TEST(BitStreamWriter, StartsWithOneZeroedStep) {
  BitStream s;
  EXPECT_EQ(s.capacity(), 65536u);
  EXPECT_EQ(s.byteCount(), 0u);
  for (std::uint32_t i = 0; i < s.capacity(); ++i) ASSERT_EQ(s.data()[i], 0) << i;
}

TEST(BitStreamWriter, PacksFieldsMostSignificantBitFirst) {
  BitStream s;
  ASSERT_EQ(s.putBits(5, 3), 0);
  ASSERT_EQ(s.putBits(1, 7), 0);
  ASSERT_EQ(s.putBits(63, 6), 0);
  EXPECT_EQ(writtenBytes(s), (std::vector<std::uint8_t>{0xA0, 0x7F}));
  EXPECT_EQ(s.byteCount(), 2u);
  EXPECT_EQ(s.byteIndex(), 1u);
  EXPECT_EQ(s.bitsUsed(), 8u);  // a full byte is kept, not moved past

  // The next field starts the third byte; only the low n bits of a value count.
  ASSERT_EQ(s.putBits(0xFFFFFFF1u, 1), 0);
  EXPECT_EQ(writtenBytes(s), (std::vector<std::uint8_t>{0xA0, 0x7F, 0x80}));
  EXPECT_EQ(s.byteIndex(), 2u);
  EXPECT_EQ(s.bitsUsed(), 1u);
}

TEST(BitStreamWriter, RefusesFieldsWiderThan32Bits) {
  BitStream s;
  ASSERT_EQ(s.putBits(1, 2), 0);
  EXPECT_EQ(s.putBits(0xFFFFFFFFu, 33), 22);
  EXPECT_EQ(s.byteCount(), 1u);
  EXPECT_EQ(s.bitsUsed(), 2u);
  EXPECT_EQ(s.data()[0], 0x40);
  EXPECT_EQ(s.data()[1], 0x00);
}

TEST(BitStreamWriter, WideFieldsAtEveryOffsetReadBack) {
  // Every width 0..32 at every bit offset, written then read back.
  std::mt19937 rng(7);
  BitStream s;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> fields;
  for (std::uint32_t round = 0; round < 20; ++round) {
    for (std::uint32_t n = 0; n <= 32; ++n) {
      const std::uint32_t value = rng();
      fields.emplace_back(n == 32 ? value : value & ((1u << n) - 1), n);
      ASSERT_EQ(s.putBits(value, n), 0);
    }
  }
  s.rewind();
  for (const auto& [value, n] : fields) {
    std::uint32_t got = 0xDEAD;
    ASSERT_EQ(s.getBits(n, got), 0);
    ASSERT_EQ(got, value) << n;
  }
  std::uint32_t unused = 0;
  EXPECT_EQ(s.getBits(33, unused), 22);
}

TEST(BitStreamWriter, ThirtyTwoBitFieldAcrossFiveBytes) {
  BitStream s;
  ASSERT_EQ(s.putBits(0x5, 3), 0);
  ASSERT_EQ(s.putBits(0xDEADBEEFu, 32), 0);
  // 101 | 11011110 10101101 10111110 11101111
  EXPECT_EQ(writtenBytes(s), (std::vector<std::uint8_t>{0xBB, 0xD5, 0xB7, 0xDD, 0xE0}));
  EXPECT_EQ(s.bitsUsed(), 3u);
}

TEST(BitStreamWriter, GrowsByOneZeroedStepWhenTheLastByteIsReached) {
  BitStream s;
  for (std::uint32_t i = 0; i < 65535; ++i) ASSERT_EQ(s.putBits(i & 0xFF, 8), 0);
  EXPECT_EQ(s.capacity(), 65536u);
  // Filling byte 65535 reaches the last byte of the buffer: one more step.
  ASSERT_EQ(s.putBits(0xFF, 8), 0);
  EXPECT_EQ(s.capacity(), 131072u);
  for (std::uint32_t i = 65536; i < s.capacity(); ++i) ASSERT_EQ(s.data()[i], 0) << i;
  for (std::uint32_t i = 0; i < 70000; ++i) ASSERT_EQ(s.putBits(i * 7u, 13), 0);
  EXPECT_EQ(s.byteCount(), 65536u + (70000u * 13 + 7) / 8);
  EXPECT_EQ(s.capacity(), 196608u);

  s.rewind();
  std::uint32_t v = 0;
  for (std::uint32_t i = 0; i < 65535; ++i) {
    ASSERT_EQ(s.getBits(8, v), 0);
    ASSERT_EQ(v, i & 0xFF);
  }
  ASSERT_EQ(s.getBits(8, v), 0);
  EXPECT_EQ(v, 0xFFu);
  for (std::uint32_t i = 0; i < 70000; ++i) {
    ASSERT_EQ(s.getBits(13, v), 0);
    ASSERT_EQ(v, (i * 7u) & 0x1FFF);
  }
}

// Reserving for the end of what will be written leaves the capacity and the
// bytes that writing it step by step leaves, around every step's edge.
TEST(BitStreamWriter, ReservingEndsAtTheCapacityOfWriting) {
  for (const std::uint64_t bytes : {1ull, 65535ull, 65536ull, 65537ull, 131071ull, 200000ull}) {
    SCOPED_TRACE(bytes);
    BitStream stepwise;
    BitStream reserved;
    ASSERT_EQ(stepwise.putBits(0x5, 3), 0);
    ASSERT_EQ(reserved.putBits(0x5, 3), 0);
    const std::uint64_t end = 3 + bytes * 8;
    ASSERT_EQ(reserved.reserveBits(end), 0);
    const std::uint32_t reservedCapacity = reserved.capacity();
    for (std::uint64_t i = 0; i < bytes; ++i) {
      ASSERT_EQ(stepwise.putBits(static_cast<std::uint32_t>(i * 13), 8), 0);
      ASSERT_EQ(reserved.putBits(static_cast<std::uint32_t>(i * 13), 8), 0);
    }
    EXPECT_EQ(reserved.capacity(), reservedCapacity);  // no growth left to do
    EXPECT_EQ(reserved.capacity(), stepwise.capacity());
    EXPECT_EQ(writtenBytes(reserved), writtenBytes(stepwise));
    for (std::uint32_t i = reserved.byteCount(); i < reserved.capacity(); ++i)
      ASSERT_EQ(reserved.data()[i], 0) << i;
    // Reserving less than the buffer holds changes nothing.
    ASSERT_EQ(reserved.reserveBits(8), 0);
    EXPECT_EQ(reserved.capacity(), reservedCapacity);
  }
}

TEST(BitStreamReader, CapacityIsLengthRoundedUpPastTheNextStep) {
  const std::vector<std::uint8_t> bytes(140000, 0x5A);
  struct Case {
    std::uint32_t length, capacity;
  } cases[] = {{0, 65536},      {1, 65536},       {65535, 65536},
               {65536, 131072}, {131071, 131072}, {131072, 196608}};
  for (const Case& c : cases) {
    BitStream s;
    ASSERT_EQ(s.putBits(3, 5), 0);
    ASSERT_EQ(s.loadFromMemory(bytes.data(), c.length), 0);
    EXPECT_EQ(s.capacity(), c.capacity) << c.length;
    EXPECT_EQ(s.byteIndex(), 0u);
    EXPECT_EQ(s.bitsUsed(), 0u);
    for (std::uint32_t i = c.length; i < s.capacity(); ++i) ASSERT_EQ(s.data()[i], 0);
  }
}

TEST(BitStreamReader, ReadsZerosPastTheDataAndStopsBeforeTheLastBit) {
  const std::uint8_t bytes[] = {0xC5};
  BitStream s;
  ASSERT_EQ(s.loadFromMemory(bytes, 1), 0);
  std::uint32_t v = 0;
  ASSERT_EQ(s.getBits(3, v), 0);
  EXPECT_EQ(v, 6u);
  ASSERT_EQ(s.getBit(v), 0);
  EXPECT_EQ(v, 0u);
  ASSERT_EQ(s.getBits(4, v), 0);
  EXPECT_EQ(v, 5u);
  ASSERT_EQ(s.getBits(32, v), 0);  // past the loaded byte: zeros
  EXPECT_EQ(v, 0u);

  // Up to the last byte of the capacity: a field may not end on its last bit.
  s.setReadPosition(65535u * 8);
  EXPECT_EQ(s.getBits(8, v), 4);
  EXPECT_EQ(s.bitPosition(), 65535u * 8);  // a refused field moves nothing
  ASSERT_EQ(s.getBits(7, v), 0);
  EXPECT_EQ(s.getBit(v), 4);
  EXPECT_EQ(s.getBit(v), 4);
  s.setReadPosition(65534u * 8 + 1);
  EXPECT_EQ(s.getBits(16, v), 4);
  EXPECT_EQ(s.getBits(14, v), 0);
}

TEST(BitStreamReader, GetBitFlagsTheLastBitButReturnsIt) {
  std::vector<std::uint8_t> bytes(65535, 0);
  bytes.back() = 0x01;
  BitStream s;
  ASSERT_EQ(s.loadFromMemory(bytes.data(), 65535), 0);
  s.setReadPosition(65534u * 8 + 7);
  std::uint32_t bit = 0;
  ASSERT_EQ(s.getBit(bit), 0);
  EXPECT_EQ(bit, 1u);
  s.setReadPosition(65535u * 8 + 7);
  EXPECT_EQ(s.getBit(bit), 4);
}

TEST(BitStreamFile, WritesItsBytesAndLoadsThemBack) {
  TempDir dir;
  const std::string path = dir.file("stream.bin");
  BitStream out;
  for (std::uint32_t i = 0; i < 1000; ++i) ASSERT_EQ(out.putBits(i, 11), 0);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fputs("head", f), 1);
  ASSERT_EQ(out.writeToFile(f), 0);
  std::fclose(f);

  f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(std::fseek(f, 4, SEEK_SET), 0);
  BitStream in;
  // One byte more than the file holds after the position: refused.
  EXPECT_EQ(in.loadFromFile(f, out.byteCount() + 1), 14);
  EXPECT_EQ(in.capacity(), 65536u);
  ASSERT_EQ(in.loadFromFile(f, out.byteCount()), 0);
  std::fclose(f);
  std::uint32_t v = 0;
  for (std::uint32_t i = 0; i < 1000; ++i) {
    ASSERT_EQ(in.getBits(11, v), 0);
    ASSERT_EQ(v, i);
  }
}

TEST(BitStreamFile, HugeDamagedLengthFailsWithoutAllocating) {
  TempDir dir;
  const std::string path = dir.file("small.bin");
  writeFileBytes(path, "abc");
  std::FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  BitStream s;
  ASSERT_EQ(s.putBits(0x3, 2), 0);
  EXPECT_EQ(s.loadFromFile(f, 0xFFFFFFF0u), 14);
  EXPECT_EQ(s.loadFromFile(f, 0x7FFFFFFFu), 14);
  // The stream is untouched and the file position unchanged.
  EXPECT_EQ(s.capacity(), 65536u);
  EXPECT_EQ(s.bitsUsed(), 2u);
  EXPECT_EQ(std::ftell(f), 0);
  std::fclose(f);
  EXPECT_EQ(s.loadFromFile(nullptr, 1), 14);
}

TEST(BitStreamFile, ReadsFromStreamsThatCannotSeek) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const char data[] = "0123456789";
  ASSERT_EQ(write(fds[1], data, 10), 10);
  close(fds[1]);
  std::FILE* f = fdopen(fds[0], "rb");
  ASSERT_NE(f, nullptr);
  BitStream s;
  ASSERT_EQ(s.loadFromFile(f, 4), 0);
  std::uint32_t v = 0;
  ASSERT_EQ(s.getBits(32, v), 0);
  EXPECT_EQ(v, 0x30313233u);
  EXPECT_EQ(s.loadFromFile(f, 7), 14);  // only 6 bytes are left
  std::fclose(f);
}

TEST(BitStreamFile, ShortWriteIs15) {
  TempDir dir;
  const std::string path = dir.file("ro.bin");
  writeFileBytes(path, "x");
  std::FILE* f = std::fopen(path.c_str(), "rb");  // not writable
  ASSERT_NE(f, nullptr);
  BitStream s;
  ASSERT_EQ(s.putBits(0xAB, 8), 0);
  EXPECT_EQ(s.writeToFile(f), 15);
  std::fclose(f);
}

TEST(BitStreamMemory, LengthWhoseCapacityDoesNotFit32BitsIs7) {
  const std::uint8_t byte = 0;
  BitStream s;
  ASSERT_EQ(s.putBits(1, 1), 0);
  // Checked before the bytes are touched.
  EXPECT_EQ(s.loadFromMemory(&byte, 0xFFFF0000u), 7);
  EXPECT_EQ(s.capacity(), 65536u);
  EXPECT_EQ(s.bitsUsed(), 1u);
  EXPECT_EQ(s.loadFromMemory(nullptr, 5), 14);
}

}  // namespace
