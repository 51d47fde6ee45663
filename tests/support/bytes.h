// Little-endian fields in a file's bytes (RIM files, BMP files and signature
// blobs store theirs so), for tests that read them or write damage into
// them. Bytes is std::string or std::vector<std::uint8_t>; the bytes at the
// field must already be there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace testing_support {

template <typename Bytes>
std::uint32_t getU16(const Bytes& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at])) |
         static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 1])) << 8;
}

template <typename Bytes>
std::uint32_t getU32(const Bytes& bytes, std::size_t at) {
  return getU16(bytes, at) | getU16(bytes, at + 2) << 16;
}

template <typename Bytes>
void putU32(Bytes& bytes, std::size_t at, std::uint32_t value) {
  for (std::size_t i = 0; i < 4; ++i)
    bytes[at + i] = static_cast<typename Bytes::value_type>(value >> (8 * i) & 0xFF);
}

}  // namespace testing_support
