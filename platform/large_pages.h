// Memory for large buffers (whole images, coefficient matrices) in the
// system's large pages where it offers them on request: a buffer of many
// megabytes is then touched in a few hundred faults instead of thousands,
// which on a full-size photograph is a good part of a conversion's time.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace platform {

// Like malloc, but large requests are aligned and marked for large pages.
// Null when memory runs out.
void* allocateLarge(std::size_t bytes);
void freeLarge(void* p);

// Keeps freed buffers of up to 32 MB in the process's heap for the next
// request instead of handing them back to the system: a program that cuts
// an image in strips then allocates each buffer's pages once, not once per
// use (on a virtual machine each first touch of a page is a costly fault).
// For short-lived processes; returns false where the heap refuses.
bool keepFreedMemory();

// A standard allocator on allocateLarge, for containers of large buffers.
template <class T>
struct LargePageAllocator {
  using value_type = T;
  LargePageAllocator() = default;
  template <class U>
  explicit LargePageAllocator(const LargePageAllocator<U>&) {}
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
    void* p = allocateLarge(n * sizeof(T));
    if (p == nullptr) throw std::bad_alloc();
    return static_cast<T*>(p);
  }
  void deallocate(T* p, std::size_t) { freeLarge(p); }
  friend bool operator==(const LargePageAllocator&, const LargePageAllocator&) { return true; }
  friend bool operator!=(const LargePageAllocator&, const LargePageAllocator&) { return false; }
};

// The same memory, but elements a container adds without a value (resize)
// are left unset instead of zeroed: for buffers that a reader fills whole,
// where zeroing would be a wasted pass over many megabytes. Elements added
// with a value (assign(n, 0)) get it as usual.
template <class T>
struct UnfilledLargePageAllocator : LargePageAllocator<T> {
  template <class U>
  struct rebind {
    using other = UnfilledLargePageAllocator<U>;
  };
  UnfilledLargePageAllocator() = default;
  template <class U>
  explicit UnfilledLargePageAllocator(const UnfilledLargePageAllocator<U>&) {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

}  // namespace platform
