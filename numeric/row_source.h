// The rows of a tall matrix handed over strip by strip, so that learning and
// the coefficient product need not hold the whole patch matrix of a large
// photograph (24 bytes per pixel) at once.
#pragma once

#include <cstdint>
#include <functional>

#include "numeric/matrix.h"

namespace KPX {

class RowSource {
 public:
  // Receives rows [first, first + count), row-major with cols() values each;
  // the pointer is valid during the call only.
  using StripFn = std::function<void(std::uint32_t first, std::uint32_t count, const double* rows)>;

  virtual ~RowSource() = default;
  virtual std::uint32_t rows() const = 0;
  virtual std::uint32_t cols() const = 0;
  // Calls f for consecutive strips covering every row once, in order. May
  // throw MatrixException when memory runs out.
  virtual void forEachStrip(const StripFn& f) const = 0;
  // A source that can form the Gram matrix of its rows (cols() x cols(),
  // both triangles) by other means, bit for bit the matrix accumulateGram and
  // mirrorUpperTriangle give over its strips, does so and returns true.
  virtual bool gramMatrix(Matrix<double>& /*gram*/) const { return false; }
};

// A matrix in memory: one strip, no copy.
class MatrixRows : public RowSource {
 public:
  explicit MatrixRows(const Matrix<double>& m) : m_(m) {}
  std::uint32_t rows() const override { return m_.rows(); }
  std::uint32_t cols() const override { return m_.cols(); }
  void forEachStrip(const StripFn& f) const override {
    if (m_.rows() > 0) f(0, m_.rows(), m_.data());
  }

 private:
  const Matrix<double>& m_;
};

}  // namespace KPX
