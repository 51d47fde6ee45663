#include "index/checksum.h"

#include <zlib.h>

#include <algorithm>

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes lengths as uInt; a long buffer is fed in parts.
  while (size > 0) {
    const uInt part = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
    crc = crc32(crc, data, part);
    data += part;
    size -= part;
  }
  return static_cast<std::uint32_t>(crc);
}
