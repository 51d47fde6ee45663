// The Huffman coder of the RIM components: a matrix of integer-valued doubles
// becomes (zero run, magnitude category) symbols plus raw value bits, coded
// with an optimal prefix code limited to 16 bits whose tables are stored in
// the same bit stream.
//
// Symbol alphabet for precision p and longest run z (A = z * p + 3 symbols):
// 0 end of row; r * p + s a run of r zeros then a value of s bits;
// z * p + 1 a run of exactly z zeros; z * p + 2 reserved (never coded).
#pragma once

#include <cstdint>
#include <vector>

#include "codec/bitstream.h"
#include "codec/status.h"
#include "numeric/matrix.h"

struct HuffmanEncoderTable {
  std::vector<std::uint32_t> codeSizes;   // unadjusted code length per symbol
  std::vector<std::uint32_t> bits;        // code-length counts, L + 1 entries
  std::vector<std::uint32_t> huffval;     // symbols in code order, then zeros
  std::vector<std::uint16_t> ehufco;      // code per symbol
  std::vector<std::uint32_t> ehufsi;      // code length per symbol (0: none)
};

struct HuffmanDecoderTable {
  std::vector<std::uint32_t> bits;
  std::vector<std::uint32_t> huffval;
  std::vector<std::int32_t> maxcode;  // -1: no code of that length
  std::vector<std::int32_t> mincode;
  std::vector<std::int32_t> valptr;
  // Implementations may add fast look-up tables here.
  std::vector<std::uint16_t> lookup;
};

std::uint32_t alphabetSize(std::uint32_t precisionBits, std::uint32_t maxZeroRun);

// Number of bits of |v| (0 for 0).
std::uint32_t sizeCategory(std::uint32_t magnitude);
// The value of s raw bits b.
std::int32_t extendValue(std::uint32_t bits, std::uint32_t size);

std::vector<std::uint32_t> countSymbols(const KPX::Matrix<double>& matrix,
                                        std::uint32_t precisionBits, std::uint32_t maxZeroRun);
// Builds the code from the frequencies (A entries).
Status buildEncoderTable(const std::vector<std::uint32_t>& frequencies, HuffmanEncoderTable& table);

// Stores an integer table: count and width (bits of the largest entry) are
// returned for the section's parameter block; every entry is written with
// that width.
Status writeTable(BitStream& stream, const std::vector<std::uint32_t>& table, std::uint32_t& count,
                  std::uint32_t& width);
// Reads count entries of width bits (22 for width > 32; 4 when the stream
// cannot hold them).
Status readTable(BitStream& stream, std::uint32_t count, std::uint32_t width,
                 std::vector<std::uint32_t>& table);

Status encodeMatrix(BitStream& stream, const KPX::Matrix<double>& matrix,
                    const HuffmanEncoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun);

// Rebuilds the decoder from the stored tables; a non-zero status when they do
// not describe a usable prefix code.
Status buildDecoderTable(const std::vector<std::uint32_t>& bits,
                         const std::vector<std::uint32_t>& huffval, HuffmanDecoderTable& table);
Status decodeSymbol(BitStream& stream, const HuffmanDecoderTable& table, std::uint32_t& symbol);
// Decodes into matrix (its shape already set). Damaged input stops with a
// non-zero status (4): codes too long, runs past the row end, the reserved
// symbol, sizes beyond the precision, reads past the end.
Status decodeMatrix(BitStream& stream, KPX::Matrix<double>& matrix,
                    const HuffmanDecoderTable& table, std::uint32_t precisionBits,
                    std::uint32_t maxZeroRun);
