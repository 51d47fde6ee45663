#include "imageio/ordered_jobs.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "numeric/parallel.h"

namespace imageio {

unsigned batchThreads(unsigned jobs) { return jobs != 0 ? jobs : KPX::coreCount(); }

namespace {

std::size_t runOnCallingThread(std::size_t count, const OrderedJobs& jobs) {
  for (std::size_t i = 0; i < count; ++i) {
    if (!jobs.start(i)) return i;
    jobs.work(i);
    jobs.finish(i);
  }
  return count;
}

// The calling thread starts items and queues them; the workers take them in
// queue order. One mutex guards the queue and the counters. A queue and not
// the parallel loop of numeric/parallel.h: items must start and finish in
// index order, an item may have to wait for an earlier one's finish, and the
// starting must pause while N items are under way.
class Runner {
 public:
  Runner(std::size_t count, const OrderedJobs& jobs) : jobs_(jobs), done_(count, 0) {}

  std::size_t run(unsigned threads) {
    std::vector<std::thread> workers;
    workers.reserve(threads);
    for (unsigned t = 0; t < threads; ++t) workers.emplace_back([this] { workLoop(); });
    try {
      startAll(threads);
    } catch (...) {
      record(std::current_exception());
    }
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers) worker.join();
    if (error_) std::rethrow_exception(error_);
    return started_;
  }

 private:
  void startAll(unsigned threads) {
    const std::size_t count = done_.size();
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t after = jobs_.after ? jobs_.after(i) : count;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        wake_.wait(lock, [&] {
          return error_ || (busy_ < threads && (after >= count || finished_ > after));
        });
        if (error_) return;
      }
      if (!jobs_.start(i)) return;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(i);
        ++busy_;
        started_ = i + 1;
      }
      wake_.notify_all();
    }
  }

  void workLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !queue_.empty() || closing_; });
      if (queue_.empty()) return;
      const std::size_t i = queue_.front();
      queue_.pop_front();
      lock.unlock();
      call(jobs_.work, i);
      lock.lock();
      --busy_;
      done_[i] = 1;
      finishReady(lock);
      wake_.notify_all();
    }
  }

  // Finishes the items done so far in index order; one thread at a time does
  // it, and it also takes the items other threads complete meanwhile.
  void finishReady(std::unique_lock<std::mutex>& lock) {
    if (finishing_) return;
    finishing_ = true;
    while (finished_ < done_.size() && done_[finished_] != 0) {
      const std::size_t i = finished_;
      lock.unlock();
      call(jobs_.finish, i);
      lock.lock();
      ++finished_;
    }
    finishing_ = false;
  }

  void call(const std::function<void(std::size_t)>& step, std::size_t i) {
    try {
      step(i);
    } catch (...) {
      record(std::current_exception());
    }
  }

  void record(std::exception_ptr error) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!error_) error_ = error;
    }
    wake_.notify_all();
  }

  const OrderedJobs& jobs_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::size_t> queue_;
  std::vector<char> done_;    // work(i) has returned
  std::size_t finished_ = 0;  // finish ran for every item below this
  std::size_t started_ = 0;   // items handed to the workers
  unsigned busy_ = 0;         // items queued or being worked
  bool finishing_ = false;
  bool closing_ = false;
  std::exception_ptr error_;
};

}  // namespace

std::size_t runOrderedJobs(std::size_t count, unsigned jobs, const OrderedJobs& jobsToRun) {
  const unsigned threads = batchThreads(jobs);
  if (threads <= 1 || count <= 1) return runOnCallingThread(count, jobsToRun);
  Runner runner(count, jobsToRun);
  return runner.run(count < threads ? static_cast<unsigned>(count) : threads);
}

}  // namespace imageio
