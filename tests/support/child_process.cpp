#include "support/child_process.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

namespace testing_support {

namespace {

long peakRssKb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct Report {
  long peakGrowthKb;
  double seconds;
};

}  // namespace

ChildOutcome runInChild(const std::function<int()>& work) {
  ChildOutcome outcome;
  int channel[2];
  if (pipe(channel) != 0) return outcome;
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) {
    close(channel[0]);
    close(channel[1]);
    return outcome;
  }
  if (child == 0) {
    close(channel[0]);
    // A new process starts with the peak at its current size.
    const long before = peakRssKb();
    const auto start = std::chrono::steady_clock::now();
    const int code = work();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const Report report{peakRssKb() - before, took.count()};
    const ssize_t written = write(channel[1], &report, sizeof report);
    _exit(written == static_cast<ssize_t>(sizeof report) ? (code & 0xFF) : 255);
  }
  close(channel[1]);
  Report report{};
  const ssize_t got = read(channel[0], &report, sizeof report);
  close(channel[0]);
  int wstatus = 0;
  waitpid(child, &wstatus, 0);
  if (WIFEXITED(wstatus) && got == static_cast<ssize_t>(sizeof report)) {
    outcome.exited = true;
    outcome.exitCode = WEXITSTATUS(wstatus);
    outcome.peakGrowthKb = report.peakGrowthKb;
    outcome.seconds = report.seconds;
  }
  return outcome;
}

}  // namespace testing_support
