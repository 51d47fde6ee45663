// A growable bit stream: fields of 1 to 32 bits, most significant bit first.
// A writer grows in steps of 65536 zeroed bytes; a reader loads its bytes
// once into a buffer rounded up to the next multiple of 65536.
//
// Positions: a writer that has written a bit holds bitsUsed 1..8 (8 = the
// byte at byteIndex is full), a reader 0..7. A read of n bits starting at
// absolute bit b succeeds only when b + n < 8 * capacity, so the last bit of
// the buffer is never handed out; past the loaded bytes a reader sees zeros.
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

  // Appends the n low bits of value; status::InvalidValues for n > 32
  // (nothing written), status::NoMemory when growing fails (the old buffer and
  // contents are kept).
  Status putBits(std::uint32_t value, std::uint32_t n);
  // Grows the buffer at once to the capacity that writing up to bit `end`
  // would leave (the same zeroed buffer, fewer copies); status::NoMemory as
  // putBits.
  Status reserveBits(std::uint64_t end);
  // The next bit; status::OutOfRange when it is the last bit of the capacity.
  Status getBit(std::uint32_t& bit);
  // status::InvalidValues for n > 32; status::OutOfRange when the field
  // reaches past the capacity (the position is then unchanged).
  Status getBits(std::uint32_t n, std::uint32_t& value);

  // ceil(bits written / 8).
  std::uint32_t byteCount() const;
  // Writes byteCount() bytes; status::WriteFailed on a short write.
  Status writeToFile(std::FILE* file) const;
  // Replaces the buffer by ((length >> 16) + 1) * 65536 zero bytes, resets the
  // position and reads length bytes: status::ReadFailed on a short read (also
  // when the file holds fewer than length bytes, checked before allocating),
  // status::NoMemory when the buffer cannot be allocated or would not fit in
  // 32 bits. On any failure the stream keeps its old buffer and position.
  Status loadFromFile(std::FILE* file, std::uint32_t length);
  // The same from memory.
  Status loadFromMemory(const std::uint8_t* bytes, std::uint32_t length);

  // Back to the first bit, for reading what was written.
  void rewind();

  const std::uint8_t* data() const { return buffer_.data(); }
  std::uint32_t capacity() const { return static_cast<std::uint32_t>(buffer_.size()); }
  std::uint32_t byteIndex() const { return byteIndex_; }
  std::uint32_t bitsUsed() const { return bitsUsed_; }

  // Absolute bit position (byteIndex * 8 + bitsUsed), and moving a reader
  // there; for decoders that read the buffer directly. setReadPosition
  // clamps to 8 * capacity.
  std::uint64_t bitPosition() const {
    return static_cast<std::uint64_t>(byteIndex_) * 8 + bitsUsed_;
  }
  void setReadPosition(std::uint64_t bit);

 private:
  // Capacity needed so that a field ending at absolute bit `end` may be
  // written: grows by one step when the byte holding it is the last one.
  Status reserveFor(std::uint64_t end);
  Status replaceBuffer(std::vector<std::uint8_t>&& bytes, std::uint32_t length);

  std::vector<std::uint8_t> buffer_;
  std::uint32_t byteIndex_ = 0;
  std::uint32_t bitsUsed_ = 0;
};
