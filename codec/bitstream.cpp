#include "codec/bitstream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#include "numeric/status_guard.h"

namespace {

constexpr std::uint64_t kMaxCapacity = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kChunk = 1u << 20;

// ((length >> 16) + 1) * 65536, or 0 when that does not fit in 32 bits.
std::uint64_t readerCapacity(std::uint32_t length) {
  const std::uint64_t capacity =
      ((static_cast<std::uint64_t>(length) >> 16) + 1) * BitStream::kGrowth;
  return capacity > kMaxCapacity ? 0 : capacity;
}

}  // namespace

BitStream::BitStream() {
  // A fresh stream cannot sensibly fail to get its first 64 KiB; if it does,
  // it stays empty and the first write reports status::NoMemory.
  if (guardStatus([&] { buffer_.assign(kGrowth, 0); }) != status::Success) buffer_.clear();
}

Status BitStream::reserveFor(std::uint64_t end) {
  if ((end >> 3) < buffer_.size()) return status::Success;
  const std::uint64_t grown = static_cast<std::uint64_t>(buffer_.size()) + kGrowth;
  if (grown > kMaxCapacity) return status::NoMemory;
  // Keeps the old bytes on failure.
  return guardStatus([&] { buffer_.resize(static_cast<std::size_t>(grown), 0); });
}

Status BitStream::reserveBits(std::uint64_t end) {
  if ((end >> 3) < buffer_.size()) return status::Success;
  const std::uint64_t grown = ((end >> 3) / kGrowth + 1) * kGrowth;
  if (grown > kMaxCapacity) return status::NoMemory;
  return guardStatus([&] { buffer_.resize(static_cast<std::size_t>(grown), 0); });
}

Status BitStream::putBits(std::uint32_t value, std::uint32_t n) {
  if (n > 32) return status::InvalidValues;
  const std::uint64_t pos = bitPosition();
  const std::uint64_t end = pos + n;
  // Growing once for the whole field happens at the same point as growing
  // for its last 8-bit piece, and keeps a failed write from leaving half a
  // field behind.
  FOLIM_RETURN_IF_ERROR(reserveFor(end));
  if (n == 0) return status::Success;

  const std::uint64_t bits = value & ((UINT64_C(1) << n) - 1);
  const std::uint32_t used = static_cast<std::uint32_t>(pos & 7);
  // The field lies in a 40-bit window that starts at the byte holding pos.
  const std::uint64_t window = bits << (40 - used - n);
  const std::uint32_t touched = (used + n + 7) >> 3;
  std::uint8_t* out = buffer_.data() + (pos >> 3);
  out[0] = static_cast<std::uint8_t>(out[0] | (window >> 32));
  for (std::uint32_t i = 1; i < touched; ++i) {
    out[i] = static_cast<std::uint8_t>(window >> (32 - 8 * i));
  }
  // A writer keeps a full byte as bitsUsed = 8 rather than moving on.
  byteIndex_ = static_cast<std::uint32_t>((end - 1) >> 3);
  bitsUsed_ = static_cast<std::uint32_t>(end - static_cast<std::uint64_t>(byteIndex_) * 8);
  return status::Success;
}

Status BitStream::getBit(std::uint32_t& bit) {
  const std::uint64_t pos = bitPosition();
  if ((pos >> 3) >= buffer_.size()) {
    bit = 0;
    return status::OutOfRange;
  }
  bit = (buffer_[pos >> 3] >> (7 - (pos & 7))) & 1u;
  if (((pos + 1) >> 3) >= buffer_.size()) return status::OutOfRange;
  setReadPosition(pos + 1);
  return status::Success;
}

Status BitStream::getBits(std::uint32_t n, std::uint32_t& value) {
  if (n > 32) return status::InvalidValues;
  const std::uint64_t pos = bitPosition();
  const std::uint64_t end = pos + n;
  if ((end >> 3) >= buffer_.size()) return status::OutOfRange;
  if (n == 0) {
    value = 0;
    return status::Success;
  }
  const std::uint64_t first = pos >> 3;
  const std::uint64_t last = (end - 1) >> 3;
  std::uint64_t window = 0;
  for (std::uint64_t i = first; i <= last; ++i) window = (window << 8) | buffer_[i];
  const std::uint64_t windowBits = (last - first + 1) * 8;
  const std::uint64_t used = pos & 7;
  value =
      static_cast<std::uint32_t>((window >> (windowBits - used - n)) & ((UINT64_C(1) << n) - 1));
  setReadPosition(end);
  return status::Success;
}

std::uint32_t BitStream::byteCount() const { return byteIndex_ + (bitsUsed_ != 0 ? 1 : 0); }

Status BitStream::writeToFile(std::FILE* file) const {
  const std::uint32_t count = byteCount();
  if (count == 0) return status::Success;
  if (file == nullptr) return status::WriteFailed;
  if (std::fwrite(buffer_.data(), 1, count, file) != count) return status::WriteFailed;
  return status::Success;
}

Status BitStream::replaceBuffer(std::vector<std::uint8_t>&& bytes, std::uint32_t length) {
  const std::uint64_t capacity = readerCapacity(length);
  FOLIM_RETURN_IF_ERROR(guardStatus([&] { bytes.resize(static_cast<std::size_t>(capacity), 0); }));
  buffer_ = std::move(bytes);
  byteIndex_ = 0;
  bitsUsed_ = 0;
  return status::Success;
}

Status BitStream::loadFromFile(std::FILE* file, std::uint32_t length) {
  if (file == nullptr) return status::ReadFailed;

  // A damaged length must not make us allocate what the file cannot hold.
  const long start = std::ftell(file);
  if (start >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end < 0 || std::fseek(file, start, SEEK_SET) != 0) return status::ReadFailed;
    if (end < start || static_cast<std::uint64_t>(end - start) < length) {
      return status::ReadFailed;
    }
    if (readerCapacity(length) == 0) return status::NoMemory;
    std::vector<std::uint8_t> bytes;
    FOLIM_RETURN_IF_ERROR(
        guardStatus([&] { bytes.assign(static_cast<std::size_t>(readerCapacity(length)), 0); }));
    if (std::fread(bytes.data(), 1, length, file) != length) return status::ReadFailed;
    return replaceBuffer(std::move(bytes), length);
  }

  // A stream that cannot seek is read in chunks, so memory follows the bytes
  // that really arrive.
  if (readerCapacity(length) == 0) return status::NoMemory;
  std::vector<std::uint8_t> bytes;
  std::uint32_t got = 0;
  while (got < length) {
    const std::size_t want = std::min<std::size_t>(kChunk, length - got);
    FOLIM_RETURN_IF_ERROR(guardStatus([&] { bytes.resize(got + want); }));
    const std::size_t read = std::fread(bytes.data() + got, 1, want, file);
    got += static_cast<std::uint32_t>(read);
    if (read != want) return status::ReadFailed;
  }
  return replaceBuffer(std::move(bytes), length);
}

Status BitStream::loadFromMemory(const std::uint8_t* bytes, std::uint32_t length) {
  if (readerCapacity(length) == 0) return status::NoMemory;
  if (bytes == nullptr && length != 0) return status::ReadFailed;
  std::vector<std::uint8_t> copy;
  FOLIM_RETURN_IF_ERROR(
      guardStatus([&] { copy.assign(static_cast<std::size_t>(readerCapacity(length)), 0); }));
  if (length != 0) std::memcpy(copy.data(), bytes, length);
  return replaceBuffer(std::move(copy), length);
}

void BitStream::rewind() {
  byteIndex_ = 0;
  bitsUsed_ = 0;
}

void BitStream::setReadPosition(std::uint64_t bit) {
  const std::uint64_t limit = static_cast<std::uint64_t>(buffer_.size()) * 8;
  if (bit > limit) bit = limit;
  byteIndex_ = static_cast<std::uint32_t>(bit >> 3);
  bitsUsed_ = static_cast<std::uint32_t>(bit & 7);
}
