#include "numeric/cpu_features.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "numeric_helpers.h"

using KPX::VectorLevel;
using numeric_test::LevelScope;

namespace {

int portableVersion() { return 0; }
int avx2Version() { return 2; }
int avx512Version() { return 512; }

using Version = int (*)();

struct Pick {
  const char* name;
  KPX::LevelKernel<Version> kernel;
  int atPortable, atAvx2, atAvx512;
};

// A level without a version of its own runs the best one below it.
const Pick kPicks[] = {
    {"portable_only", {portableVersion}, 0, 0, 0},
    {"up_to_avx2", {portableVersion, avx2Version}, 0, 2, 2},
    {"every_level", {portableVersion, avx2Version, avx512Version}, 0, 2, 512},
    {"avx512_without_avx2", {portableVersion, nullptr, avx512Version}, 0, 0, 512},
};

TEST(VectorLevel, EachLevelRunsTheBestVersionAtOrBelowIt) {
  for (const Pick& p : kPicks) {
    SCOPED_TRACE(p.name);
    EXPECT_EQ(p.kernel.at(VectorLevel::Portable)(), p.atPortable);
    EXPECT_EQ(p.kernel.at(VectorLevel::Avx2)(), p.atAvx2);
    EXPECT_EQ(p.kernel.at(VectorLevel::Avx512)(), p.atAvx512);
    for (VectorLevel level : numeric_test::supportedLevels()) {
      const LevelScope scope(level);
      EXPECT_EQ(p.kernel.current(), p.kernel.at(level)) << KPX::vectorLevelName(level);
    }
  }
}

// The processor's level is the default; a level above it is refused and
// changes nothing; every level up to it can be chosen and named.
TEST(VectorLevel, OnlyTheProcessorsLevelsCanBeChosen) {
  EXPECT_EQ(KPX::vectorLevel(), KPX::cpuVectorLevel());
  std::set<std::string> names;
  for (VectorLevel level : {VectorLevel::Portable, VectorLevel::Avx2, VectorLevel::Avx512}) {
    names.insert(KPX::vectorLevelName(level));
    const bool supported = level <= KPX::cpuVectorLevel();
    EXPECT_EQ(KPX::vectorLevelSupported(level), supported);
    const LevelScope scope(level);
    EXPECT_EQ(scope.selected(), supported) << KPX::vectorLevelName(level);
    EXPECT_EQ(KPX::vectorLevel(), supported ? level : KPX::cpuVectorLevel());
  }
  EXPECT_EQ(names, (std::set<std::string>{"portable", "avx2", "avx512"}));
  EXPECT_EQ(KPX::vectorLevel(), KPX::cpuVectorLevel());
}

}  // namespace
