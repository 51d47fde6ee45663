// The one place that decides which vector instructions the kernels use.
// The processor's level is found once; every kernel with vector versions
// picks its version from vectorLevel(), so that tests and benchmarks can run
// each level the processor has and compare them.
#pragma once

namespace KPX {

// Ordered: a level includes the ones below it.
enum class VectorLevel {
  Portable,  // baseline x86-64: products and sums rounded apart
  Avx2,      // AVX2 with fused multiply-add
  Avx512,    // AVX-512 Foundation and Byte/Word besides
};

// The best level this processor runs.
VectorLevel cpuVectorLevel();
bool vectorLevelSupported(VectorLevel level);

// The level in force: cpuVectorLevel() unless setVectorLevel chose a lower
// one. Process-wide.
VectorLevel vectorLevel();
// Selects a level for the whole process (tests and benchmarks compare
// them). A level the processor does not have is refused: returns false and
// changes nothing.
bool setVectorLevel(VectorLevel level);

const char* vectorLevelName(VectorLevel level);

// A kernel in a version per level; a level without a version of its own
// runs the best one below it. The portable version is always there.
template <class Fn>
struct LevelKernel {
  Fn portable;
  Fn avx2 = nullptr;
  Fn avx512 = nullptr;

  Fn at(VectorLevel level) const {
    if (level >= VectorLevel::Avx512 && avx512 != nullptr) return avx512;
    if (level >= VectorLevel::Avx2 && avx2 != nullptr) return avx2;
    return portable;
  }
  Fn current() const { return at(vectorLevel()); }
};

}  // namespace KPX
