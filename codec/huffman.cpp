// Encoder side of the Huffman coder: symbol counting, code construction,
// table storage and the coding of a matrix.
#include "codec/huffman.h"

#include <immintrin.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <queue>
#include <vector>

#include "numeric/cpu_features.h"
#include "numeric/status_guard.h"

namespace {

constexpr double kMagnitudeLimit = 4294967296.0;  // 2^32: |trunc(v)| must stay below

// The alphabet is usable by the encoder: p and z non-zero, p <= 32 and A
// small enough for the stored tables.
bool usableAlphabet(std::uint32_t p, std::uint32_t z) {
  return p != 0 && z != 0 && p <= 32 && static_cast<std::uint64_t>(z) * p + 3 <= kMaxTableEntries;
}

// The integer a value is coded as, with its size category; false when it
// cannot be coded with p bits.
bool codedValue(double value, std::uint32_t p, std::int64_t& integer, std::uint32_t& size) {
  if (!(std::fabs(value) < kMagnitudeLimit)) return false;  // also NaN
  integer = static_cast<std::int64_t>(value);               // truncates toward zero
  const std::uint64_t magnitude =
      integer < 0 ? static_cast<std::uint64_t>(-integer) : static_cast<std::uint64_t>(integer);
  // sizeCategory, inline: this runs for every coded value.
  size = magnitude == 0 ? 0 : 64 - static_cast<std::uint32_t>(__builtin_clzll(magnitude));
  return size <= p;
}

// The same for a value already an integer.
bool codedValue(std::int32_t value, std::uint32_t p, std::int64_t& integer, std::uint32_t& size) {
  integer = value;
  const std::uint32_t magnitude =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  size = magnitude == 0 ? 0 : 32 - static_cast<std::uint32_t>(__builtin_clz(magnitude));
  return size <= p;
}

// Values that only lengthen a zero run: those truncating to zero (a NaN
// fails both comparisons and takes the full path).
bool truncatesToZero(double x) { return x > -1.0 && x < 1.0; }

// The s raw bits of a non-zero value: v itself when positive, v - 1 in two's
// complement when negative.
std::uint32_t valueBits(std::int64_t v, std::uint32_t s) {
  const std::uint64_t mask = (UINT64_C(1) << s) - 1;
  const std::uint64_t raw =
      v > 0 ? static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v - 1);
  return static_cast<std::uint32_t>(raw & mask);
}

// Reports a non-zero value v of size category s that follows a run of r
// zeros: one zero-run symbol for every z zeros of the run, then the value's
// own symbol with its bits. The run starts again after the value.
template <class Emit>
inline Status emitValue(Emit& emit, std::int64_t v, std::uint32_t s, std::uint32_t p,
                        std::uint32_t z, std::uint32_t& r) {
  for (; r >= z; r -= z) {
    FOLIM_RETURN_IF_ERROR(emit(z * p + 1, 0u, 0u));
  }
  const Status st = emit(r * p + s, valueBits(v, s), s);
  r = 0;
  return st;
}

// Walks the matrix row by row and reports each symbol, with its value bits,
// to emit(symbol, bits, size); a value that cannot be coded goes to bad().
// The zero run r survives only within a row: every row ends with a value or
// an end of row, both of which reset it.
template <class T, class Emit, class Bad>
Status walkSymbols(const KPX::Matrix<T>& matrix, std::uint32_t p, std::uint32_t z, Emit emit,
                   Bad bad) {
  std::uint32_t r = 0;
  for (std::uint32_t row = 0; row < matrix.rows(); ++row) {
    const T* values = matrix[row];
    const std::uint32_t cols = matrix.cols();
    for (std::uint32_t col = 0; col < cols; ++col) {
      // Most values truncate to zero: they only lengthen the run.
      const T x = values[col];
      if (truncatesToZero(x) && col + 1 != cols) {
        ++r;
        continue;
      }
      std::int64_t v = 0;
      std::uint32_t s = 0;
      if (!codedValue(x, p, v, s)) {
        FOLIM_RETURN_IF_ERROR(bad());
        continue;
      }
      if (v != 0) {
        FOLIM_RETURN_IF_ERROR(emitValue(emit, v, s, p, z, r));
      } else if (col + 1 == cols) {
        FOLIM_RETURN_IF_ERROR(emit(0u, 0u, 0u));
        r = 0;
      } else {
        ++r;
      }
    }
  }
  return status::Success;
}

// Unadjusted code sizes: repeatedly merge the two least frequent entries
// (on equal frequencies the larger symbol number first); every merge adds
// one bit to each symbol below it. The merges form a tree whose leaf depths
// are the code sizes, so a heap replaces the repeated scans.
std::vector<std::uint32_t> codeSizesOf(const std::vector<std::uint32_t>& frequencies) {
  const std::uint32_t count = static_cast<std::uint32_t>(frequencies.size());
  std::vector<std::uint64_t> freq(frequencies.begin(), frequencies.end());
  auto later = [&freq](std::uint32_t a, std::uint32_t b) {
    // true when a is picked after b
    return freq[a] > freq[b] || (freq[a] == freq[b] && a < b);
  };
  std::priority_queue<std::uint32_t, std::vector<std::uint32_t>, decltype(later)> heap(later);
  for (std::uint32_t v = 0; v < count; ++v) {
    if (freq[v] != 0) heap.push(v);
  }

  // Nodes 0..count-1 are the symbols, later ones the merges; a parent is
  // always numbered above its children.
  std::vector<std::uint32_t> parent(count, 0);
  std::vector<std::uint32_t> nodeOf(count);
  for (std::uint32_t v = 0; v < count; ++v) nodeOf[v] = v;
  while (heap.size() >= 2) {
    const std::uint32_t v1 = heap.top();
    heap.pop();
    const std::uint32_t v2 = heap.top();
    heap.pop();
    const std::uint32_t node = static_cast<std::uint32_t>(parent.size());
    parent.push_back(0);
    parent[nodeOf[v1]] = node;
    parent[nodeOf[v2]] = node;
    nodeOf[v1] = node;
    freq[v1] += freq[v2];
    freq[v2] = 0;
    heap.push(v1);
  }

  std::vector<std::uint32_t> depth(parent.size(), 0);
  const std::uint32_t root = static_cast<std::uint32_t>(parent.size()) - 1;
  for (std::uint32_t node = root; node-- > 0;) {
    if (parent[node] != 0) depth[node] = depth[parent[node]] + 1;
  }
  std::vector<std::uint32_t> sizes(count, 0);
  if (parent.size() > count) {
    for (std::uint32_t v = 0; v < count; ++v) sizes[v] = depth[v];
  }
  return sizes;
}

// Moves codes longer than 16 bits up the tree, then drops one code of the
// longest remaining length (the reserved symbol's).
void limitCodeLengths(std::vector<std::uint32_t>& bits) {
  const std::uint32_t longest = static_cast<std::uint32_t>(bits.size()) - 1;
  for (std::uint32_t i = longest; i > kMaxCodeLength; --i) {
    while (bits[i] > 0) {
      std::uint32_t j = i - 2;
      while (j > 0 && bits[j] == 0) --j;
      if (j == 0) return;  // not a Huffman code; cannot happen
      bits[i] -= 2;
      bits[i - 1] += 1;
      bits[j + 1] += 2;
      bits[j] -= 1;
    }
  }
  std::uint32_t i = kMaxCodeLength;
  while (i > 0 && bits[i] == 0) --i;
  if (i > 0) bits[i] -= 1;
}

// Bit c % 64 of masks[c / 64] tells whether column c of the row is not zero.
void nonZeroMaskScalar(const std::int32_t* values, std::uint32_t cols, std::uint64_t* masks) {
  for (std::uint32_t w = 0; w < (cols + 63) / 64; ++w) masks[w] = 0;
  for (std::uint32_t c = 0; c < cols; ++c)
    masks[c / 64] |= static_cast<std::uint64_t>(values[c] != 0) << (c % 64);
}

__attribute__((target("avx2"))) void nonZeroMaskAvx2(const std::int32_t* values, std::uint32_t cols,
                                                     std::uint64_t* masks) {
  for (std::uint32_t w = 0; w < (cols + 63) / 64; ++w) masks[w] = 0;
  const __m256i zero = _mm256_setzero_si256();
  std::uint32_t c = 0;
  for (; c + 8 <= cols; c += 8) {
    const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(values + c));
    const auto zeros = static_cast<std::uint32_t>(
        _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(v, zero))));
    masks[c / 64] |= static_cast<std::uint64_t>(~zeros & 0xFFu) << (c % 64);
  }
  for (; c < cols; ++c) masks[c / 64] |= static_cast<std::uint64_t>(values[c] != 0) << (c % 64);
}

using MaskKernel = void (*)(const std::int32_t* values, std::uint32_t cols, std::uint64_t* masks);
const KPX::LevelKernel<MaskKernel> kNonZeroMask{nonZeroMaskScalar, nonZeroMaskAvx2};

// walkSymbols for integers: the non-zero values of a row are found from a
// bit mask instead of one test per value, with the same symbols in the same
// order (a value that cannot be coded is skipped without ending the run,
// and a row ending in zero gets its end of row). rows x cols values from
// values; r carries the run from row to row and across calls (a row ending
// in a value that cannot be coded carries its run over); masks holds a bit
// per column.
template <class Emit, class Bad>
Status walkIntegerRows(const std::int32_t* values, std::uint32_t rows, std::uint32_t cols,
                       std::uint32_t p, std::uint32_t z, std::uint32_t& r, std::uint64_t* masks,
                       Emit& emit, Bad& bad) {
  const MaskKernel nonZeroMask = kNonZeroMask.current();
  const std::uint32_t words = (cols + 63) / 64;
  for (std::uint32_t row = 0; row < rows; ++row, values += cols) {
    nonZeroMask(values, cols, masks);
    std::uint32_t next = 0;  // the first column not yet counted
    for (std::uint32_t w = 0; w < words; ++w) {
      for (std::uint64_t m = masks[w]; m != 0; m &= m - 1) {
        const std::uint32_t col = w * 64 + static_cast<std::uint32_t>(__builtin_ctzll(m));
        r += col - next;
        next = col + 1;
        std::int64_t v = 0;
        std::uint32_t s = 0;
        if (!codedValue(values[col], p, v, s)) {
          FOLIM_RETURN_IF_ERROR(bad());
          continue;
        }
        FOLIM_RETURN_IF_ERROR(emitValue(emit, v, s, p, z, r));
      }
    }
    if (values[cols - 1] == 0) {
      FOLIM_RETURN_IF_ERROR(emit(0u, 0u, 0u));
      r = 0;
    }
  }
  return status::Success;
}

template <class Emit, class Bad>
Status walkSymbols(const KPX::Matrix<std::int32_t>& matrix, std::uint32_t p, std::uint32_t z,
                   Emit emit, Bad bad) {
  const std::uint32_t cols = matrix.cols();
  if (cols == 0) return status::Success;
  std::vector<std::uint64_t> masks((cols + 63) / 64);
  std::uint32_t r = 0;
  return walkIntegerRows(matrix.data(), matrix.rows(), cols, p, z, r, masks.data(), emit, bad);
}

}  // namespace

std::uint32_t alphabetSize(std::uint32_t precisionBits, std::uint32_t maxZeroRun) {
  const std::uint64_t size = static_cast<std::uint64_t>(maxZeroRun) * precisionBits + 3;
  return size > std::numeric_limits<std::uint32_t>::max()
             ? std::numeric_limits<std::uint32_t>::max()
             : static_cast<std::uint32_t>(size);
}

std::uint32_t sizeCategory(std::uint32_t magnitude) {
  return magnitude == 0 ? 0 : 32 - static_cast<std::uint32_t>(__builtin_clz(magnitude));
}

std::int64_t extendValue(std::uint32_t bits, std::uint32_t size) {
  if (size == 0) return 0;
  const std::int64_t b = bits;
  const std::int64_t half = INT64_C(1) << (size - 1);
  return b >= half ? b : b - (INT64_C(1) << size) + 1;
}

namespace {

template <class T>
std::vector<std::uint32_t> countSymbolsOf(const KPX::Matrix<T>& matrix, std::uint32_t precisionBits,
                                          std::uint32_t maxZeroRun) {
  if (!usableAlphabet(precisionBits, maxZeroRun)) return {};
  const std::uint32_t size = alphabetSize(precisionBits, maxZeroRun);
  std::vector<std::uint32_t> frequencies(size, 0);
  frequencies[size - 1] = 1;  // the reserved symbol
  // Counting cannot fail: both callbacks succeed, and so does the walk.
  static_cast<void>(walkSymbols(
      matrix, precisionBits, maxZeroRun,
      [&frequencies](std::uint32_t symbol, std::uint32_t, std::uint32_t) {
        ++frequencies[symbol];
        return status::Success;
      },
      [] { return status::Success; }));
  return frequencies;
}

}  // namespace

std::vector<std::uint32_t> countSymbols(const KPX::Matrix<double>& matrix,
                                        std::uint32_t precisionBits, std::uint32_t maxZeroRun) {
  return countSymbolsOf(matrix, precisionBits, maxZeroRun);
}

std::vector<std::uint32_t> countSymbols(const KPX::Matrix<std::int32_t>& matrix,
                                        std::uint32_t precisionBits, std::uint32_t maxZeroRun) {
  return countSymbolsOf(matrix, precisionBits, maxZeroRun);
}

Status buildEncoderTable(const std::vector<std::uint32_t>& frequencies,
                         HuffmanEncoderTable& table) {
  const std::size_t count = frequencies.size();
  if (count == 0 || count > kMaxTableEntries) return status::InvalidValues;
  return guardStatus([&] {
    HuffmanEncoderTable built;
    built.codeSizes = codeSizesOf(frequencies);

    // Code-length counts over the unadjusted sizes.
    const std::uint32_t longest = *std::max_element(built.codeSizes.begin(), built.codeSizes.end());
    built.bits.assign(longest + 1, 0);
    for (std::uint32_t size : built.codeSizes) {
      if (size != 0) ++built.bits[size];
    }
    if (longest > kMaxCodeLength) limitCodeLengths(built.bits);

    // Symbols by unadjusted size, then by symbol number; then zeros.
    built.huffval.assign(count, 0);
    std::vector<std::uint32_t> start(longest + 2, 0);
    for (std::uint32_t size : built.codeSizes) {
      if (size != 0) ++start[size + 1];
    }
    for (std::uint32_t k = 1; k <= longest; ++k) start[k + 1] += start[k];
    for (std::uint32_t v = 0; v < count; ++v) {
      const std::uint32_t size = built.codeSizes[v];
      if (size != 0) built.huffval[start[size]++] = v;
    }

    // Canonical codes from the (adjusted) counts, handed to the symbols in
    // the order above.
    built.ehufco.assign(count, 0);
    built.ehufsi.assign(count, 0);
    std::uint32_t code = 0;
    std::uint32_t k = 0;
    const std::uint32_t top = std::min<std::uint32_t>(longest, kMaxCodeLength);
    for (std::uint32_t length = 1; length <= top; ++length) {
      for (std::uint32_t n = 0; n < built.bits[length]; ++n, ++k, ++code) {
        const std::uint32_t symbol = built.huffval[k];
        built.ehufco[symbol] = static_cast<std::uint16_t>(code);
        built.ehufsi[symbol] = length;
      }
      code <<= 1;
    }
    table = std::move(built);
  });
}

Status writeTable(BitStream& stream, const std::vector<std::uint32_t>& table, std::uint32_t& count,
                  std::uint32_t& width) {
  if (table.size() > kMaxTableEntries) return status::InvalidValues;
  const std::uint32_t largest = table.empty() ? 0 : *std::max_element(table.begin(), table.end());
  count = static_cast<std::uint32_t>(table.size());
  width = sizeCategory(largest);
  for (std::uint32_t entry : table) {
    FOLIM_RETURN_IF_ERROR(stream.putBits(entry, width));
  }
  return status::Success;
}

Status readTable(BitStream& stream, std::uint32_t count, std::uint32_t width,
                 std::vector<std::uint32_t>& table) {
  if (width > 32) return status::InvalidValues;
  if (count > kMaxTableEntries) return status::OutOfRange;
  // A read ending at bit e succeeds only when e < 8 * capacity.
  const std::uint64_t limit = static_cast<std::uint64_t>(stream.capacity()) * 8;
  const std::uint64_t needed = static_cast<std::uint64_t>(count) * width;
  if (needed != 0 && stream.bitPosition() + needed >= limit) return status::OutOfRange;
  std::vector<std::uint32_t> entries;
  FOLIM_RETURN_IF_ERROR(guardStatus([&] { entries.assign(count, 0); }));
  if (width != 0) {
    for (std::uint32_t& entry : entries) {
      FOLIM_RETURN_IF_ERROR(stream.getBits(width, entry));
    }
  }
  table = std::move(entries);
  return status::Success;
}

namespace {

template <class T>
Status encodeMatrixOf(BitStream& stream, const KPX::Matrix<T>& matrix,
                      const HuffmanEncoderTable& table, std::uint32_t precisionBits,
                      std::uint32_t maxZeroRun) {
  if (!usableAlphabet(precisionBits, maxZeroRun)) return status::InvalidConfigValue;
  const std::uint32_t size = alphabetSize(precisionBits, maxZeroRun);
  if (table.ehufco.size() < size || table.ehufsi.size() < size) return status::InvalidValues;
  // Codes and value bits gather in a local word that goes to the stream 32
  // bits at a time: the same bits, fewer calls.
  std::uint64_t pending = 0;
  std::uint32_t pendingBits = 0;
  const Status st = walkSymbols(
      matrix, precisionBits, maxZeroRun,
      [&](std::uint32_t symbol, std::uint32_t bits, std::uint32_t s) {
        const std::uint32_t length = table.ehufsi[symbol];
        if (length == 0 || length > kMaxCodeLength) return status::InvalidValues;
        pending = (pending << length) | table.ehufco[symbol];
        pendingBits += length;
        if (pendingBits >= 32) {
          pendingBits -= 32;
          FOLIM_RETURN_IF_ERROR(
              stream.putBits(static_cast<std::uint32_t>(pending >> pendingBits), 32));
        }
        if (s != 0) {
          pending = (pending << s) | bits;
          pendingBits += s;
          if (pendingBits >= 32) {
            pendingBits -= 32;
            FOLIM_RETURN_IF_ERROR(
                stream.putBits(static_cast<std::uint32_t>(pending >> pendingBits), 32));
          }
        }
        return status::Success;
      },
      [] { return status::InvalidValues; });
  if (st != status::Success || pendingBits == 0) return st;
  return stream.putBits(static_cast<std::uint32_t>(pending), pendingBits);
}

}  // namespace

Status encodeMatrix(BitStream& stream, const KPX::Matrix<double>& matrix,
                    const HuffmanEncoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun) {
  return encodeMatrixOf(stream, matrix, table, precisionBits, maxZeroRun);
}

Status encodeMatrix(BitStream& stream, const KPX::Matrix<std::int32_t>& matrix,
                    const HuffmanEncoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun) {
  return encodeMatrixOf(stream, matrix, table, precisionBits, maxZeroRun);
}

namespace {

// Codes are at most 16 bits and value bits at most 32, so each part alone
// fits beside the fewer than 32 bits still waiting.
class WordWriter {
 public:
  explicit WordWriter(BitStream& stream) : stream_(stream) {}
  Status put(std::uint32_t bits, std::uint32_t length) {
    pending_ = (pending_ << length) | bits;
    pendingBits_ += length;
    if (pendingBits_ < 32) return status::Success;
    pendingBits_ -= 32;
    return stream_.putBits(static_cast<std::uint32_t>(pending_ >> pendingBits_), 32);
  }
  Status finish() {
    return pendingBits_ == 0 ? status::Success
                             : stream_.putBits(static_cast<std::uint32_t>(pending_), pendingBits_);
  }

 private:
  BitStream& stream_;
  std::uint64_t pending_ = 0;
  std::uint32_t pendingBits_ = 0;
};

}  // namespace

Status listSymbols(const KPX::Matrix<std::int32_t>& matrix, std::uint32_t precisionBits,
                   std::uint32_t maxZeroRun, SymbolList& list) {
  SymbolLister lister;
  FOLIM_RETURN_IF_ERROR(
      lister.start(matrix.rows(), matrix.cols(), precisionBits, maxZeroRun, list));
  lister.addRows(matrix.data(), 0, matrix.rows());
  return lister.finish();
}

Status SymbolLister::start(std::uint32_t rows, std::uint32_t cols, std::uint32_t precisionBits,
                           std::uint32_t maxZeroRun, SymbolList& list) {
  list_ = nullptr;
  status_ = status::InvalidValues;
  if (!usableAlphabet(precisionBits, maxZeroRun)) return status::InvalidConfigValue;
  return guardStatus([&] {
    const std::uint32_t size = alphabetSize(precisionBits, maxZeroRun);
    list.frequencies.assign(size, 0);
    list.frequencies[size - 1] = 1;  // the reserved symbol
    list.valueBits = 0;
    // At most one symbol per value and an end of row per row: sized whole
    // (the allocator leaves the entries unset), the list is never copied
    // while it grows, and the pages it does not reach are never touched.
    list.entries.resize(static_cast<std::size_t>(rows) * (cols + 1));
    masks_.assign((cols + 63) / 64, 0);
    list_ = &list;
    rows_ = rows;
    cols_ = cols;
    p_ = precisionBits;
    z_ = maxZeroRun;
    listedRows_ = 0;
    run_ = 0;
    next_ = 0;
    status_ = status::Success;
  });
}

void SymbolLister::addRows(const std::int32_t* values, std::uint32_t first, std::uint32_t count) {
  if (status_ != status::Success) return;
  if (first != listedRows_ || count > rows_ - listedRows_) {
    status_ = status::InvalidValues;
    return;
  }
  listedRows_ += count;
  if (cols_ == 0 || count == 0) return;
  std::uint32_t* frequencies = list_->frequencies.data();
  std::uint64_t* next = list_->entries.data() + next_;
  std::uint64_t valueBits = 0;
  auto emit = [&](std::uint32_t symbol, std::uint32_t bits, std::uint32_t s) {
    ++frequencies[symbol];
    valueBits += s;
    *next++ = std::uint64_t{bits} << 32 | std::uint64_t{s} << 24 | symbol;
    return status::Success;
  };
  auto bad = [] { return status::InvalidValues; };
  status_ = walkIntegerRows(values, count, cols_, p_, z_, run_, masks_.data(), emit, bad);
  next_ = static_cast<std::size_t>(next - list_->entries.data());
  list_->valueBits += valueBits;
}

Status SymbolLister::finish() {
  if (list_ == nullptr) return status_;
  list_->entries.resize(next_);
  if (status_ == status::Success && listedRows_ != rows_) status_ = status::InvalidValues;
  return status_;
}

Status encodeSymbols(BitStream& stream, const SymbolList& list, const HuffmanEncoderTable& table) {
  const std::size_t size = list.frequencies.size();
  if (table.ehufco.size() < size || table.ehufsi.size() < size) return status::InvalidValues;
  return guardStatus([&] {
    // Code << 8 | length per symbol, 0 for a symbol without a code.
    std::vector<std::uint32_t> codes(size, 0);
    for (std::size_t v = 0; v < size; ++v) {
      const std::uint32_t length = table.ehufsi[v];
      if (length != 0 && length <= kMaxCodeLength)
        codes[v] = std::uint32_t{table.ehufco[v]} << 8 | length;
    }
    // The stream is grown once, to the size the coding would grow it to.
    std::uint64_t bits = stream.bitPosition() + list.valueBits;
    for (std::size_t v = 0; v < size; ++v)
      bits += std::uint64_t{list.frequencies[v]} * (codes[v] & 0xFFu);
    FOLIM_RETURN_IF_ERROR(stream.reserveBits(bits));
    WordWriter writer(stream);
    for (const std::uint64_t entry : list.entries) {
      const auto symbol = static_cast<std::uint32_t>(entry & 0xFFFFFFu);
      if (symbol >= size || codes[symbol] == 0) return status::InvalidValues;
      const std::uint32_t code = codes[symbol];
      FOLIM_RETURN_IF_ERROR(writer.put(code >> 8, code & 0xFFu));
      FOLIM_RETURN_IF_ERROR(writer.put(static_cast<std::uint32_t>(entry >> 32),
                                       static_cast<std::uint32_t>(entry >> 24) & 0xFFu));
    }
    return writer.finish();
  });
}
