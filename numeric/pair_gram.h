// The Gram matrix (sums of products of columns) of byte-valued data in
// integer arithmetic: exact, so it does not depend on the order of the sums,
// the thread count or the instruction set. Rows of data are handed over in
// pairs, packed as 16-bit values, so that one multiply-add of pairs
// (vpmaddwd) does 16 multiply-adds in AVX2, 32 in AVX-512; the 32-bit sums are flushed into 64-bit
// ones before they can overflow.
#pragma once

#include <cstdint>
#include <vector>

namespace KPX {

class PairGram {
 public:
  // Sums for m columns, in the vector form from the AVX2 level on
  // (numeric/cpu_features.h).
  explicit PairGram(std::uint32_t m);

  std::uint32_t columns() const { return m_; }
  // Words per packed row (m rounded up; the words past m must be zero).
  std::uint32_t stride() const { return stride_; }

  // Adds pairs packed rows of stride() words. Word i of a packed row holds
  // column i of two data rows as 16-bit values (the first row in the low
  // half); every value must lie in 0..255. A pair may hold a zero row, which
  // adds nothing.
  void add(const std::uint32_t* packed, std::uint32_t pairs);

  // Adds the sums of other (same columns) into this one; other may be left
  // without sums (as if new).
  void merge(PairGram& other);

  // The sum over all rows of column i times column j at i * stride() + j,
  // for i <= j < m (the upper triangle; the rest is unspecified).
  const std::vector<std::int64_t>& upper();

 private:
  void allocate();
  void flush();

  std::uint32_t m_;
  std::uint32_t stride_;
  // The 32-bit kernel of the level in force at construction; null below AVX2.
  void (*add32_)(const std::uint32_t*, std::uint32_t, std::uint32_t, std::uint32_t, std::int32_t*);
  bool vector_;
  std::uint32_t pending_ = 0;         // pairs in the 32-bit sums
  std::vector<std::int32_t> sums32_;  // stride x stride (vector form), once used
  std::vector<std::int64_t> sums64_;  // stride x stride, once used
};

}  // namespace KPX
