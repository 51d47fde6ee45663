// Files that are not regular under picture names (FIFOs, sockets), and a
// watchdog that lets a reader blocked on such a FIFO go, so that a test of
// code that would block fails instead of hanging.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

// A FIFO at path; false when it cannot be made.
bool makeFifo(const std::string& path);
// A listening-less Unix socket bound at path; false when it cannot be made.
bool makeSocket(const std::string& path);

// Opens each FIFO for writing once without blocking and closes it again: a
// reader blocked in opening one goes on (and reads an empty file).
void releaseFifoReaders(const std::vector<std::string>& fifos);

// After limitMs (unless stopped first) releases the readers of the FIFOs,
// again and again until stopped; fired() tells whether it had to.
class FifoWatchdog {
 public:
  FifoWatchdog(std::vector<std::string> fifos, int limitMs);
  ~FifoWatchdog();
  FifoWatchdog(const FifoWatchdog&) = delete;
  FifoWatchdog& operator=(const FifoWatchdog&) = delete;

  // Stops watching; true when the limit passed first.
  bool stop();
  bool fired() const { return fired_; }

 private:
  std::vector<std::string> fifos_;
  std::mutex lock_;
  std::condition_variable wake_;
  bool stopped_ = false;
  std::atomic<bool> fired_{false};
  std::thread thread_;
};

}  // namespace testing_support
