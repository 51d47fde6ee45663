// Decoder side of the Huffman coder. The bit-by-bit decoder follows the
// stored code directly and is the reference; the fast one reads the next 64
// bits at once, resolves codes of up to kLookupBits bits with one look-up and
// takes the value bits from the same window. Both accept the same streams and
// fail with the same statuses.
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "codec/huffman.h"

namespace {

constexpr std::uint32_t kLookupSize = 1u << kLookupBits;

// What a decoded symbol asks for.
enum class Kind : std::uint8_t { EndOfRow, ZeroRun, Value, Invalid };

struct Action {
  std::uint32_t run = 0;  // zeros before the value
  std::uint8_t size = 0;  // value bits
  Kind kind = Kind::Invalid;
};

Action classify(std::uint32_t symbol, std::uint32_t p, std::uint32_t z) {
  Action a;
  const std::uint64_t zeroRun = static_cast<std::uint64_t>(z) * p + 1;
  if (symbol == 0) {
    a.kind = Kind::EndOfRow;
  } else if (symbol == zeroRun) {
    // A run of no zeros would not move on.
    a.kind = z == 0 ? Kind::Invalid : Kind::ZeroRun;
  } else if (symbol < zeroRun) {  // hence p >= 1 and z >= 1
    std::uint32_t s = symbol % p;
    if (s == 0) s = p;
    a.kind = Kind::Value;
    a.run = (symbol - s) / p;
    a.size = static_cast<std::uint8_t>(std::min<std::uint32_t>(s, 255));
  }
  return a;  // the reserved symbol stays Invalid
}

// extendValue, inlined into the decoding loop.
inline std::int64_t extend(std::uint32_t bits, std::uint32_t size) {
  const std::int64_t b = bits;
  return b >> (size - 1) != 0 ? b : b - (INT64_C(1) << size) + 1;  // 1 <= size <= 32
}

// A coded symbol outside the alphabet makes the table unusable.
Status checkSymbols(const HuffmanDecoderTable& table, std::uint32_t p, std::uint32_t z) {
  const std::uint64_t reserved = static_cast<std::uint64_t>(z) * p + 2;
  if (table.codeCount > table.huffval.size()) return status::OutOfRange;
  for (std::uint32_t k = 0; k < table.codeCount; ++k) {
    if (table.huffval[k] > reserved) return status::OutOfRange;
  }
  return status::Success;
}

// Reads straight from the stream's buffer; writes the position back when
// done. A read ending at bit e succeeds only when e < 8 * capacity, the
// stream's own rule.
class BitCursor {
 public:
  explicit BitCursor(BitStream& stream)
      : stream_(stream),
        data_(stream.data()),
        bytes_(stream.capacity()),
        limit_(static_cast<std::uint64_t>(stream.capacity()) * 8),
        pos_(stream.bitPosition()) {}
  ~BitCursor() { stream_.setReadPosition(pos_); }
  BitCursor(const BitCursor&) = delete;
  BitCursor& operator=(const BitCursor&) = delete;

  // The next 64 bits, most significant first; at least 57 of them are real
  // (zeros past the buffer).
  std::uint64_t peek() const {
    const std::uint64_t byte = pos_ >> 3;
    std::uint64_t window = 0;
    if (byte + 8 <= bytes_) {
      std::memcpy(&window, data_ + byte, 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
      window = __builtin_bswap64(window);
#endif
    } else {
      for (std::uint64_t i = 0; i < 8; ++i) {
        window = (window << 8) | (byte + i < bytes_ ? data_[byte + i] : 0u);
      }
    }
    return window << (pos_ & 7);
  }
  bool canTake(std::uint32_t n) const { return pos_ + n < limit_; }
  void skip(std::uint32_t n) { pos_ += n; }
  // Whether the next 64 bits lie inside the stream: then every read of a
  // symbol and its value (at most 48 bits) succeeds, and peekInside is
  // enough.
  bool roomForSymbol() const { return pos_ + 64 <= limit_; }
  std::uint64_t peekInside() const {
    std::uint64_t window = 0;
    std::memcpy(&window, data_ + (pos_ >> 3), 8);
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    window = __builtin_bswap64(window);
#endif
    return window << (pos_ & 7);
  }

 private:
  BitStream& stream_;
  const std::uint8_t* data_;
  std::uint64_t bytes_;
  std::uint64_t limit_;
  std::uint64_t pos_;
};

// Index into huffval and length of the code at the top of window; false
// when no code of up to maxLength bits matches.
inline bool matchCode(const HuffmanDecoderTable& table, std::uint64_t window, std::uint32_t& index,
                      std::uint32_t& length) {
  const std::uint32_t entry = table.lookup[window >> (64 - kLookupBits)];
  if (entry != 0) {
    index = entry >> 8;
    length = entry & 0xFF;
    return true;
  }
  for (std::uint32_t l = kLookupBits + 1; l <= table.maxLength; ++l) {
    const std::int64_t code = static_cast<std::int64_t>(window >> (64 - l));
    if (code <= table.maxcode[l]) {
      index = static_cast<std::uint32_t>(table.valptr[l] + code - table.mincode[l]);
      length = l;
      return true;
    }
  }
  return false;
}

// A look-up entry with its symbol's action folded in, so that a short
// code costs one load: length 0 when the code is longer (or absent). When
// the value's bits follow the code inside the looked-up bits, the value is
// folded in too and folded gives code and value bits together.
struct ShortCode {
  Action action;
  std::int32_t value = 0;
  std::uint8_t length = 0;
  std::uint8_t folded = 0;
};

// What one decoded action does to the row being decoded (e: its next
// entry); window holds the bits after the code. The steps of the
// reference decoder, in its order.
template <class Symbols, class Row>
Status apply(const Action& a, Symbols& symbols, Row& row, std::uint32_t& e, std::uint32_t cols,
             std::uint32_t z) {
  switch (a.kind) {
    case Kind::EndOfRow:
      row.zeros(e, cols - e);
      e = cols;
      return status::Success;
    case Kind::ZeroRun:
      if (z > cols - e) return status::OutOfRange;
      row.zeros(e, z);
      e += z;
      return status::Success;
    case Kind::Value: {
      if (a.size > 32) return status::InvalidValues;
      if (a.run >= cols - e) return status::OutOfRange;
      row.zeros(e, a.run);
      e += a.run;
      std::uint32_t raw = 0;
      const Status st = symbols.bits(a.size, raw);
      if (st != status::Success) return st;
      row.put(e, extend(raw, a.size));
      ++e;
      return status::Success;
    }
    case Kind::Invalid:
      break;
  }
  return status::OutOfRange;
}

// Decodes one row of cols entries one symbol at a time.
template <class Symbols, class Row>
Status decodeRow(Symbols& symbols, Row& row, std::uint32_t cols, std::uint32_t z) {
  std::uint32_t e = 0;
  while (e < cols) {
    Action a;
    const Status st = symbols.next(a);
    if (st != status::Success) return st;
    const Status applied = apply(a, symbols, row, e, cols, z);
    if (applied != status::Success) return applied;
  }
  return status::Success;
}

// The fast reader: symbols through the look-up table, value bits from the
// window the symbol came from.
class FastSymbols {
 public:
  FastSymbols(BitStream& stream, const HuffmanDecoderTable& table,
              const std::vector<Action>& actions)
      : cursor_(stream),
        table_(table),
        actions_(actions),
        usable_(table.lookup.size() == kLookupSize) {
    if (!usable_) return;
    for (std::uint32_t i = 0; i < kLookupSize; ++i) {
      const std::uint32_t entry = table.lookup[i];
      if (entry == 0) continue;
      ShortCode& code = shortCodes_[i];
      code.action = actions[entry >> 8];
      code.length = static_cast<std::uint8_t>(entry & 0xFF);
      const std::uint32_t bits = code.length + code.action.size;
      if (code.action.kind == Kind::Value && bits <= kLookupBits) {
        const std::uint32_t raw = (i >> (kLookupBits - bits)) & ((1u << code.action.size) - 1);
        code.value = static_cast<std::int32_t>(extend(raw, code.action.size));
        code.folded = static_cast<std::uint8_t>(bits);
      }
    }
  }

  Status next(Action& action) {
    window_ = cursor_.peek();
    const ShortCode& code = shortCodes_[window_ >> (64 - kLookupBits)];
    if (code.length != 0 && cursor_.canTake(code.length)) {
      cursor_.skip(code.length);
      window_ <<= code.length;
      action = code.action;
      return status::Success;
    }
    return nextLong(action);
  }
  Status bits(std::uint32_t n, std::uint32_t& value) {
    if (!cursor_.canTake(n)) return status::OutOfRange;
    value = static_cast<std::uint32_t>(window_ >> (64 - n));  // 1 <= n <= 32
    cursor_.skip(n);
    return status::Success;
  }

  // decodeRow, with the bound checks left out while the stream holds the
  // next 64 bits and a short code's value taken from its entry.
  template <class Row>
  Status row(Row& row, std::uint32_t cols, std::uint32_t z) {
    std::uint32_t e = 0;
    while (e < cols) {
      Action a;
      if (cursor_.roomForSymbol()) {
        window_ = cursor_.peekInside();
        // At least 57 of the window's bits are the stream's: folded values
        // are taken from it one after the other while a whole short code
        // and its value surely remain.
        std::uint32_t used = 0;
        const ShortCode* code = &shortCodes_[window_ >> (64 - kLookupBits)];
        while (code->folded != 0) {
          const std::uint32_t run = code->action.run;
          if (run >= cols - e) {
            cursor_.skip(used + code->length);
            return status::OutOfRange;
          }
          row.zeros(e, run);
          e += run;
          row.put(e, code->value);
          ++e;
          used += code->folded;
          if (e == cols || used > 57 - kLookupBits) break;
          code = &shortCodes_[(window_ << used) >> (64 - kLookupBits)];
        }
        if (used != 0) {
          cursor_.skip(used);
          continue;
        }
        if (code->length != 0) {
          cursor_.skip(code->length);
          window_ <<= code->length;
          a = code->action;
        } else {
          const Status st = nextLong(a);
          if (st != status::Success) return st;
        }
      } else {
        const Status st = next(a);
        if (st != status::Success) return st;
      }
      const Status applied = apply(a, *this, row, e, cols, z);
      if (applied != status::Success) return applied;
    }
    return status::Success;
  }

 private:
  // A code longer than the look-up table's (or none), from window_.
  Status nextLong(Action& action) {
    std::uint32_t index = 0;
    std::uint32_t length = 0;
    if (!usable_ || !matchCode(table_, window_, index, length) || !cursor_.canTake(length)) {
      return status::OutOfRange;
    }
    cursor_.skip(length);
    window_ <<= length;
    action = actions_[index];
    return status::Success;
  }

  BitCursor cursor_;
  const HuffmanDecoderTable& table_;
  const std::vector<Action>& actions_;
  bool usable_;
  std::uint64_t window_ = 0;
  ShortCode shortCodes_[kLookupSize];  // all length 0 when the table is unusable
};

// The reference reader: decodeSymbol and getBits.
class ReferenceSymbols {
 public:
  ReferenceSymbols(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t p,
                   std::uint32_t z)
      : stream_(stream), table_(table), p_(p), z_(z) {}

  Status next(Action& action) {
    std::uint32_t symbol = 0;
    const Status st = decodeSymbol(stream_, table_, symbol);
    if (st != status::Success) return st;
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

struct SparseRow {
  std::uint32_t* index;
  double* value;
  std::uint32_t count = 0;
  void zeros(std::uint32_t, std::uint32_t) {}
  // Every coded value is non-zero (extend never gives 0).
  void put(std::uint32_t at, std::int64_t v) {
    index[count] = at;
    value[count] = static_cast<double>(v);
    ++count;
  }
};

// Decodes every row of matrix. Zeroed: the matrix is already all zeros and
// the stream's zeros are skipped rather than written.
template <bool Zeroed, class Symbols, class T>
Status decodeRows(Symbols& symbols, KPX::Matrix<T>& matrix, std::uint32_t z) {
  for (std::uint32_t r = 0; r < matrix.rows(); ++r) {
    DenseRow<Zeroed, T> row{matrix[r]};
    const Status st = symbols.row(row, matrix.cols(), z);
    if (st != status::Success) return st;
  }
  return status::Success;
}

// The actions of the table's symbols, in table order.
Status actionsOf(const HuffmanDecoderTable& table, std::uint32_t p, std::uint32_t z,
                 std::vector<Action>& actions) {
  Status st = checkSymbols(table, p, z);
  if (st != status::Success) return st;
  try {
    actions.resize(table.codeCount);
  } catch (const std::bad_alloc&) {
    return status::NoMemory;
  }
  for (std::uint32_t k = 0; k < table.codeCount; ++k) {
    actions[k] = classify(table.huffval[k], p, z);
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

  try {
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
  } catch (const std::bad_alloc&) {
    return status::NoMemory;
  }
  return status::Success;
}

Status decodeSymbol(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t& symbol) {
  std::uint32_t bit = 0;
  Status st = stream.getBit(bit);
  if (st != status::Success) return st;
  std::int64_t code = bit;
  std::uint32_t l = 1;
  // maxcode is -1 for lengths without codes, and every code (even a 16-bit
  // one with its top bit set) is non-negative.
  while (l > table.maxLength || code > table.maxcode[l]) {
    if (l >= table.maxLength) return status::OutOfRange;
    st = stream.getBit(bit);
    if (st != status::Success) return st;
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
  const Status st = actionsOf(table, precisionBits, maxZeroRun, actions);
  if (st != status::Success) return st;
  FastSymbols symbols(stream, table, actions);
  return decodeRows<false>(symbols, matrix, maxZeroRun);
}

Status decodeZeroedIntegers(BitStream& stream, KPX::Matrix<std::int32_t>& matrix,
                            const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                            std::uint32_t maxZeroRun) {
  // 32-bit values reach +-(2^32 - 1), beyond an int32.
  if (precisionBits > 31) return status::InvalidValues;
  std::vector<Action> actions;
  const Status st = actionsOf(table, precisionBits, maxZeroRun, actions);
  if (st != status::Success) return st;
  FastSymbols symbols(stream, table, actions);
  return decodeRows<true>(symbols, matrix, maxZeroRun);
}

Status decodeMatrixReference(BitStream& stream, KPX::Matrix<double>& matrix,
                             const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                             std::uint32_t maxZeroRun) {
  const Status st = checkSymbols(table, precisionBits, maxZeroRun);
  if (st != status::Success) return st;
  ReferenceSymbols symbols(stream, table, precisionBits, maxZeroRun);
  return decodeRows<false>(symbols, matrix, maxZeroRun);
}

struct HuffmanRowReader::Reader {
  Reader(BitStream& stream, const HuffmanDecoderTable& decoder, std::vector<Action> list)
      : table(decoder), actions(std::move(list)), symbols(stream, table, actions) {}
  HuffmanDecoderTable table;
  std::vector<Action> actions;
  FastSymbols symbols;
};

HuffmanRowReader::HuffmanRowReader() = default;
HuffmanRowReader::~HuffmanRowReader() = default;

Status HuffmanRowReader::start(BitStream& stream, const HuffmanDecoderTable& table,
                               std::uint32_t precisionBits, std::uint32_t maxZeroRun,
                               std::uint32_t cols) {
  reader_.reset();
  if (precisionBits > 31) return status::InvalidValues;
  std::vector<Action> actions;
  const Status st = actionsOf(table, precisionBits, maxZeroRun, actions);
  if (st != status::Success) return st;
  reader_ = std::make_unique<Reader>(stream, table, std::move(actions));
  cols_ = cols;
  z_ = maxZeroRun;
  return status::Success;
}

Status HuffmanRowReader::read(std::uint32_t rows, KPX::SparseRows& out) {
  if (!reader_) return status::InconsistentParameters;
  out.end.resize(rows);
  std::uint32_t used = 0;
  for (std::uint32_t r = 0; r < rows; ++r) {
    // A row holds at most cols entries; the buffers grow with the entries
    // actually met (most are zeros and take no room).
    if (out.index.size() < static_cast<std::size_t>(used) + cols_) {
      const std::size_t room =
          std::max<std::size_t>(static_cast<std::size_t>(used) + cols_, 2 * out.index.size());
      out.index.resize(room);
      out.value.resize(room);
    }
    SparseRow row{out.index.data() + used, out.value.data() + used};
    const Status st = reader_->symbols.row(row, cols_, z_);
    if (st != status::Success) return st;
    used += row.count;
    out.end[r] = used;
  }
  return status::Success;
}
