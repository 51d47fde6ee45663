// Saturating conversions of doubles to the integers the components store.
#pragma once

#include <cstdint>

// Truncation toward zero into 32-bit integers. Values outside the range
// saturate and NaN becomes 0, where a bare cast would be undefined.
inline std::int32_t toInt32(double v) {
  if (!(v == v)) return 0;
  if (v >= 2147483647.0) return INT32_MAX;
  if (v <= -2147483648.0) return INT32_MIN;
  return static_cast<std::int32_t>(v);
}

inline std::uint32_t toUint32(double v) {
  if (!(v > 0.0)) return 0;
  if (v >= 4294967295.0) return UINT32_MAX;
  return static_cast<std::uint32_t>(v);
}
