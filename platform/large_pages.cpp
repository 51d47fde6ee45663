#include "platform/large_pages.h"

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

}  // namespace platform
