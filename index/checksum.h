// The CRC-32 that ends the index's blobs and the neighbour lists' file:
// damage that leaves every field plausible is found as well.
#pragma once

#include <cstddef>
#include <cstdint>

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size);
