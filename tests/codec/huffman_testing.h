// Helpers shared by the Huffman coder tests: the whole coding of a matrix
// (tables, then values) into bytes, and its decoding.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/bitstream.h"
#include "codec/huffman.h"
#include "numeric/matrix.h"

namespace huffman_testing {

struct Coded {
  std::vector<std::uint8_t> bytes;
  std::uint32_t lengthCount = 0, lengthBits = 0, symbolCount = 0, symbolBits = 0;
};

inline Status encodeAll(const KPX::Matrix<double>& m, std::uint32_t p, std::uint32_t z,
                        Coded& out) {
  BitStream s;
  HuffmanEncoderTable table;
  Status st = buildEncoderTable(countSymbols(m, p, z), table);
  if (st == 0) st = writeTable(s, table.bits, out.lengthCount, out.lengthBits);
  if (st == 0) st = writeTable(s, table.huffval, out.symbolCount, out.symbolBits);
  if (st == 0) st = encodeMatrix(s, m, table, p, z);
  out.bytes.assign(s.data(), s.data() + s.byteCount());
  return st;
}

// Decodes into m (already shaped) with the fast or the reference decoder.
inline Status decodeAll(const Coded& in, KPX::Matrix<double>& m, std::uint32_t p, std::uint32_t z,
                        bool reference = false) {
  BitStream s;
  Status st = s.loadFromMemory(in.bytes.data(), static_cast<std::uint32_t>(in.bytes.size()));
  std::vector<std::uint32_t> bits, huffval;
  HuffmanDecoderTable table;
  if (st == 0) st = readTable(s, in.lengthCount, in.lengthBits, bits);
  if (st == 0) st = readTable(s, in.symbolCount, in.symbolBits, huffval);
  if (st == 0) st = buildDecoderTable(bits, huffval, table);
  if (st == 0) {
    st = reference ? decodeMatrixReference(s, m, table, p, z) : decodeMatrix(s, m, table, p, z);
  }
  return st;
}

}  // namespace huffman_testing
