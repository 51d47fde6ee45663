// Decoder side of the Huffman coder. The bit-by-bit decoder follows the
// stored code directly and is the reference; the fast one reads the next 64
// bits at once, resolves codes of up to kLookupBits bits with one look-up and
// takes the value bits from the same window. Both accept the same streams and
// fail with the same statuses.
#include <algorithm>
#include <utility>
#include <vector>

#include "codec/huffman.h"
#include "codec/huffman_symbols.h"
#include "numeric/status_guard.h"

using huffman_symbols::Action;
using huffman_symbols::actionsOf;
using huffman_symbols::apply;
using huffman_symbols::BitCursor;
using huffman_symbols::checkSymbols;
using huffman_symbols::classify;
using huffman_symbols::FastSymbols;
using huffman_symbols::kLookupSize;
using huffman_symbols::matchCode;

namespace {

// Decodes one row of cols entries one symbol at a time.
template <class Symbols, class Row>
Status decodeRow(Symbols& symbols, Row& row, std::uint32_t cols, std::uint32_t z) {
  std::uint32_t e = 0;
  while (e < cols) {
    Action a;
    FOLIM_RETURN_IF_ERROR(symbols.next(a));
    FOLIM_RETURN_IF_ERROR(apply(a, symbols, row, e, cols, z));
  }
  return status::Success;
}

// The reference reader: decodeSymbol and getBits.
class ReferenceSymbols {
 public:
  ReferenceSymbols(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t p,
                   std::uint32_t z)
      : stream_(stream), table_(table), p_(p), z_(z) {}

  Status next(Action& action) {
    std::uint32_t symbol = 0;
    FOLIM_RETURN_IF_ERROR(decodeSymbol(stream_, table_, symbol));
    action = classify(symbol, p_, z_);
    return status::Success;
  }
  Status bits(std::uint32_t n, std::uint32_t& value) { return stream_.getBits(n, value); }
  template <class Row>
  Status row(Row& row, std::uint32_t cols, std::uint32_t z) {
    return decodeRow(*this, row, cols, z);
  }

 private:
  BitStream& stream_;
  const HuffmanDecoderTable& table_;
  std::uint32_t p_;
  std::uint32_t z_;
};

// Where a decoded row goes: a dense row (zeros written unless Zeroed says
// the row is already zero) or the row's non-zero entries.
template <bool Zeroed, class T>
struct DenseRow {
  T* out;
  void zeros(std::uint32_t at, std::uint32_t count) {
    if (!Zeroed) std::fill_n(out + at, count, T(0));
  }
  void put(std::uint32_t at, std::int64_t v) { out[at] = static_cast<T>(v); }
};

// Decodes every row of matrix. Zeroed: the matrix is already all zeros and
// the stream's zeros are skipped rather than written.
template <bool Zeroed, class Symbols, class T>
Status decodeRows(Symbols& symbols, KPX::Matrix<T>& matrix, std::uint32_t z) {
  for (std::uint32_t r = 0; r < matrix.rows(); ++r) {
    DenseRow<Zeroed, T> row{matrix[r]};
    FOLIM_RETURN_IF_ERROR(symbols.row(row, matrix.cols(), z));
  }
  return status::Success;
}

}  // namespace

Status buildDecoderTable(const std::vector<std::uint32_t>& bits,
                         const std::vector<std::uint32_t>& huffval, HuffmanDecoderTable& table) {
  const std::uint32_t stored = bits.empty() ? 0 : static_cast<std::uint32_t>(bits.size()) - 1;
  for (std::uint32_t l = kMaxCodeLength + 1; l <= stored; ++l) {
    if (bits[l] != 0) return status::OutOfRange;
  }
  const std::uint32_t top = std::min(stored, kMaxCodeLength);
  // Codes of length l take 2^(16 - l) of the 2^16 16-bit patterns.
  std::uint64_t used = 0;
  std::uint64_t codes = 0;
  for (std::uint32_t l = 1; l <= top; ++l) {
    used += static_cast<std::uint64_t>(bits[l]) << (kMaxCodeLength - l);
    codes += bits[l];
  }
  if (used > (UINT64_C(1) << kMaxCodeLength)) return status::OutOfRange;
  if (codes > huffval.size()) return status::OutOfRange;

  return guardStatus([&] {
    HuffmanDecoderTable built;
    built.bits = bits;
    built.huffval = huffval;
    built.maxcode.assign(top + 1, -1);
    built.mincode.assign(top + 1, 0);
    built.valptr.assign(top + 1, 0);
    built.codeCount = static_cast<std::uint32_t>(codes);
    std::uint32_t code = 0;
    std::uint32_t j = 0;
    for (std::uint32_t l = 1; l <= top; ++l) {
      if (bits[l] != 0) {
        built.valptr[l] = static_cast<std::int32_t>(j);
        built.mincode[l] = static_cast<std::int32_t>(code);
        code += bits[l];
        j += bits[l];
        built.maxcode[l] = static_cast<std::int32_t>(code) - 1;
        built.maxLength = l;
      }
      code <<= 1;
    }

    built.lookup.assign(kLookupSize, 0);
    for (std::uint32_t l = 1; l <= std::min(built.maxLength, kLookupBits); ++l) {
      if (built.maxcode[l] < 0) continue;
      const std::uint32_t spread = kLookupBits - l;
      for (std::int32_t c = built.mincode[l]; c <= built.maxcode[l]; ++c) {
        const std::uint32_t index =
            static_cast<std::uint32_t>(built.valptr[l] + c - built.mincode[l]);
        const std::uint32_t entry = (index << 8) | l;
        const std::uint32_t first = static_cast<std::uint32_t>(c) << spread;
        std::fill_n(built.lookup.begin() + first, 1u << spread, entry);
      }
    }
    table = std::move(built);
  });
}

Status decodeSymbol(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t& symbol) {
  std::uint32_t bit = 0;
  FOLIM_RETURN_IF_ERROR(stream.getBit(bit));
  std::int64_t code = bit;
  std::uint32_t l = 1;
  // maxcode is -1 for lengths without codes, and every code (even a 16-bit
  // one with its top bit set) is non-negative.
  while (l > table.maxLength || code > table.maxcode[l]) {
    if (l >= table.maxLength) return status::OutOfRange;
    FOLIM_RETURN_IF_ERROR(stream.getBit(bit));
    code = 2 * code + bit;
    ++l;
  }
  symbol = table.huffval[static_cast<std::size_t>(table.valptr[l] + code - table.mincode[l])];
  return status::Success;
}

Status decodeSymbolFast(BitStream& stream, const HuffmanDecoderTable& table,
                        std::uint32_t& symbol) {
  if (table.lookup.size() != kLookupSize) return status::OutOfRange;
  BitCursor cursor(stream);
  std::uint32_t index = 0;
  std::uint32_t length = 0;
  if (!matchCode(table, cursor.peek(), index, length) || !cursor.canTake(length)) {
    return status::OutOfRange;
  }
  cursor.skip(length);
  symbol = table.huffval[index];
  return status::Success;
}

Status decodeMatrix(BitStream& stream, KPX::Matrix<double>& matrix,
                    const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun) {
  std::vector<Action> actions;
  FOLIM_RETURN_IF_ERROR(actionsOf(table, precisionBits, maxZeroRun, actions));
  FastSymbols symbols(stream, table, actions);
  return decodeRows<false>(symbols, matrix, maxZeroRun);
}

Status decodeZeroedIntegers(BitStream& stream, KPX::Matrix<std::int32_t>& matrix,
                            const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                            std::uint32_t maxZeroRun) {
  // 32-bit values reach +-(2^32 - 1), beyond an int32.
  if (precisionBits > 31) return status::InvalidValues;
  std::vector<Action> actions;
  FOLIM_RETURN_IF_ERROR(actionsOf(table, precisionBits, maxZeroRun, actions));
  FastSymbols symbols(stream, table, actions);
  return decodeRows<true>(symbols, matrix, maxZeroRun);
}

Status decodeMatrixReference(BitStream& stream, KPX::Matrix<double>& matrix,
                             const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                             std::uint32_t maxZeroRun) {
  FOLIM_RETURN_IF_ERROR(checkSymbols(table, precisionBits, maxZeroRun));
  ReferenceSymbols symbols(stream, table, precisionBits, maxZeroRun);
  return decodeRows<false>(symbols, matrix, maxZeroRun);
}
