#include "numeric/parallel.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace KPX {
namespace {

std::atomic<std::uint32_t>& configured() {
  static std::atomic<std::uint32_t> threads{0};
  return threads;
}

thread_local std::uint32_t threadLimit = 0;

// The first exception thrown on any thread of one call.
class FirstFailure {
 public:
  void record() {
    const std::lock_guard<std::mutex> hold(lock_);
    if (!failure_) failure_ = std::current_exception();
    failed_.store(true, std::memory_order_relaxed);
  }
  bool failed() const { return failed_.load(std::memory_order_relaxed); }
  void rethrow() const {
    if (failure_) std::rethrow_exception(failure_);
  }

 private:
  std::mutex lock_;
  std::exception_ptr failure_;
  std::atomic<bool> failed_{false};
};

// Threads started for one call, joined when the call ends, also when it
// ends by an exception. Fewer start when the system has none to give.
class Helpers {
 public:
  Helpers(std::uint64_t count, const std::function<void()>& run) {
    threads_.reserve(static_cast<std::size_t>(count));
    try {
      for (std::uint64_t t = 0; t < count; ++t) threads_.emplace_back(run);
    } catch (const std::system_error&) {
      // Fewer threads, same results: the others take what these would have.
    }
  }
  ~Helpers() {
    for (std::thread& t : threads_) t.join();
  }
  Helpers(const Helpers&) = delete;
  Helpers& operator=(const Helpers&) = delete;
  std::size_t started() const { return threads_.size(); }

 private:
  std::vector<std::thread> threads_;
};

}  // namespace

std::uint32_t coreCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1u : cores;
}

ThreadLimit::ThreadLimit(std::uint32_t threads) : previous_(threadLimit) { threadLimit = threads; }

ThreadLimit::~ThreadLimit() { threadLimit = previous_; }

void setThreadCount(std::uint32_t threads) { configured().store(threads); }

std::uint32_t threadCount() {
  std::uint32_t threads = configured().load();
  if (threads == 0) threads = coreCount();
  return threadLimit != 0 ? std::min(threads, threadLimit) : threads;
}

Schedule Schedule::even(std::uint64_t minChunk) {
  Schedule s;
  s.minChunk = minChunk;
  return s;
}

Schedule Schedule::dynamic(std::uint32_t threads, std::uint64_t grain) {
  Schedule s;
  s.grain = std::max<std::uint64_t>(1, grain);
  s.threads = std::max<std::uint32_t>(1, threads);
  return s;
}

Schedule& Schedule::until(const std::atomic<bool>* flag) {
  stop = flag;
  return *this;
}

void parallelFor(std::uint64_t count, const Schedule& schedule, const RangeBody& body) {
  if (count == 0) return;
  const std::uint64_t threads = schedule.threads != 0 ? schedule.threads : threadCount();
  const std::uint64_t grain = schedule.grain;
  std::uint64_t ranges = 0;
  if (grain == 0) {
    const std::uint64_t byWork = count / std::max<std::uint64_t>(1, schedule.minChunk);
    ranges = std::min(threads, std::max<std::uint64_t>(1, byWork));
  } else {
    ranges = (count - 1) / grain + 1;
  }
  const auto bound = [&](std::uint64_t r) {
    return grain == 0 ? count * r / ranges : std::min(count, r * grain);
  };

  FirstFailure failure;
  const auto stopped = [&] {
    return failure.failed() ||
           (schedule.stop != nullptr && schedule.stop->load(std::memory_order_relaxed));
  };
  const auto run = [&](std::uint64_t r) {
    try {
      body(bound(r), bound(r + 1));
    } catch (...) {
      failure.record();
    }
  };
  std::atomic<std::uint64_t> next{1};
  const std::function<void()> takeRanges = [&] {
    while (!stopped()) {
      const std::uint64_t r = next.fetch_add(1, std::memory_order_relaxed);
      if (r >= ranges) return;
      run(r);
    }
  };
  {
    const Helpers helpers(std::min(threads, ranges) - 1, takeRanges);
    if (!stopped()) run(0);
    takeRanges();
  }
  failure.rethrow();
}

void parallelFor(std::uint64_t count, std::uint64_t minChunk, const RangeBody& body) {
  parallelFor(count, Schedule::even(minChunk), body);
}

void runBeside(const std::function<void()>& background, const std::function<void()>& foreground) {
  FirstFailure inBackground;
  FirstFailure inForeground;
  const std::function<void()> runBackground = [&] {
    try {
      background();
    } catch (...) {
      inBackground.record();
    }
  };
  {
    const Helpers helper(1, runBackground);
    if (helper.started() == 0) runBackground();
    try {
      foreground();
    } catch (...) {
      inForeground.record();
    }
  }
  inForeground.rethrow();
  inBackground.rethrow();
}

}  // namespace KPX
