// Large buffers come in large pages where the system grants them on request;
// small ones are plain allocations.
#include "platform/large_pages.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kLargePage = std::size_t{2} << 20;

[[maybe_unused]] std::string readAll(const char* path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Kilobytes of large pages behind the mapping that holds p (its AnonHugePages line in
// /proc/self/smaps).
[[maybe_unused]] long largePageKilobytesAt(const void* p) {
  std::istringstream smaps(readAll("/proc/self/smaps"));
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  bool inside = false;
  for (std::string line; std::getline(smaps, line);) {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    char dash = 0;
    std::istringstream range(line);
    if (range >> std::hex >> begin >> dash >> end && dash == '-') {
      inside = at >= begin && at < end;
    } else if (inside && line.rfind("AnonHugePages:", 0) == 0) {
      return std::stol(line.substr(14));
    }
  }
  return -1;
}

TEST(LargePages, LargeBuffersAreAlignedAndGrantedWherePagesAreOnRequest) {
  const std::size_t bytes = 5 * kLargePage + 12345;
  auto* p = static_cast<std::uint8_t*>(platform::allocateLarge(bytes));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(p) % kLargePage, 0u);
  std::memset(p, 0x5A, bytes);
  EXPECT_EQ(p[bytes - 1], 0x5A);
  // Sanitizer builds hand out memory from their own allocator, touched before.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  const std::string policy = readAll("/sys/kernel/mm/transparent_hugepage/enabled");
  if (policy.find("[madvise]") != std::string::npos ||
      policy.find("[always]") != std::string::npos) {
    EXPECT_GT(largePageKilobytesAt(p), 0) << "the request for large pages was not made";
  }
#endif
  platform::freeLarge(p);
}

TEST(LargePages, SmallBuffersAndContainersWork) {
  for (std::size_t bytes : {std::size_t{0}, std::size_t{1}, std::size_t{4096}, kLargePage}) {
    void* p = platform::allocateLarge(bytes);
    EXPECT_NE(p, nullptr) << bytes;
    platform::freeLarge(p);
  }
  std::vector<double, platform::LargePageAllocator<double>> values(3 * kLargePage / sizeof(double),
                                                                   1.5);
  values.resize(values.size() + 7, 2.5);
  EXPECT_EQ(values.front(), 1.5);
  EXPECT_EQ(values.back(), 2.5);
}

// A freed buffer of a few megabytes stays in the heap for the next request
// rather than going back to the system.
TEST(LargePages, FreedBuffersStayInTheHeap) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "sanitizers keep their own heap";
#else
  ASSERT_TRUE(platform::keepFreedMemory());
  const std::size_t bytes = std::size_t{6} << 20;
  void* p = std::malloc(bytes);
  ASSERT_NE(p, nullptr);
  std::memset(p, 1, bytes);
  const std::size_t freeBefore = ::mallinfo2().fordblks;
  std::free(p);
  EXPECT_GE(::mallinfo2().fordblks, freeBefore + bytes);
#endif
}

}  // namespace
