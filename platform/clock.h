// A monotonic high-resolution counter read as a 64-bit count with its
// frequency (counts per second), for the codec's step timings.
#pragma once

#include <cstdint>

namespace platform {

std::int64_t counterFrequency();
std::int64_t counterNow();

// Seconds elapsed since start, as the codec prints them.
double secondsSince(std::int64_t start);

}  // namespace platform
