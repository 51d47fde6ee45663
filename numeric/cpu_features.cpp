#include "numeric/cpu_features.h"

#include <atomic>

namespace KPX {
namespace {

VectorLevel detect() {
  __builtin_cpu_init();
  if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("fma"))
    return VectorLevel::Portable;
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
             ? VectorLevel::Avx512
             : VectorLevel::Avx2;
}

std::atomic<VectorLevel>& selected() {
  static std::atomic<VectorLevel> level{cpuVectorLevel()};
  return level;
}

}  // namespace

VectorLevel cpuVectorLevel() {
  static const VectorLevel level = detect();
  return level;
}

bool vectorLevelSupported(VectorLevel level) { return level <= cpuVectorLevel(); }

VectorLevel vectorLevel() { return selected().load(std::memory_order_relaxed); }

bool setVectorLevel(VectorLevel level) {
  if (!vectorLevelSupported(level)) return false;
  selected().store(level);
  return true;
}

const char* vectorLevelName(VectorLevel level) {
  switch (level) {
    case VectorLevel::Avx512:
      return "avx512";
    case VectorLevel::Avx2:
      return "avx2";
    case VectorLevel::Portable:
      break;
  }
  return "portable";
}

}  // namespace KPX
