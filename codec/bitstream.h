// A growable bit stream: fields of 1 to 32 bits, most significant bit first.
// A writer grows in steps of 65536 zeroed bytes; a reader loads its bytes
// once into a buffer rounded up to the next multiple of 65536.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "codec/status.h"

class BitStream {
 public:
  static constexpr std::uint32_t kGrowth = 65536;

  // Starts with 65536 zero bytes.
  BitStream();

  // Appends the n low bits of value; 22 for n > 32, 7 when growing fails.
  Status putBits(std::uint32_t value, std::uint32_t n);
  Status getBit(std::uint32_t& bit);
  // 22 for n > 32; 4 when the field reaches past the capacity.
  Status getBits(std::uint32_t n, std::uint32_t& value);

  // ceil(bits written / 8).
  std::uint32_t byteCount() const;
  // Writes byteCount() bytes; 15 on a short write.
  Status writeToFile(std::FILE* file) const;
  // Replaces the buffer by ((length >> 16) + 1) * 65536 zero bytes, resets the
  // position and reads length bytes: 14 on a short read (also when the file
  // holds fewer than length bytes, checked before allocating), 7 when the
  // buffer cannot be allocated (the old one is kept).
  Status loadFromFile(std::FILE* file, std::uint32_t length);
  // The same from memory.
  Status loadFromMemory(const std::uint8_t* bytes, std::uint32_t length);

  // Back to the first bit, for reading what was written.
  void rewind();

  const std::uint8_t* data() const { return buffer_.data(); }
  std::uint32_t capacity() const { return static_cast<std::uint32_t>(buffer_.size()); }
  std::uint32_t byteIndex() const { return byteIndex_; }
  std::uint32_t bitsUsed() const { return bitsUsed_; }

 private:
  Status putByteBits(std::uint32_t value, std::uint32_t n);
  Status getByteBits(std::uint32_t n, std::uint32_t& value);

  std::vector<std::uint8_t> buffer_;
  std::uint32_t byteIndex_ = 0;
  std::uint32_t bitsUsed_ = 0;
};
