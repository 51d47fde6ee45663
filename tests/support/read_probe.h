// Running the read probe (tests/probes/rim_read_probe.cpp): one reader for
// other programs in a process of its own, with what it cost.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// What a sanitizer build's probe takes (shadow memory, freed blocks held in
// quarantine, slower code) is not what the figures are about: there the
// tests check what is read or refused, not its cost.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kProbeCostsAreReal = false;
#else
inline constexpr bool kProbeCostsAreReal = true;
#endif

struct ProbeRead {
  bool ran = false;  // the probe ran and reported
  int status = -1;   // the read's status (plugin: 0 read, 1 refused)
  int width = 0;     // the picture's size (0 x 0: none)
  int height = 0;
  bool grey = false;     // every pixel the grey 100 of the stretched files
  long growthKb = 0;     // peak resident memory the read added
  long peakKb = 0;       // the whole process's peak
  double seconds = 0.0;  // the read's processor time (user and system, all threads)
  std::string err;       // standard error (run: the program's)
};

// Runs the probe with args (its mode first).
ProbeRead runReadProbe(const std::vector<std::string>& args);

// Runs program with args under the probe: status is its exit code, peakKb
// its own peak resident memory, seconds its processor time.
ProbeRead runMeasured(const std::string& program, const std::vector<std::string>& args);

}  // namespace testing_support
