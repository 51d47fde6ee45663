// The entropy decoder alone: two stored tables, the decoder built from them
// and a matrix decoded with them, from a stream whose parameters come from
// the first bytes. The fast decoder must agree with the bit-by-bit reference
// on every stream, and whatever decodes must code back to the same matrix.
#include <algorithm>
#include <cstdlib>

#include "codec/bitstream.h"
#include "codec/huffman.h"
#include "fuzz/fuzz_support.h"
#include "numeric/matrix.h"
#include "numeric/sparse_product.h"

namespace {

bool sameMatrix(const KPX::Matrix<double>& a, const KPX::Matrix<double>& b) {
  if (a.rows() != b.rows() || a.cols() != b.cols()) return false;
  for (std::uint32_t k = 0; k < a.count(); ++k)
    if (a.data()[k] != b.data()[k]) return false;
  return true;
}

// Reads whole's rows through HuffmanRowReader, three at a time, from stream:
// true when it ends with the whole-matrix decoder's status and, when that is
// a success, gives the same entries and leaves the stream at the same place
// (the reader hands its position back when it goes).
bool sameAsRowReader(BitStream& stream, const KPX::Matrix<std::int32_t>& whole,
                     const HuffmanDecoderTable& table, std::uint32_t p, std::uint32_t z,
                     Status expected, std::uint32_t expectedPosition) {
  Status s = status::Success;
  bool same = true;
  {
    HuffmanRowReader reader;
    s = reader.start(stream, table, p, z, whole.cols());
    KPX::SparseRows sparse;
    for (std::uint32_t row = 0; s == status::Success && row < whole.rows(); row += 3) {
      const std::uint32_t chunk = std::min<std::uint32_t>(3, whole.rows() - row);
      s = reader.read(chunk, sparse);
      if (s != status::Success) break;
      if (sparse.end.size() != chunk) return false;
      std::uint32_t t = 0;
      for (std::uint32_t r = 0; r < chunk; ++r) {
        for (std::uint32_t col = 0; col < whole.cols(); ++col) {
          const bool listed = t < sparse.end[r] && sparse.index[t] == col;
          const double value = listed ? sparse.value[t++] : 0.0;
          same = same && value == static_cast<double>(whole[row + r][col]);
        }
        same = same && t == sparse.end[r];
      }
    }
  }
  if (s != expected) return false;
  return s != status::Success || (same && stream.bitPosition() == expectedPosition);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz_support::setUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz_support::Fields in(data, size);
  // p and z as a section may carry them (0 and values above 32 included),
  // a small shape, and the two tables' counts and widths.
  const std::uint32_t p = in.u8() % 34;
  const std::uint32_t z = in.u8() % 40;
  const std::uint32_t rows = 1 + in.u8() % 32;
  const std::uint32_t cols = 1 + in.u8() % 64;
  const std::uint32_t lengthCount = in.u8() % 40;
  const std::uint32_t lengthBits = in.u8() % 34;
  const std::uint32_t symbolCount = in.u16() % 1400;
  const std::uint32_t symbolBits = in.u8() % 34;

  BitStream stream;
  if (stream.loadFromMemory(in.rest(), static_cast<std::uint32_t>(in.restSize())) !=
      status::Success)
    std::abort();
  std::vector<std::uint32_t> bits;
  std::vector<std::uint32_t> huffval;
  if (readTable(stream, lengthCount, lengthBits, bits) != status::Success) return 0;
  if (bits.size() != lengthCount) std::abort();
  if (readTable(stream, symbolCount, symbolBits, huffval) != status::Success) return 0;
  if (huffval.size() != symbolCount) std::abort();
  HuffmanDecoderTable table;
  if (buildDecoderTable(bits, huffval, table) != status::Success) return 0;

  BitStream reference = stream;
  BitStream integral = stream;
  BitStream streamed = stream;
  KPX::Matrix<double> fast(rows, cols);
  KPX::Matrix<double> slow(rows, cols);
  KPX::fill(fast, 0.0);
  KPX::fill(slow, 0.0);
  const Status a = decodeMatrix(stream, fast, table, p, z);
  const Status b = decodeMatrixReference(reference, slow, table, p, z);
  if (a != b) std::abort();
  // The decoder's integer form agrees wherever the values fit in 32 bits.
  if (p <= 31) {
    KPX::Matrix<std::int32_t> integers(rows, cols);
    KPX::fill(integers, std::int32_t{0});
    if (decodeZeroedIntegers(integral, integers, table, p, z) != a) std::abort();
    if (a == status::Success) {
      if (integral.bitPosition() != stream.bitPosition()) std::abort();
      for (std::uint32_t k = 0; k < fast.count(); ++k)
        if (static_cast<double>(integers.data()[k]) != fast.data()[k]) std::abort();
    }
    // So does the streamed decoder, reading the rows a few at a time.
    if (!sameAsRowReader(streamed, integers, table, p, z, a, integral.bitPosition())) std::abort();
  }
  if (a != status::Success) return 0;
  if (!sameMatrix(fast, slow) || stream.bitPosition() != reference.bitPosition()) std::abort();

  // What decoded codes again, and decodes to the same values (for the p and
  // z a section may use; others decode at most zeros and end-of-row marks).
  if (p == 0 || p > 32 || z == 0) return 0;
  HuffmanEncoderTable encoder;
  Status s = buildEncoderTable(countSymbols(fast, p, z), encoder);
  if (s == status::ValueNotFound) s = status::Success;  // how the construction ends
  if (s != status::Success) std::abort();
  BitStream coded;
  std::uint32_t countField = 0;
  std::uint32_t widthField = 0;
  if (writeTable(coded, encoder.bits, countField, widthField) != status::Success) std::abort();
  std::uint32_t symbolCountField = 0;
  std::uint32_t symbolWidthField = 0;
  if (writeTable(coded, encoder.huffval, symbolCountField, symbolWidthField) != status::Success)
    std::abort();
  if (encodeMatrix(coded, fast, encoder, p, z) != status::Success) std::abort();
  coded.rewind();
  std::vector<std::uint32_t> bits2;
  std::vector<std::uint32_t> huffval2;
  HuffmanDecoderTable table2;
  KPX::Matrix<double> again(rows, cols);
  if (readTable(coded, countField, widthField, bits2) != status::Success ||
      readTable(coded, symbolCountField, symbolWidthField, huffval2) != status::Success ||
      buildDecoderTable(bits2, huffval2, table2) != status::Success ||
      decodeMatrix(coded, again, table2, p, z) != status::Success || !sameMatrix(again, fast))
    std::abort();
  return 0;
}
