// The fast reading of Huffman-coded rows, shared by the whole-matrix
// decoders and the streamed row reader: symbols classified into actions,
// a cursor over the stream's buffer, and the reader that resolves short
// codes (and the values that follow them) with one look-up.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec/huffman.h"
#include "numeric/status_guard.h"

namespace huffman_symbols {

constexpr std::uint32_t kLookupSize = 1u << kLookupBits;

// What a decoded symbol asks for.
enum class Kind : std::uint8_t { EndOfRow, ZeroRun, Value, Invalid };

struct Action {
  std::uint32_t run = 0;  // zeros before the value
  std::uint8_t size = 0;  // value bits
  Kind kind = Kind::Invalid;
};

inline Action classify(std::uint32_t symbol, std::uint32_t p, std::uint32_t z) {
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
inline Status checkSymbols(const HuffmanDecoderTable& table, std::uint32_t p, std::uint32_t z) {
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
      FOLIM_RETURN_IF_ERROR(symbols.bits(a.size, raw));
      row.put(e, extend(raw, a.size));
      ++e;
      return status::Success;
    }
    case Kind::Invalid:
      break;
  }
  return status::OutOfRange;
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
          FOLIM_RETURN_IF_ERROR(nextLong(a));
        }
      } else {
        FOLIM_RETURN_IF_ERROR(next(a));
      }
      FOLIM_RETURN_IF_ERROR(apply(a, *this, row, e, cols, z));
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

// The actions of the table's symbols, in table order.
inline Status actionsOf(const HuffmanDecoderTable& table, std::uint32_t p, std::uint32_t z,
                        std::vector<Action>& actions) {
  FOLIM_RETURN_IF_ERROR(checkSymbols(table, p, z));
  FOLIM_RETURN_IF_ERROR(guardStatus([&] { actions.resize(table.codeCount); }));
  for (std::uint32_t k = 0; k < table.codeCount; ++k) {
    actions[k] = classify(table.huffval[k], p, z);
  }
  return status::Success;
}

}  // namespace huffman_symbols
