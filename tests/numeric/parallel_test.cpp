#include "numeric/parallel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric_helpers.h"

using KPX::Matrix;
using numeric_test::randomMatrix;
using numeric_test::ThreadScope;
using testing_support::expectBitEqual;

namespace {

struct Split {
  std::uint64_t count;
  std::uint64_t minChunk;
  std::uint32_t threads;
};

class ParallelForThreads : public ::testing::TestWithParam<Split> {};

TEST_P(ParallelForThreads, RangesCoverEveryIndexOnce) {
  const Split s = GetParam();
  ThreadScope scope(s.threads);
  std::vector<std::atomic<int>> seen(s.count);
  std::atomic<int> calls{0};
  KPX::parallelFor(s.count, s.minChunk, [&](std::uint64_t begin, std::uint64_t end) {
    ++calls;
    EXPECT_LT(begin, end);
    EXPECT_TRUE(end - begin >= s.minChunk || s.count < s.minChunk) << begin << ".." << end;
    for (std::uint64_t i = begin; i < end; ++i) ++seen[i];
  });
  for (std::uint64_t i = 0; i < s.count; ++i) ASSERT_EQ(seen[i].load(), 1) << i;
  EXPECT_LE(calls.load(), static_cast<int>(s.threads));
  EXPECT_EQ(calls.load() == 0, s.count == 0);
}

INSTANTIATE_TEST_SUITE_P(Splits, ParallelForThreads,
                         ::testing::Values(Split{0, 1, 2}, Split{1, 1, 4}, Split{7, 1, 3},
                                           Split{100, 30, 8}, Split{100, 200, 2},
                                           Split{1000, 1, 2}));

TEST(ParallelForThreads, AnExceptionReachesTheCaller) {
  ThreadScope scope(2);
  EXPECT_THROW(KPX::parallelFor(10, 1,
                                [](std::uint64_t begin, std::uint64_t) {
                                  if (begin > 0) throw std::runtime_error("worker");
                                }),
               std::runtime_error);
}

TEST(ParallelForThreads, ALimitCapsOnlyTheLoopsOfItsOwnThread) {
  ThreadScope scope(4);
  const auto parts = [] {
    std::atomic<int> calls{0};
    KPX::parallelFor(1000, 1, [&](std::uint64_t, std::uint64_t) { ++calls; });
    return calls.load();
  };
  {
    const KPX::ThreadLimit one(1);
    EXPECT_EQ(KPX::threadCount(), 1u);
    EXPECT_EQ(parts(), 1);
    {
      const KPX::ThreadLimit three(3);
      EXPECT_EQ(parts(), 3);
    }
    EXPECT_EQ(parts(), 1);
    int other = 0;
    std::thread([&] { other = parts(); }).join();
    EXPECT_EQ(other, 4);
    const KPX::ThreadLimit wider(8);  // a cap never adds threads
    EXPECT_EQ(KPX::threadCount(), 4u);
  }
  EXPECT_EQ(parts(), 4);
}

struct Dynamic {
  std::uint64_t count;
  std::uint64_t grain;
  std::uint32_t threads;
};

class DynamicParallelForThreads : public ::testing::TestWithParam<Dynamic> {};

// Ranges of grain items (the last one shorter), every index once, on at
// most `threads` threads, the first range on the calling thread.
TEST_P(DynamicParallelForThreads, GrainRangesCoverEveryIndexOnce) {
  const Dynamic d = GetParam();
  ThreadScope scope(1);  // an explicit count is not the process-wide one
  std::vector<std::atomic<int>> seen(d.count);
  std::mutex lock;
  std::set<std::thread::id> threads;
  std::thread::id firstRange;
  KPX::parallelFor(d.count, KPX::Schedule::dynamic(d.threads, d.grain),
                   [&](std::uint64_t begin, std::uint64_t end) {
                     EXPECT_EQ(begin % d.grain, 0u) << begin;
                     EXPECT_EQ(end, std::min(begin + d.grain, d.count)) << begin;
                     for (std::uint64_t i = begin; i < end; ++i) ++seen[i];
                     const std::lock_guard<std::mutex> hold(lock);
                     threads.insert(std::this_thread::get_id());
                     if (begin == 0) firstRange = std::this_thread::get_id();
                   });
  for (std::uint64_t i = 0; i < d.count; ++i) ASSERT_EQ(seen[i].load(), 1) << i;
  EXPECT_LE(threads.size(), std::max<std::size_t>(1, d.threads));
  if (d.count > 0) {
    EXPECT_EQ(firstRange, std::this_thread::get_id());
  }
}

INSTANTIATE_TEST_SUITE_P(Grains, DynamicParallelForThreads,
                         ::testing::Values(Dynamic{0, 1, 4}, Dynamic{1, 1, 4}, Dynamic{10, 3, 0},
                                           Dynamic{10, 3, 1}, Dynamic{100, 1, 3},
                                           Dynamic{1000, 64, 2}, Dynamic{7, 100, 5}));

// Once the flag is set no range starts: on one thread exactly the ranges
// before it ran; on several, none starts after the loop saw it.
TEST(DynamicParallelForThreads, AStopFlagEndsTheLoopEarly) {
  for (std::uint32_t threads : {1u, 3u}) {
    std::atomic<bool> stop{false};
    std::atomic<int> ranges{0};
    KPX::parallelFor(200, KPX::Schedule::dynamic(threads, 1).until(&stop),
                     [&](std::uint64_t begin, std::uint64_t) {
                       ++ranges;
                       if (begin == 0) stop = true;
                       std::this_thread::sleep_for(std::chrono::milliseconds(1));
                     });
    if (threads == 1) {
      EXPECT_EQ(ranges.load(), 1);
    }
    EXPECT_LT(ranges.load(), 20) << threads << " threads";
    std::atomic<int> afterStop{0};
    KPX::parallelFor(10, KPX::Schedule::dynamic(threads, 1).until(&stop),
                     [&](std::uint64_t, std::uint64_t) { ++afterStop; });
    EXPECT_EQ(afterStop.load(), 0);
  }
}

TEST(DynamicParallelForThreads, AnExceptionStopsTheTakingAndReachesTheCaller) {
  std::atomic<int> ranges{0};
  EXPECT_THROW(KPX::parallelFor(1000, KPX::Schedule::dynamic(1, 1),
                                [&](std::uint64_t begin, std::uint64_t) {
                                  ++ranges;
                                  if (begin == 4) throw std::runtime_error("item 4");
                                }),
               std::runtime_error);
  EXPECT_EQ(ranges.load(), 5);
}

TEST(ThreadCount, DefaultsToOnePerCore) {
  ThreadScope scope(0);
  EXPECT_GE(KPX::coreCount(), 1u);
  EXPECT_EQ(KPX::threadCount(), KPX::coreCount());
  EXPECT_EQ(KPX::coreCount(), std::max(1u, std::thread::hardware_concurrency()));
}

// The background task runs beside the caller's: the foreground can wait for
// what it makes. Exceptions come back, the foreground's first.
TEST(RunBesideThreads, BackgroundRunsWhileTheForegroundWaitsForIt) {
  std::mutex lock;
  std::condition_variable made;
  bool ready = false;
  std::thread::id background;
  KPX::runBeside(
      [&] {
        const std::lock_guard<std::mutex> hold(lock);
        background = std::this_thread::get_id();
        ready = true;
        made.notify_one();
      },
      [&] {
        std::unique_lock<std::mutex> hold(lock);
        made.wait(hold, [&] { return ready; });
      });
  EXPECT_TRUE(ready);
  EXPECT_NE(background, std::this_thread::get_id());
}

TEST(RunBesideThreads, ExceptionsReachTheCallerOnceBothAreDone) {
  std::atomic<bool> foregroundDone{false};
  EXPECT_THROW(KPX::runBeside([] { throw std::runtime_error("background"); },
                              [&] { foregroundDone = true; }),
               std::runtime_error);
  EXPECT_TRUE(foregroundDone.load());
  try {
    KPX::runBeside([] { throw std::runtime_error("background"); },
                   [] { throw std::logic_error("foreground"); });
    ADD_FAILURE() << "no exception";
  } catch (const std::logic_error& e) {
    EXPECT_STREQ(e.what(), "foreground");
  }
}

TEST(ProductThreads, EveryThreadCountGivesTheSameBits) {
  // Large enough to be split: the rows of the result go to different threads.
  const Matrix<double> a = randomMatrix(403, 193, 21);
  const Matrix<double> b = randomMatrix(193, 96, 22);
  const Matrix<double> t = randomMatrix(403, 96, 23);
  Matrix<double> one;
  Matrix<double> oneAtB;
  Matrix<double> oneABt;
  {
    ThreadScope scope(1);
    one = KPX::multiply(a, b);
    oneAtB = KPX::multiplyAtB(a, t);
    oneABt = KPX::multiplyABt(t, b);
  }
  for (std::uint32_t threads : {2u, 3u, 5u}) {
    ThreadScope scope(threads);
    expectBitEqual(one, KPX::multiply(a, b));
    expectBitEqual(oneAtB, KPX::multiplyAtB(a, t));
    expectBitEqual(oneABt, KPX::multiplyABt(t, b));
  }
}

TEST(ProductThreads, GramMatrixEqualsTheFullProduct) {
  for (std::uint32_t threads : {1u, 2u}) {
    ThreadScope scope(threads);
    for (std::uint32_t cols : {1u, 5u, 48u, 97u, 192u}) {
      const Matrix<double> a = randomMatrix(301, cols, cols);
      expectBitEqual(KPX::multiplyAtB(a, a), KPX::multiplyAtA(a));
    }
  }
}

// The Gram matrix built strip by strip (chains continued across calls) is
// bit for bit a^T a, for shapes that leave partial tiles and panels, and for
// thread counts that split the triangle unevenly.
TEST(ProductThreads, GramInStripsEqualsTheFullProduct) {
  struct Case {
    std::uint32_t rows, cols, strip;
  };
  for (const Case& c : {Case{700, 192, 300}, Case{513, 37, 256}, Case{40, 13, 7}, Case{9, 6, 9}}) {
    const Matrix<double> a = randomMatrix(c.rows, c.cols, c.cols + c.rows);
    const Matrix<double> expected = KPX::multiplyAtB(a, a);
    for (std::uint32_t threads : {1u, 2u, 3u}) {
      ThreadScope scope(threads);
      Matrix<double> gram(c.cols, c.cols);
      for (std::uint32_t first = 0; first < c.rows; first += c.strip) {
        const std::uint32_t count = std::min(c.strip, c.rows - first);
        KPX::accumulateGram(a[first], count, c.cols, gram, first > 0);
      }
      KPX::mirrorUpperTriangle(gram);
      expectBitEqual(expected, gram);
    }
  }
}

// a^T b built strip by strip is bit for bit multiplyAtB over the whole
// matrices, whatever the strips and the thread count.
TEST(ProductThreads, AtBInStripsEqualsTheFullProduct) {
  struct Case {
    std::uint32_t rows, m, p, strip;
  };
  for (const Case& c : {Case{700, 96, 96, 256}, Case{301, 13, 37, 100}, Case{20, 7, 5, 3}}) {
    const Matrix<double> a = randomMatrix(c.rows, c.m, c.m + 3 * c.rows);
    const Matrix<double> b = randomMatrix(c.rows, c.p, c.p + 5 * c.rows);
    const Matrix<double> expected = KPX::multiplyAtB(a, b);
    for (std::uint32_t threads : {1u, 2u, 3u}) {
      ThreadScope scope(threads);
      Matrix<double> product(c.m, c.p);
      for (std::uint32_t first = 0; first < c.rows; first += c.strip) {
        const std::uint32_t count = std::min(c.strip, c.rows - first);
        KPX::accumulateAtB(a[first], c.m, count, b[first], c.p, product, first > 0);
      }
      expectBitEqual(expected, product);
    }
  }
}

TEST(ProductThreads, StripEqualsTheSameRowsOfTheProduct) {
  const Matrix<double> a = randomMatrix(50, 96, 31);
  const Matrix<double> b = randomMatrix(96, 192, 32);
  const Matrix<double> full = KPX::multiply(a, b);
  std::vector<double> strip(13 * 192);
  KPX::multiplyStrip(a[20], a.cols(), 13, b, strip.data());
  for (std::uint32_t r = 0; r < 13; ++r) {
    for (std::uint32_t c = 0; c < 192; ++c) ASSERT_EQ(strip[r * 192 + c], full[20 + r][c]);
  }
}

}  // namespace
