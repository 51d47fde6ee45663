// Work split into contiguous ranges run on several threads, for the hot loops
// of the codec (products, colour conversion, arrangement). Every caller
// splits its work so that each result element is computed by one thread in
// the same order as on one thread: results never depend on the thread count.
#pragma once

#include <cstdint>
#include <functional>

namespace KPX {

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

// Calls body(begin, end) on disjoint ranges that cover [0, count), each at
// least minChunk long (except when count is smaller), on up to threadCount()
// threads; the calling thread runs the first range. Returns when all are
// done. An exception thrown by a body is rethrown here (the first one).
void parallelFor(std::uint64_t count, std::uint64_t minChunk,
                 const std::function<void(std::uint64_t, std::uint64_t)>& body);

}  // namespace KPX
