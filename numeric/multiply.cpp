#include "numeric/multiply.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/parallel.h"
#include "numeric/product_kernels.h"

namespace KPX {
namespace {

using product::KernelSet;

// Cache blocking. A block of b (kKc inner steps x up to kNc columns, at most
// 512 KiB) is packed once and stays in the second-level cache while every
// row tile of a runs over it; one row tile of a (at most 8 x kKc) stays in the
// first-level cache while it meets every packed panel.
constexpr std::uint32_t kKc = 256;
constexpr std::uint32_t kNc = 256;

// One operand as the product sees it: element (i, k) of op(x) is
// data[i * ld + k], or data[k * ld + i] when transposed.
struct Operand {
  const double* data;
  std::size_t ld;
  bool transposed;

  double at(std::size_t i, std::size_t k) const {
    return transposed ? data[k * ld + i] : data[i * ld + k];
  }
};

// Scratch aligned for the kernels' vector loads; a failed allocation is the
// library's "too few memory".
class AlignedBuffer {
 public:
  explicit AlignedBuffer(std::size_t count) {
    if (count == 0) return;
    data_ = static_cast<double*>(
        ::operator new[](count * sizeof(double), std::align_val_t{64}, std::nothrow));
    if (data_ == nullptr) throw MatrixException{kTooFewMemory};
  }
  ~AlignedBuffer() {
    if (data_ != nullptr) ::operator delete[](data_, std::align_val_t{64});
  }
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  double* get() const { return data_; }

 private:
  double* data_ = nullptr;
};

// Packs op(b)(pc .. pc+kc, jc .. jc+nc) into panels of nr columns: panel j
// holds b(pc + k, jc + j*nr + c) at [j*kc*nr + k*nr + c]; columns past nc are
// zero so that the kernels never read uninitialised values.
void packRight(const Operand& b, std::size_t pc, std::uint32_t kc, std::size_t jc, std::uint32_t nc,
               std::uint32_t nr, double* packed) {
  for (std::uint32_t j0 = 0; j0 < nc; j0 += nr) {
    const std::uint32_t width = std::min(nr, nc - j0);
    double* panel = packed + static_cast<std::size_t>(j0) * kc;
    for (std::uint32_t k = 0; k < kc; ++k) {
      double* dst = panel + static_cast<std::size_t>(k) * nr;
      if (!b.transposed) {
        const double* src = b.data + (pc + k) * b.ld + jc + j0;
        std::memcpy(dst, src, width * sizeof(double));
      } else {
        for (std::uint32_t c = 0; c < width; ++c) dst[c] = b.at(pc + k, jc + j0 + c);
      }
      for (std::uint32_t c = width; c < nr; ++c) dst[c] = 0.0;
    }
  }
}

// One mr x nr tile of the target: straight into it when whole, through a
// full-size buffer when the tile sticks out past the target's rows or columns.
void runTile(product::KernelFn kernel, std::uint32_t kc, const double* left, std::size_t lda,
             const double* panel, double* target, std::size_t ld, std::uint32_t mr,
             std::uint32_t nr, std::uint32_t rows, std::uint32_t cols, bool accumulate,
             double* tile) {
  if (rows == mr && cols == nr) {
    kernel(kc, left, lda, panel, target, ld, accumulate);
    return;
  }
  for (std::uint32_t r = 0; r < mr; ++r) {
    for (std::uint32_t q = 0; q < nr; ++q) {
      tile[r * nr + q] = accumulate && r < rows && q < cols ? target[r * ld + q] : 0.0;
    }
  }
  kernel(kc, left, lda, panel, tile, nr, accumulate);
  for (std::uint32_t r = 0; r < rows; ++r) {
    std::memcpy(target + static_cast<std::size_t>(r) * ld, tile + r * nr, cols * sizeof(double));
  }
}

// c (m x p, row stride ldc) = op(a) (m x n) * op(b) (n x p).
void multiplyBlocks(const KernelSet& kernels, const Operand& a, const Operand& b, std::uint32_t m,
                    std::uint32_t n, std::uint32_t p, double* c, std::size_t ldc,
                    bool continueChains = false) {
  if (m == 0 || p == 0) return;
  if (n == 0) {
    if (continueChains) return;
    for (std::uint32_t r = 0; r < m; ++r) fill(c + r * ldc, 0.0, p);
    return;
  }
  const std::uint32_t mr = kernels.mr;
  const std::uint32_t nr = kernels.nr;
  const std::uint32_t ncMax = std::max(nr, kNc / nr * nr);
  const std::uint32_t kcMax = std::min(kKc, n);
  const std::uint32_t widest = std::min(ncMax, (p + nr - 1) / nr * nr);
  AlignedBuffer packed(static_cast<std::size_t>(kcMax) * widest);
  AlignedBuffer edgeRows(static_cast<std::size_t>(mr) * kcMax);
  alignas(64) double tile[product::kMaxTileElements];

  for (std::uint32_t jc = 0; jc < p; jc += ncMax) {
    const std::uint32_t nc = std::min(ncMax, p - jc);
    for (std::uint32_t pc = 0; pc < n; pc += kcMax) {
      const std::uint32_t kc = std::min(kcMax, n - pc);
      // Later inner blocks continue each element's chain from what is in c.
      const bool accumulate = continueChains || pc > 0;
      packRight(b, pc, kc, jc, nc, nr, packed.get());

      for (std::uint32_t ir = 0; ir < m; ir += mr) {
        const std::uint32_t rows = std::min(mr, m - ir);
        const double* left;
        std::size_t lda;
        product::KernelFn kernel;
        if (rows == mr) {
          left = a.transposed ? a.data + pc * a.ld + ir : a.data + ir * a.ld + pc;
          lda = a.ld;
          kernel = a.transposed ? kernels.transposedA : kernels.rowMajorA;
        } else {
          // The last rows, padded with zero rows to a full tile.
          double* e = edgeRows.get();
          for (std::uint32_t r = 0; r < mr; ++r) {
            for (std::uint32_t k = 0; k < kc; ++k) {
              e[r * kc + k] = r < rows ? a.at(ir + r, pc + k) : 0.0;
            }
          }
          left = e;
          lda = kc;
          kernel = kernels.rowMajorA;
        }

        for (std::uint32_t jr = 0; jr < nc; jr += nr) {
          const std::uint32_t cols = std::min(nr, nc - jr);
          const double* panel = packed.get() + static_cast<std::size_t>(jr) * kc;
          double* target = c + static_cast<std::size_t>(ir) * ldc + jc + jr;
          runTile(kernel, kc, left, lda, panel, target, ldc, mr, nr, rows, cols, accumulate, tile);
        }
      }
    }
  }
}

// The kernels of the level in force (numeric/cpu_features.h).
const KernelSet& levelKernels() {
  switch (vectorLevel()) {
    case VectorLevel::Avx512:
      return product::avx512Kernels();
    case VectorLevel::Avx2:
      return product::avx2Kernels();
    case VectorLevel::Portable:
      break;
  }
  return product::portableKernels();
}

// Multiply-adds below which a product is not worth a second thread.
constexpr std::uint64_t kParallelWork = UINT64_C(1) << 21;

// The rows of c are split among the threads; every element is still one
// chain over the inner index, so the result does not depend on the split.
void productInStrips(const KernelSet& kernels, const Operand& a, const Operand& b, std::uint32_t m,
                     std::uint32_t n, std::uint32_t p, double* c) {
  const std::uint64_t perRow = std::max<std::uint64_t>(1, static_cast<std::uint64_t>(n) * p);
  const std::uint64_t minRows =
      std::max<std::uint64_t>(kernels.mr, (kParallelWork + perRow - 1) / perRow);
  parallelFor(m, minRows, [&](std::uint64_t begin, std::uint64_t end) {
    const Operand strip{a.transposed ? a.data + begin : a.data + begin * a.ld, a.ld, a.transposed};
    multiplyBlocks(kernels, strip, b, static_cast<std::uint32_t>(end - begin), n, p,
                   c + begin * static_cast<std::uint64_t>(p), p);
  });
}

Matrix<double> run(const Operand& a, const Operand& b, std::uint32_t m, std::uint32_t n,
                   std::uint32_t p, bool hasRowViews) {
  Matrix<double> result(m, p, hasRowViews);
  productInStrips(levelKernels(), a, b, m, n, p, result.data());
  return result;
}

}  // namespace

Matrix<double> multiply(const Matrix<double>& a, const Matrix<double>& b) {
  return run(Operand{a.data(), a.cols(), false}, Operand{b.data(), b.cols(), false}, a.rows(),
             a.cols(), b.cols(), a.hasRowViews() || b.hasRowViews());
}

Matrix<double> multiplyAtB(const Matrix<double>& a, const Matrix<double>& b) {
  return run(Operand{a.data(), a.cols(), true}, Operand{b.data(), b.cols(), false}, a.cols(),
             a.rows(), b.cols(), a.hasRowViews() || b.hasRowViews());
}

void accumulateGram(const double* a, std::uint32_t rows, std::uint32_t m, Matrix<double>& c,
                    bool continueChains) {
  const KernelSet& kernels = levelKernels();
  if (m == 0) return;
  if (rows == 0) {
    if (!continueChains) fill(c, 0.0);
    return;
  }
  // Element (i, j) is the chain of a(k, i) * a(k, j) over k, and so is
  // (j, i): a product does not depend on the order of its factors, and
  // neither does its rounding. Only the tiles that reach the upper triangle
  // are computed (the lower one is a mirror, not an approximation). The rows
  // are taken kKc at a time: that slice of a stays in the second-level cache
  // while it is packed once per thread and met by every tile of the thread.
  const std::uint32_t mr = kernels.mr;
  const std::uint32_t nr = kernels.nr;
  const std::uint32_t tiles = (m + mr - 1) / mr;
  const auto firstColumn = [&](std::uint32_t tile) { return tile * mr / nr * nr; };
  // Tiles go to the threads in contiguous runs of about equal work (a tile's
  // work is its width from its first panel to the last column).
  std::vector<std::uint64_t> workBefore(tiles + 1, 0);
  for (std::uint32_t t = 0; t < tiles; ++t)
    workBefore[t + 1] = workBefore[t] + (m - firstColumn(t));
  const std::uint64_t total = workBefore[tiles];
  const std::uint64_t perPart = std::max<std::uint64_t>(1, kParallelWork / rows / mr);
  const std::uint64_t parts =
      std::max<std::uint64_t>(1, std::min<std::uint64_t>(tiles, total / perPart));
  double* out = c.data();
  parallelFor(parts, 1, [&](std::uint64_t firstPart, std::uint64_t endPart) {
    const auto tileAt = [&](std::uint64_t part) {
      const std::uint64_t goal = total * part / parts;
      return static_cast<std::uint32_t>(
          std::lower_bound(workBefore.begin(), workBefore.end(), goal) - workBefore.begin());
    };
    const std::uint32_t t0 = tileAt(firstPart);
    const std::uint32_t t1 = endPart == parts ? tiles : tileAt(endPart);
    if (t0 >= t1) return;
    const std::uint32_t j0 = firstColumn(t0);
    const std::uint32_t width = m - j0;
    const std::uint32_t kcMax = std::min(kKc, rows);
    AlignedBuffer packed(static_cast<std::size_t>(kcMax) * ((width + nr - 1) / nr * nr));
    AlignedBuffer edgeRows(static_cast<std::size_t>(mr) * kcMax);
    alignas(64) double tile[product::kMaxTileElements];
    const Operand source{a, m, false};
    for (std::uint32_t pc = 0; pc < rows; pc += kcMax) {
      const std::uint32_t kc = std::min(kcMax, rows - pc);
      const bool accumulate = continueChains || pc > 0;
      packRight(source, pc, kc, j0, width, nr, packed.get());
      for (std::uint32_t t = t0; t < t1; ++t) {
        const std::uint32_t ir = t * mr;
        const std::uint32_t height = std::min(mr, m - ir);
        const double* left = a + static_cast<std::size_t>(pc) * m + ir;
        std::size_t lda = m;
        product::KernelFn kernel = kernels.transposedA;
        if (height < mr) {
          // The last rows, padded with zero rows to a full tile.
          double* e = edgeRows.get();
          for (std::uint32_t r = 0; r < mr; ++r) {
            for (std::uint32_t k = 0; k < kc; ++k) {
              e[r * kc + k] = r < height ? a[(static_cast<std::size_t>(pc) + k) * m + ir + r] : 0.0;
            }
          }
          left = e;
          lda = kc;
          kernel = kernels.rowMajorA;
        }
        for (std::uint32_t jr = firstColumn(t); jr < m; jr += nr) {
          const std::uint32_t cols = std::min(nr, m - jr);
          const double* panel = packed.get() + static_cast<std::size_t>(jr - j0) * kc;
          double* target = out + static_cast<std::size_t>(ir) * m + jr;
          runTile(kernel, kc, left, lda, panel, target, m, mr, nr, height, cols, accumulate, tile);
        }
      }
    }
  });
}

void mirrorUpperTriangle(Matrix<double>& c) {
  const std::uint32_t m = c.rows();
  for (std::uint32_t i = 0; i < m; ++i) {
    for (std::uint32_t j = 0; j < i; ++j) c[i][j] = c[j][i];
  }
}

void accumulateAtB(const double* a, std::size_t lda, std::uint32_t rows, const double* b,
                   std::size_t ldb, Matrix<double>& c, bool continueChains) {
  const KernelSet& kernels = levelKernels();
  const std::uint32_t m = c.rows();
  const std::uint32_t p = c.cols();
  const std::uint64_t perRow = std::max<std::uint64_t>(1, std::uint64_t{rows} * p);
  const std::uint64_t minRows =
      std::max<std::uint64_t>(kernels.mr, (kParallelWork + perRow - 1) / perRow);
  parallelFor(m, minRows, [&](std::uint64_t begin, std::uint64_t end) {
    multiplyBlocks(kernels, Operand{a + begin, lda, true}, Operand{b, ldb, false},
                   static_cast<std::uint32_t>(end - begin), rows, p,
                   c.data() + begin * std::uint64_t{p}, p, continueChains);
  });
}

Matrix<double> multiplyAtA(const Matrix<double>& a) {
  Matrix<double> result(a.cols(), a.cols(), a.hasRowViews());
  accumulateGram(a.data(), a.rows(), a.cols(), result, false);
  mirrorUpperTriangle(result);
  return result;
}

void multiplyRowsInto(const double* a, std::size_t lda, std::uint32_t rows, const Matrix<double>& b,
                      bool transposeB, double* c) {
  const std::uint32_t n = transposeB ? b.cols() : b.rows();
  const std::uint32_t p = transposeB ? b.rows() : b.cols();
  productInStrips(levelKernels(), Operand{a, lda, false}, Operand{b.data(), b.cols(), transposeB},
                  rows, n, p, c);
}

Matrix<double> multiplyABt(const Matrix<double>& a, const Matrix<double>& b) {
  return run(Operand{a.data(), a.cols(), false}, Operand{b.data(), b.cols(), true}, a.rows(),
             a.cols(), b.rows(), a.hasRowViews() || b.hasRowViews());
}

void multiplyStrip(const double* a, std::size_t lda, std::uint32_t rows, const Matrix<double>& b,
                   double* c) {
  multiplyBlocks(levelKernels(), Operand{a, lda, false}, Operand{b.data(), b.cols(), false}, rows,
                 b.rows(), b.cols(), c, b.cols());
}

}  // namespace KPX
