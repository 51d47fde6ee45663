#include "platform/large_pages.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdlib>

namespace platform {
namespace {

// The large page of x86-64; below a few of them the saving is not worth the
// rounding.
constexpr std::size_t kLargePage = std::size_t{2} << 20;
constexpr std::size_t kThreshold = 2 * kLargePage;

}  // namespace

void* allocateLarge(std::size_t bytes) {
  if (bytes < kThreshold) return std::malloc(bytes == 0 ? 1 : bytes);
  const std::size_t rounded = (bytes + kLargePage - 1) / kLargePage * kLargePage;
  if (rounded < bytes) return nullptr;
  void* p = std::aligned_alloc(kLargePage, rounded);
  // Only a request: where the system declines, the memory is used as it is.
  if (p != nullptr) ::madvise(p, rounded, MADV_HUGEPAGE);
  return p;
}

void freeLarge(void* p) { std::free(p); }

bool keepFreedMemory() {
  // 32 MB is the largest threshold the heap accepts for mapping a request
  // on its own; the top of the heap is never trimmed.
  constexpr int kMappedFrom = 32 << 20;
  constexpr int kNeverTrim = 1 << 30;
  return ::mallopt(M_MMAP_THRESHOLD, kMappedFrom) == 1 &&
         ::mallopt(M_TRIM_THRESHOLD, kNeverTrim) == 1;
}

}  // namespace platform
