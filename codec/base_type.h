// Base type of an image, as the shell, the search and the command line see
// it: a RIM file with PCA bases or with ICA bases (the header's learning
// flag), any other image (also a RIM file that failed to decode), and, for a
// listed file not inspected yet, 99.
#pragma once

#include <cstdint>

inline constexpr std::uint16_t kBaseTypePCA = 0;
inline constexpr std::uint16_t kBaseTypeICA = 1;
inline constexpr std::uint16_t kBaseTypeUninspected = 99;
inline constexpr std::uint16_t kBaseTypeOther = 326;
