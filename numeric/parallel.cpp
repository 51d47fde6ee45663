#include "numeric/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace KPX {
namespace {

std::atomic<std::uint32_t>& configured() {
  static std::atomic<std::uint32_t> threads{0};
  return threads;
}

thread_local std::uint32_t threadLimit = 0;

}  // namespace

ThreadLimit::ThreadLimit(std::uint32_t threads) : previous_(threadLimit) { threadLimit = threads; }

ThreadLimit::~ThreadLimit() { threadLimit = previous_; }

void setThreadCount(std::uint32_t threads) { configured().store(threads); }

std::uint32_t threadCount() {
  std::uint32_t threads = configured().load();
  if (threads == 0) {
    const unsigned cores = std::thread::hardware_concurrency();
    threads = cores == 0 ? 1u : cores;
  }
  return threadLimit != 0 ? std::min(threads, threadLimit) : threads;
}

void parallelFor(std::uint64_t count, std::uint64_t minChunk,
                 const std::function<void(std::uint64_t, std::uint64_t)>& body) {
  if (count == 0) return;
  if (minChunk == 0) minChunk = 1;
  const std::uint64_t byWork = std::max<std::uint64_t>(1, count / minChunk);
  const std::uint64_t parts = std::min<std::uint64_t>(threadCount(), byWork);
  if (parts <= 1) {
    body(0, count);
    return;
  }
  const auto bound = [&](std::uint64_t part) { return count * part / parts; };

  std::exception_ptr failure;
  std::mutex failureLock;
  const auto run = [&](std::uint64_t part) {
    try {
      body(bound(part), bound(part + 1));
    } catch (...) {
      const std::lock_guard<std::mutex> hold(failureLock);
      if (!failure) failure = std::current_exception();
    }
  };
  std::vector<std::thread> workers;
  workers.reserve(static_cast<std::size_t>(parts - 1));
  try {
    for (std::uint64_t part = 1; part < parts; ++part) workers.emplace_back(run, part);
  } catch (...) {
    // No thread to be had: what did not start runs here.
    for (std::uint64_t part = workers.size() + 1; part < parts; ++part) run(part);
  }
  run(0);
  for (std::thread& worker : workers) worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace KPX
