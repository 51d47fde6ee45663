// The Huffman coder of the RIM components: a matrix of integer-valued doubles
// becomes (zero run, magnitude category) symbols plus raw value bits, coded
// with an optimal prefix code limited to 16 bits whose tables are stored in
// the same bit stream.
//
// Symbol alphabet for precision p and longest run z (A = z * p + 3 symbols):
// 0 end of row; r * p + s a run of r zeros then a value of s bits;
// z * p + 1 a run of exactly z zeros; z * p + 2 reserved (never coded).
//
// Values are converted to integers by truncation toward zero.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "codec/bitstream.h"
#include "codec/status.h"
#include "numeric/matrix.h"
#include "numeric/sparse_product.h"
#include "platform/large_pages.h"

// Longest table (and largest alphabet) the coder writes or accepts: a stored
// table with more entries is taken as damaged.
constexpr std::uint32_t kMaxTableEntries = 1u << 20;
// Longest code.
constexpr std::uint32_t kMaxCodeLength = 16;
// Codes up to this length are decoded with one table look-up.
constexpr std::uint32_t kLookupBits = 10;

struct HuffmanEncoderTable {
  std::vector<std::uint32_t> codeSizes;  // unadjusted code length per symbol
  std::vector<std::uint32_t> bits;       // code-length counts, L + 1 entries
  std::vector<std::uint32_t> huffval;    // symbols in code order, then zeros
  std::vector<std::uint16_t> ehufco;     // code per symbol
  std::vector<std::uint32_t> ehufsi;     // code length per symbol (0: none)
};

struct HuffmanDecoderTable {
  std::vector<std::uint32_t> bits;
  std::vector<std::uint32_t> huffval;
  // Indexed by code length 0..min(L, 16); lengths above 16 hold no codes.
  std::vector<std::int32_t> maxcode;  // -1: no code of that length
  std::vector<std::int32_t> mincode;
  std::vector<std::int32_t> valptr;
  std::uint32_t codeCount = 0;  // K: codes defined by the counts
  std::uint32_t maxLength = 0;  // longest length that has a code (0: none)
  // 2^kLookupBits entries over the next bits of the stream: (index into
  // huffval << 8) | code length, or 0 when the code is longer (or absent).
  std::vector<std::uint32_t> lookup;
};

// z * p + 3, saturated at 2^32 - 1.
std::uint32_t alphabetSize(std::uint32_t precisionBits, std::uint32_t maxZeroRun);

// Number of bits of |v| (0 for 0).
std::uint32_t sizeCategory(std::uint32_t magnitude);
// The value of s raw bits b (s up to 32, hence 64 bits).
std::int64_t extendValue(std::uint32_t bits, std::uint32_t size);

// Frequencies of the A symbols (the reserved one counted once). Empty when p
// or z is 0, p > 32 or A > kMaxTableEntries. Values that cannot be coded
// (magnitude wider than p bits, not finite) are not counted; encodeMatrix
// refuses them.
std::vector<std::uint32_t> countSymbols(const KPX::Matrix<double>& matrix,
                                        std::uint32_t precisionBits, std::uint32_t maxZeroRun);
// The same for values already integers (the encoder's quantised coefficients).
std::vector<std::uint32_t> countSymbols(const KPX::Matrix<std::int32_t>& matrix,
                                        std::uint32_t precisionBits, std::uint32_t maxZeroRun);

// Builds the code from the frequencies (A entries); status::InvalidValues for
// no entries or more than kMaxTableEntries.
Status buildEncoderTable(const std::vector<std::uint32_t>& frequencies, HuffmanEncoderTable& table);

// Stores an integer table: count and width (bits of the largest entry) are
// returned for the section's parameter block; every entry is written with
// that width. status::InvalidValues for more than kMaxTableEntries entries.
Status writeTable(BitStream& stream, const std::vector<std::uint32_t>& table, std::uint32_t& count,
                  std::uint32_t& width);
// Reads count entries of width bits (status::InvalidValues for width > 32;
// status::OutOfRange when the stream cannot hold them or count >
// kMaxTableEntries, checked before allocating).
Status readTable(BitStream& stream, std::uint32_t count, std::uint32_t width,
                 std::vector<std::uint32_t>& table);

// status::InvalidConfigValue for p = 0, z = 0, p > 32 or too large an
// alphabet; status::InvalidValues for a table that does not fit the alphabet,
// a value that cannot be coded (wider than p bits, not finite) or a symbol
// without a code.
Status encodeMatrix(BitStream& stream, const KPX::Matrix<double>& matrix,
                    const HuffmanEncoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun);
// The same bits for values already integers.
Status encodeMatrix(BitStream& stream, const KPX::Matrix<std::int32_t>& matrix,
                    const HuffmanEncoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun);

// The symbols of an integer matrix in coding order, each with its value
// bits, and their frequencies (the reserved symbol counted once): one walk
// over the matrix serves both the construction of the code and the coding.
struct SymbolList {
  // value bits << 32 | size category << 24 | symbol
  std::vector<std::uint64_t, platform::UnfilledLargePageAllocator<std::uint64_t>> entries;
  std::vector<std::uint32_t> frequencies;
  std::uint64_t valueBits = 0;  // the value bits of every entry together
};
// status::InvalidConfigValue for p = 0, z = 0, p > 32 or too large an
// alphabet; status::InvalidValues for a value wider than p bits.
Status listSymbols(const KPX::Matrix<std::int32_t>& matrix, std::uint32_t precisionBits,
                   std::uint32_t maxZeroRun, SymbolList& list);

// listSymbols for a matrix given a few rows at a time, in order, so that
// the matrix itself need never exist: the same list once every row is in.
class SymbolLister {
 public:
  // Sizes the list for rows x cols values; the statuses of listSymbols for
  // the alphabet, status::NoMemory when the list cannot be sized.
  Status start(std::uint32_t rows, std::uint32_t cols, std::uint32_t precisionBits,
               std::uint32_t maxZeroRun, SymbolList& list);
  // Lists count rows (count x cols values, row after row) that start at row
  // first. The first failure sticks: rows out of order or past the end,
  // a value that cannot be coded (status::InvalidValues), no start.
  void addRows(const std::int32_t* values, std::uint32_t first, std::uint32_t count);
  // Trims the list to what was listed: status::Success only when every row
  // came in and nothing failed.
  Status finish();

 private:
  SymbolList* list_ = nullptr;
  std::uint32_t rows_ = 0;
  std::uint32_t cols_ = 0;
  std::uint32_t p_ = 0;
  std::uint32_t z_ = 0;
  std::uint32_t listedRows_ = 0;
  std::uint32_t run_ = 0;  // zeros carried over from the last row
  std::size_t next_ = 0;   // the next free entry
  std::vector<std::uint64_t> masks_;
  Status status_ = status::InvalidValues;
};
// The bits encodeMatrix writes for the listed matrix; status::InvalidValues
// for a table that does not fit the alphabet or a symbol without a code.
Status encodeSymbols(BitStream& stream, const SymbolList& list, const HuffmanEncoderTable& table);

// Rebuilds the decoder from the stored tables; status::OutOfRange when they do
// not describe a usable prefix code (a count above length 16, more codes than the lengths
// allow, more codes than symbols).
Status buildDecoderTable(const std::vector<std::uint32_t>& bits,
                         const std::vector<std::uint32_t>& huffval, HuffmanDecoderTable& table);
// The bit-by-bit reference decoder of one symbol; status::OutOfRange for a
// code longer than the longest stored length or a read past the end.
Status decodeSymbol(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t& symbol);
// The same through the look-up table; same results and final position on
// success.
Status decodeSymbolFast(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t& symbol);
// Decodes into matrix (its shape already set). Damaged input stops with
// status::OutOfRange: codes too long, runs past the row end, the reserved
// symbol or a symbol outside the alphabet, reads past the end;
// status::InvalidValues for a size category above 32.
Status decodeMatrix(BitStream& stream, KPX::Matrix<double>& matrix,
                    const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun);
// decodeMatrix into integers, for a matrix already filled with zeros: the
// stream's zeros are skipped, not written again. Same statuses as
// decodeMatrix, and status::InvalidValues for a precision above 31 bits
// (values that would not fit).
Status decodeZeroedIntegers(BitStream& stream, KPX::Matrix<std::int32_t>& matrix,
                            const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                            std::uint32_t maxZeroRun);
// decodeMatrix through decodeSymbol and getBits only: the reference the fast
// decoder is checked against.
Status decodeMatrixReference(BitStream& stream, KPX::Matrix<double>& matrix,
                             const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                             std::uint32_t maxZeroRun);

// decodeZeroedIntegers a few rows at a time, each row as its non-zero
// entries: the same values, statuses and stream positions, without the
// whole matrix. The stream's position is written back when the reader goes.
class HuffmanRowReader {
 public:
  HuffmanRowReader();
  ~HuffmanRowReader();
  HuffmanRowReader(const HuffmanRowReader&) = delete;
  HuffmanRowReader& operator=(const HuffmanRowReader&) = delete;

  // Readies the reading of rows of cols entries from stream (which must
  // outlive the reader): status::InvalidValues for a precision above 31 bits,
  // status::OutOfRange for a table with symbols outside the alphabet, as
  // decodeZeroedIntegers.
  Status start(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t precisionBits,
               std::uint32_t maxZeroRun, std::uint32_t cols);
  // Decodes the next rows rows into out (its earlier rows replaced); the
  // statuses of decodeZeroedIntegers, status::InconsistentParameters before
  // start succeeded.
  Status read(std::uint32_t rows, KPX::SparseRows& out);

 private:
  struct Reader;
  std::unique_ptr<Reader> reader_;
  std::uint32_t cols_ = 0;
  std::uint32_t z_ = 0;
};
