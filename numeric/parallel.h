// The one way work runs on several threads: a loop whose index range is cut
// into ranges that threads take in turn (parallelFor), and one task beside
// the calling thread's own (runBeside). Every caller splits its work so that
// each result element is computed by one thread in the same order as on one
// thread: results never depend on the thread count or on which thread took
// which range.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

namespace KPX {

// The processor's cores, at least 1: the default wherever a thread count of
// 0 means one per core (loops, batches, searches, index jobs).
std::uint32_t coreCount();

// Threads used by one parallel loop: 0 (the default) means one per core.
// Process-wide; programs and tests set it at start-up or between jobs.
void setThreadCount(std::uint32_t threads);
std::uint32_t threadCount();

// Caps threadCount() for the loops the calling thread starts, while the
// object lives: a batch that already runs one image per core gives each
// image a share of the cores instead of oversubscribing them. 0 lifts the
// cap. Results do not change, only the threads that compute them.
class ThreadLimit {
 public:
  explicit ThreadLimit(std::uint32_t threads);
  ~ThreadLimit();
  ThreadLimit(const ThreadLimit&) = delete;
  ThreadLimit& operator=(const ThreadLimit&) = delete;

 private:
  std::uint32_t previous_;
};

// How a parallel loop cuts [0, count) into ranges and how many threads take
// them.
struct Schedule {
  // One range per thread, each at least minChunk items long (unless count
  // is smaller), on threadCount() threads: for items of about equal cost.
  static Schedule even(std::uint64_t minChunk);
  // Ranges of grain items taken by whichever of `threads` threads (the
  // calling one included; 0 counts as 1) is free next: for items whose cost
  // varies, such as files and signatures.
  static Schedule dynamic(std::uint32_t threads, std::uint64_t grain);
  // No range starts once *flag is set; the loop then returns with the
  // remaining items not run.
  Schedule& until(const std::atomic<bool>* flag);

  std::uint64_t minChunk = 1;  // even split
  std::uint64_t grain = 0;     // 0: even split, else dynamic ranges of grain items
  std::uint32_t threads = 0;   // 0: threadCount()
  const std::atomic<bool>* stop = nullptr;
};

using RangeBody = std::function<void(std::uint64_t begin, std::uint64_t end)>;

// Calls body(begin, end) on disjoint ranges that cover [0, count) as the
// schedule cuts them; the calling thread runs the first range and takes
// further ones like the others. Returns when all are done. An exception
// thrown by a body stops the taking of ranges and is rethrown here (the
// first one). When no thread can be had, the calling thread runs every range.
void parallelFor(std::uint64_t count, const Schedule& schedule, const RangeBody& body);

// The even split: parallelFor(count, Schedule::even(minChunk), body).
void parallelFor(std::uint64_t count, std::uint64_t minChunk, const RangeBody& body);

// Runs background on a thread of its own while the calling thread runs
// foreground (which may wait for background's results); returns when both
// are done. When no thread can be had, background runs to its end first,
// then foreground, both on the calling thread. An exception from either is
// rethrown here once both are done (foreground's first).
void runBeside(const std::function<void()>& background, const std::function<void()>& foreground);

}  // namespace KPX
