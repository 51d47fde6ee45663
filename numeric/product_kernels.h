// Register-blocked micro-kernels of the matrix product, one set per
// instruction-set level. Internal to the numeric core: multiply.cpp drives
// them over cache blocks.
//
// A kernel computes one MR x NR tile of C from kc steps of the inner index:
//   C(r, c) = C(r, c) + sum_k A(r, k) * B(k, c)      (accumulate)
//   C(r, c) =           sum_k A(r, k) * B(k, c)      (otherwise)
// Every element is one chain over k in increasing order, one multiply-add per
// step, so the result does not depend on the tiling, the tile shape or the
// vector width; only the portable kernel (no fused multiply-add on baseline
// x86-64) rounds differently from the others.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KPX::product {

// A(r, k) is a[r * lda + k] for a row-major operand and a[k * lda + r] for a
// transposed one. B is packed: b[k * NR + c], 64-byte aligned. C has row
// stride ldc.
using KernelFn = void (*)(std::uint32_t kc, const double* a, std::size_t lda, const double* b,
                          double* c, std::size_t ldc, bool accumulate);

struct KernelSet {
  const char* name;
  std::uint32_t mr;  // tile rows
  std::uint32_t nr;  // tile columns
  KernelFn rowMajorA;
  KernelFn transposedA;
};

// The largest tile of any kernel, for the driver's edge buffers.
constexpr std::uint32_t kMaxTileElements = 8 * 24;

const KernelSet& portableKernels();
const KernelSet& avx2Kernels();
const KernelSet& avx512Kernels();

}  // namespace KPX::product
