// Running a piece of a test in a forked child, to measure what it costs the
// process (peak resident memory) without the rest of the test program's
// history getting in the way.
#pragma once

#include <functional>

namespace testing_support {

struct ChildOutcome {
  bool exited = false;    // false: killed by a signal (or fork failed)
  int exitCode = -1;      // the work's result (0..255)
  long peakGrowthKb = 0;  // peak resident memory of the child above its start
  double seconds = 0.0;   // wall time of the work
};

// Forks, runs work in the child and reports its result. The child never
// returns into the test program.
ChildOutcome runInChild(const std::function<int()>& work);

}  // namespace testing_support
