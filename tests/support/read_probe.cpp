#include "support/read_probe.h"

#include <cstdio>

#include "support/run_program.h"
#include "support/test_support.h"

namespace testing_support {

ProbeRead runReadProbe(const std::vector<std::string>& args) {
  ProbeRead read;
  const ProgramRun run = runProgram(binPath("rim_read_probe"), args);
  read.err = run.err;
  char pixels[8] = {};
  if (run.exitCode != 0 ||
      std::sscanf(run.out.c_str(), "%d %dx%d %7s %ld %ld %lf", &read.status, &read.width,
                  &read.height, pixels, &read.growthKb, &read.peakKb, &read.seconds) != 7)
    return read;
  read.ran = true;
  read.grey = std::string(pixels) == "grey";
  return read;
}

ProbeRead runMeasured(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"run", program};
  all.insert(all.end(), args.begin(), args.end());
  return runReadProbe(all);
}

}  // namespace testing_support
