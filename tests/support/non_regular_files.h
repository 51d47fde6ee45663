// Files that are not regular files, made where a test wants them: the
// outputs that no writer may replace and the inputs that must never block;
// and a watchdog that lets a reader blocked on such a FIFO go, so that a
// test of code that would block fails instead of hanging.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testing_support {

enum class SpecialFile { Fifo, Socket, CharacterDevice };

inline constexpr SpecialFile kSpecialFiles[] = {SpecialFile::Fifo, SpecialFile::Socket,
                                                SpecialFile::CharacterDevice};

// Why a test cannot make that kind here ("" when it can): a device node
// needs root.
std::string cannotMake(SpecialFile kind);

const char* specialFileName(SpecialFile kind);
// The kind's name as the name of a test in a table over kSpecialFiles.
std::string specialFileTestName(const ::testing::TestParamInfo<SpecialFile>& info);

// Makes a file of that kind at path (a device node with the numbers of
// /dev/null, never a real /dev entry); false when it cannot be made.
bool makeSpecialFile(const std::string& path, SpecialFile kind);

// True when path (not followed if it is a link) is still of that kind.
bool isSpecialFile(const std::string& path, SpecialFile kind);

// makeSpecialFile of a FIFO and of a socket.
bool makeFifo(const std::string& path);
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
