// A small work queue for batches whose results must read as if the items
// were done one after the other: items start in index order on the calling
// thread, run on up to N threads, and are finished in index order.
#pragma once

#include <cstddef>
#include <functional>

namespace imageio {

// The number of items a batch works on at once: jobs, or one per core when
// jobs is 0.
unsigned batchThreads(unsigned jobs);

struct OrderedJobs {
  // On the calling thread, in index order, just before item i is handed to a
  // worker; false stops the batch (item i and the rest do not run).
  std::function<bool(std::size_t i)> start;
  // On a worker thread; with one job, or one item, every callback runs on
  // the calling thread.
  std::function<void(std::size_t i)> work;
  // After work(i), in index order, one at a time, on any of the threads.
  std::function<void(std::size_t i)> finish;
  // The earlier item whose finish must have run before item i starts, or
  // count when there is none.
  std::function<std::size_t(std::size_t i)> after;
};

// Runs items 0..count-1 with at most `jobs` of them (0: one per core) between
// start and the end of their work at any time. Returns the number of items
// started; every started item is worked and finished before it returns. An
// exception thrown by a callback stops the starting of items and is thrown
// again here once the running ones are done.
std::size_t runOrderedJobs(std::size_t count, unsigned jobs, const OrderedJobs& jobsToRun);

}  // namespace imageio
