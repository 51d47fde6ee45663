// Small builders shared by the numeric tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/matrix.h"
#include "numeric/parallel.h"
#include "support/matrices.h"

namespace numeric_test {

// Selects a vector level for one test (or part of one) and restores the
// level before. selected() is false, and nothing changes, where the
// processor lacks the level.
class LevelScope {
 public:
  explicit LevelScope(KPX::VectorLevel level)
      : saved_(KPX::vectorLevel()), selected_(KPX::setVectorLevel(level)) {}
  ~LevelScope() { KPX::setVectorLevel(saved_); }
  LevelScope(const LevelScope&) = delete;
  LevelScope& operator=(const LevelScope&) = delete;
  bool selected() const { return selected_; }

 private:
  KPX::VectorLevel saved_;
  bool selected_;
};

// The levels this processor runs, portable first.
inline std::vector<KPX::VectorLevel> supportedLevels() {
  std::vector<KPX::VectorLevel> levels;
  for (KPX::VectorLevel level :
       {KPX::VectorLevel::Portable, KPX::VectorLevel::Avx2, KPX::VectorLevel::Avx512})
    if (KPX::vectorLevelSupported(level)) levels.push_back(level);
  return levels;
}

// Sets the process-wide thread count for one test and restores it after.
class ThreadScope {
 public:
  explicit ThreadScope(std::uint32_t threads) : saved_(KPX::threadCount()) {
    KPX::setThreadCount(threads);
  }
  ~ThreadScope() { KPX::setThreadCount(saved_); }
  ThreadScope(const ThreadScope&) = delete;
  ThreadScope& operator=(const ThreadScope&) = delete;

 private:
  std::uint32_t saved_;
};

using testing_support::fromRows;

// Uniform elements in [-1, 1), the same for the same seed.
inline KPX::Matrix<double> randomMatrix(std::uint32_t rows, std::uint32_t cols,
                                        std::uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> value(-1.0, 1.0);
  KPX::Matrix<double> m(rows, cols);
  for (std::uint32_t k = 0; k < m.count(); ++k) m.data()[k] = value(random);
  return m;
}

inline KPX::Matrix<double> identity(std::uint32_t n) {
  KPX::Matrix<double> m(n, n);
  KPX::fill(m, 0.0);
  for (std::uint32_t i = 0; i < n; ++i) m[i][i] = 1.0;
  return m;
}

// Largest absolute element-wise difference of two same-shaped matrices.
inline double maxDifference(const KPX::Matrix<double>& a, const KPX::Matrix<double>& b) {
  double worst = 0.0;
  for (std::uint32_t k = 0; k < a.count(); ++k) {
    const double d = a.data()[k] - b.data()[k];
    worst = std::max(worst, d < 0 ? -d : d);
  }
  return worst;
}

}  // namespace numeric_test
