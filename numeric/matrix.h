// Dense row-major containers of the numeric core.
//
// Matrices and vectors own their elements. Results of operations are returned
// by value and moved into their destination, so a chain of products assigned
// to a named matrix allocates each buffer once; a named source is copied.
// Newly allocated elements are not initialised: producers that need zeros call
// fill(). Nothing checks indices or operand shapes; callers respect them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/large_pages.h"

namespace KPX {

// Thrown by value. Only two texts are ever thrown: "too few memory" and
// "devided by 0" (plus "read error" for a short bases file, see the codec).
struct MatrixException {
  const char* message;
};

inline constexpr const char* kTooFewMemory = "too few memory";
inline constexpr const char* kDividedByZero = "devided by 0";

namespace detail {

// Elements live in memory from platform::allocateLarge (large pages for
// large buffers); they are plain numbers, never constructed or destroyed.
struct FreeLarge {
  void operator()(void* p) const { platform::freeLarge(p); }
};
template <class T>
using Buffer = std::unique_ptr<T[], FreeLarge>;

// A buffer whose byte size does not fit in 32 bits is refused like a failed
// allocation: this keeps every size and offset of the codec in 32 bits.
template <class T>
Buffer<T> allocate(std::uint64_t count) {
  static_assert(std::is_trivially_default_constructible_v<T> &&
                std::is_trivially_destructible_v<T>);
  if (count == 0) return nullptr;
  if (count > (UINT64_C(0xFFFFFFFF) / sizeof(T))) throw MatrixException{kTooFewMemory};
  T* p = static_cast<T*>(platform::allocateLarge(static_cast<std::size_t>(count) * sizeof(T)));
  if (p == nullptr) throw MatrixException{kTooFewMemory};
  return Buffer<T>(p);
}

}  // namespace detail

template <class T>
class Vector {
 public:
  Vector() = default;
  explicit Vector(std::uint32_t count) : data_(detail::allocate<T>(count)), count_(count) {}

  Vector(const Vector& other) : data_(detail::allocate<T>(other.count_)), count_(other.count_) {
    copyElements(other);
  }
  Vector(Vector&& other) noexcept
      : data_(std::move(other.data_)), count_(std::exchange(other.count_, 0)) {}

  Vector& operator=(const Vector& other) {
    if (this == &other) return *this;
    data_.reset();
    count_ = 0;
    data_ = detail::allocate<T>(other.count_);
    count_ = other.count_;
    copyElements(other);
    return *this;
  }
  Vector& operator=(Vector&& other) noexcept {
    if (this == &other) return *this;
    data_ = std::move(other.data_);
    count_ = std::exchange(other.count_, 0);
    return *this;
  }

  // Old contents are not kept.
  void resize(std::uint32_t count) {
    data_.reset();
    count_ = 0;
    data_ = detail::allocate<T>(count);
    count_ = count;
  }

  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  std::uint32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }

  T& operator[](std::uint32_t i) { return data_[i]; }
  const T& operator[](std::uint32_t i) const { return data_[i]; }

 private:
  void copyElements(const Vector& other) {
    for (std::uint32_t i = 0; i < count_; ++i) data_[i] = other.data_[i];
  }

  detail::Buffer<T> data_;
  std::uint32_t count_ = 0;
};

template <class T>
class Matrix {
 public:
  // 0 x 0, no storage, with row views.
  Matrix() = default;
  Matrix(std::uint32_t rows, std::uint32_t cols, bool hasRowViews = true)
      : hasRowViews_(hasRowViews) {
    allocateShape(rows, cols);
  }

  Matrix(const Matrix& other) : hasRowViews_(other.hasRowViews_) {
    allocateShape(other.rows_, other.cols_);
    copyElements(other);
  }
  Matrix(Matrix&& other) noexcept
      : data_(std::move(other.data_)),
        rows_(other.rows_),
        cols_(other.cols_),
        count_(std::exchange(other.count_, 0)),
        hasRowViews_(other.hasRowViews_) {}

  // Assignment keeps the target's own hasRowViews setting.
  Matrix& operator=(const Matrix& other) {
    if (this == &other) return *this;
    release();
    allocateShape(other.rows_, other.cols_);
    copyElements(other);
    return *this;
  }
  // A moved-from matrix keeps its rows and cols but owns nothing (count 0).
  Matrix& operator=(Matrix&& other) noexcept {
    if (this == &other) return *this;
    data_ = std::move(other.data_);
    rows_ = other.rows_;
    cols_ = other.cols_;
    count_ = std::exchange(other.count_, 0);
    return *this;
  }

  ~Matrix() = default;

  // Old contents are discarded, also when the shape does not change.
  void resize(std::uint32_t rows, std::uint32_t cols) {
    release();
    allocateShape(rows, cols);
  }

  T* data() { return data_.get(); }
  const T* data() const { return data_.get(); }
  std::uint32_t rows() const { return rows_; }
  std::uint32_t cols() const { return cols_; }
  std::uint32_t count() const { return count_; }
  bool empty() const { return count_ == 0; }
  bool hasRowViews() const { return hasRowViews_; }
  void setHasRowViews(bool value) { hasRowViews_ = value; }

  // Row access: m[i][j] is element (i, j).
  T* operator[](std::uint32_t i) { return data_.get() + static_cast<std::size_t>(i) * cols_; }
  const T* operator[](std::uint32_t i) const {
    return data_.get() + static_cast<std::size_t>(i) * cols_;
  }

 private:
  void release() {
    data_.reset();
    count_ = 0;
  }
  void allocateShape(std::uint32_t rows, std::uint32_t cols) {
    data_ = detail::allocate<T>(static_cast<std::uint64_t>(rows) * cols);
    rows_ = rows;
    cols_ = cols;
    count_ = rows * cols;
  }
  void copyElements(const Matrix& other) {
    for (std::uint32_t k = 0; k < count_; ++k) data_[k] = other.data_[k];
  }

  detail::Buffer<T> data_;
  std::uint32_t rows_ = 0;
  std::uint32_t cols_ = 0;
  std::uint32_t count_ = 0;
  bool hasRowViews_ = true;
};

// Sets count elements of buffer to value.
template <class T>
void fill(T* buffer, T value, std::uint32_t count) {
  for (std::uint32_t k = 0; k < count; ++k) buffer[k] = value;
}
template <class T>
void fill(Matrix<T>& m, T value) {
  fill(m.data(), value, m.count());
}
template <class T>
void fill(Vector<T>& v, T value) {
  fill(v.data(), value, v.count());
}

}  // namespace KPX
