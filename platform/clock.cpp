#include "platform/clock.h"

#include <chrono>

namespace platform {

using Clock = std::chrono::steady_clock;

std::int64_t counterFrequency() {
  return static_cast<std::int64_t>(Clock::period::den / Clock::period::num);
}

std::int64_t counterNow() {
  return static_cast<std::int64_t>(Clock::now().time_since_epoch().count());
}

double secondsSince(std::int64_t start) {
  return static_cast<double>(counterNow() - start) / static_cast<double>(counterFrequency());
}

}  // namespace platform
