#include <zlib.h>

#include <algorithm>
#include <cmath>

#include "codec/components.h"
#include "codec/huffman.h"
#include "codec/saturating.h"
#include "numeric/status_guard.h"

namespace {

// Deflate cannot do better than 1032:1 (a 258-byte match in two bits).
constexpr std::uint64_t kMaxInflateRatio = 1032;

std::uint64_t ceilBytes(std::uint64_t bits) { return (bits + 7) / 8; }

void putLittleEndian(std::uint8_t* p, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((u >> (8 * i)) & 0xFFu);
}

std::int32_t getLittleEndian(const std::uint8_t* p) {
  const std::uint32_t u =
      static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
      (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
  return static_cast<std::int32_t>(u);
}

}  // namespace

CRIMComponent::CRIMComponent() = default;

Status CRIMComponent::setShapeFromHeader(const RIMHeader& h, bool storage) {
  FOLIM_RETURN_IF_ERROR(validateHeader(h));
  return guardStatus([&] {
    std::uint32_t rows = 0;
    std::uint32_t cols = 0;
    shapeFor(h, rows, cols);
    resize(rows, storage ? cols : 0);
    KPX::fill(*this, 0.0);
    header = h;
  });
}

Status CRIMComponent::checkParameterBlock(std::uint64_t payloadBytes) const {
  const SectionParameters& q = parameters;
  if (q.stepCount != expectedStepCount() || q.stepBits > 32) return status::InvalidValues;
  std::uint64_t bits = std::uint64_t{q.stepCount} * q.stepBits;
  if (mode == 1) return ceilBytes(bits) <= payloadBytes ? status::Success : status::InvalidValues;

  if (q.precisionBits == 0 || q.precisionBits > 32 || q.maxZeroRun == 0)
    return status::InvalidValues;
  const std::uint64_t alphabet = std::uint64_t{q.maxZeroRun} * q.precisionBits + 3;
  if (alphabet > kMaxAlphabet) return status::InvalidValues;
  // A usable code has at least one length and one symbol, each non-zero.
  if (q.codeLengthBits == 0 || q.codeLengthBits > 32 || q.symbolBits == 0 || q.symbolBits > 32)
    return status::InvalidValues;
  if (q.codeLengthCount < 2 || q.codeLengthCount > alphabet || q.symbolCount == 0 ||
      q.symbolCount > alphabet)
    return status::InvalidValues;
  bits += std::uint64_t{q.codeLengthCount} * q.codeLengthBits;
  bits += std::uint64_t{q.symbolCount} * q.symbolBits;
  // Every row of the matrix costs at least one bit.
  bits += rows();
  return ceilBytes(bits) <= payloadBytes ? status::Success : status::InvalidValues;
}

Status CRIMComponent::encode() {
  return guardStatus([&] {
    FOLIM_RETURN_IF_ERROR(quantize());
    FOLIM_RETURN_IF_ERROR(writeSteps());
    if (mode != 0 && mode != 1) return status::UnsupportedVersion;
    FOLIM_RETURN_IF_ERROR(predict());
    return mode == 0 ? encodeHuffman() : deflateMatrix();
  });
}

Status CRIMComponent::decode(bool dequantise) {
  return guardStatus([&] {
    if (mode != 0 && mode != 1) return status::UnsupportedVersion;
    FOLIM_RETURN_IF_ERROR(checkParameterBlock(stream.capacity()));
    FOLIM_RETURN_IF_ERROR(readSteps());
    FOLIM_RETURN_IF_ERROR(mode == 0 ? decodeHuffman() : inflateMatrix());
    FOLIM_RETURN_IF_ERROR(restorePrediction());
    return dequantise ? dequantize() : status::Success;
  });
}

namespace {

bool codableAlphabet(const SectionParameters& parameters) {
  const std::uint32_t p = parameters.precisionBits;
  const std::uint32_t z = parameters.maxZeroRun;
  return p != 0 && p <= 32 && z != 0 && std::uint64_t{z} * p + 3 <= CRIMComponent::kMaxAlphabet;
}

// Builds the code from the frequencies and stores its tables.
Status writeCodeTables(const std::vector<std::uint32_t>& frequencies, SectionParameters& parameters,
                       BitStream& stream, HuffmanEncoderTable& table) {
  const Status built = buildEncoderTable(frequencies, table);
  // The symbol search that ends the construction reports "not found".
  if (built != status::ValueNotFound) FOLIM_RETURN_IF_ERROR(built);
  FOLIM_RETURN_IF_ERROR(
      writeTable(stream, table.bits, parameters.codeLengthCount, parameters.codeLengthBits));
  return writeTable(stream, table.huffval, parameters.symbolCount, parameters.symbolBits);
}

}  // namespace

// Count, build the code, store its tables, code the values.
Status CRIMComponent::encodeHuffman() {
  if (!codableAlphabet(parameters)) return status::InvalidValues;
  const std::uint32_t p = parameters.precisionBits;
  const std::uint32_t z = parameters.maxZeroRun;
  HuffmanEncoderTable table;
  FOLIM_RETURN_IF_ERROR(writeCodeTables(countSymbols(*this, p, z), parameters, stream, table));
  return encodeMatrix(stream, *this, table, p, z);
}

// The same bits from the listed symbols of integers.
Status CRIMComponent::encodeHuffman(const SymbolList& symbols) {
  if (!codableAlphabet(parameters)) return status::InvalidValues;
  HuffmanEncoderTable table;
  FOLIM_RETURN_IF_ERROR(writeCodeTables(symbols.frequencies, parameters, stream, table));
  return encodeSymbols(stream, symbols, table);
}

Status CRIMComponent::decodeHuffman() {
  HuffmanDecoderTable table;
  FOLIM_RETURN_IF_ERROR(readHuffmanTable(table));
  return decodeMatrix(stream, *this, table, parameters.precisionBits, parameters.maxZeroRun);
}

Status CRIMComponent::readHuffmanTable(HuffmanDecoderTable& table) {
  std::vector<std::uint32_t> bits;
  std::vector<std::uint32_t> huffval;
  FOLIM_RETURN_IF_ERROR(
      readTable(stream, parameters.codeLengthCount, parameters.codeLengthBits, bits));
  FOLIM_RETURN_IF_ERROR(readTable(stream, parameters.symbolCount, parameters.symbolBits, huffval));
  // A stored code has no length-0 codes, no code longer than 16 bits and no
  // more codes than symbols; anything else is damage, refused before the
  // decoder sizes its tables from the counts.
  if (bits.empty() || bits[0] != 0) return status::InvalidValues;
  std::uint64_t codes = 0;
  for (std::size_t l = 1; l < bits.size(); ++l) {
    if (l > 16 && bits[l] != 0) return status::InvalidValues;
    codes += bits[l];
  }
  if (codes == 0 || codes > huffval.size()) return status::InvalidValues;
  return buildDecoderTable(bits, huffval, table);
}

Status CRIMComponent::deflateMatrix() {
  const std::uint64_t values = count();
  const std::uint64_t inBytes = values * 4;
  if (inBytes > UINT32_MAX) return status::CompressFailed;
  std::vector<std::uint8_t> input(static_cast<std::size_t>(inBytes));
  const double* v = data();
  for (std::uint64_t k = 0; k < values; ++k) putLittleEndian(&input[k * 4], toInt32(v[k]));

  z_stream zs{};
  if (deflateInit(&zs, Z_DEFAULT_COMPRESSION) != Z_OK) return status::CompressFailed;
  // The historical buffer of 1.2 times the input is too small for tiny or
  // incompressible matrices; the bound of the library is always enough. The
  // output bytes do not depend on the buffer once it is large enough.
  const auto historical = static_cast<std::uint64_t>(static_cast<double>(values) * 1.2 * 4);
  const std::uint64_t size =
      std::max<std::uint64_t>(historical, deflateBound(&zs, static_cast<uLong>(inBytes)));
  const Status sized = guardStatus([&] { zlibData.assign(static_cast<std::size_t>(size), 0); });
  if (sized != status::Success) {
    deflateEnd(&zs);
    return sized;
  }
  std::uint8_t dummy = 0;
  zs.next_in = input.empty() ? &dummy : input.data();
  zs.avail_in = static_cast<uInt>(inBytes);
  zs.next_out = zlibData.data();
  zs.avail_out = static_cast<uInt>(size);
  const int result = deflate(&zs, Z_FINISH);
  const std::uint64_t left = zs.avail_out;
  if (result != Z_STREAM_END) {
    deflateEnd(&zs);
    zlibData.clear();
    return status::CompressFailed;
  }
  zlibData.resize(static_cast<std::size_t>(size - left));
  if (deflateEnd(&zs) != Z_OK) return status::CompressFailed;
  return status::Success;
}

Status CRIMComponent::inflateMatrix() {
  const std::uint64_t values = count();
  const std::uint64_t outBytes = values * 4;
  // A stream too short to expand to the matrix is refused before the
  // output buffer is allocated.
  if (outBytes > UINT32_MAX || outBytes > (zlibData.size() + 1) * kMaxInflateRatio)
    return status::DecompressFailed;
  std::vector<std::uint8_t> output(static_cast<std::size_t>(outBytes));

  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return status::DecompressFailed;
  std::uint8_t dummyIn = 0;
  std::uint8_t dummyOut = 0;
  zs.next_in = zlibData.empty() ? &dummyIn : zlibData.data();
  zs.avail_in = static_cast<uInt>(zlibData.size());
  zs.next_out = output.empty() ? &dummyOut : output.data();
  zs.avail_out = static_cast<uInt>(outBytes);
  const int result = inflate(&zs, Z_FINISH);
  // Exactly the matrix: a stream that ends early or holds more is damaged.
  const bool exact = result == Z_STREAM_END && zs.avail_out == 0;
  const int ended = inflateEnd(&zs);
  if (!exact || ended != Z_OK) return status::DecompressFailed;

  double* v = data();
  for (std::uint64_t k = 0; k < values; ++k) v[k] = getLittleEndian(&output[k * 4]);
  return status::Success;
}

Status CRIMComponent::writeStepTable(const KPX::Vector<std::uint32_t>& steps) {
  const std::vector<std::uint32_t> table(steps.data(), steps.data() + steps.count());
  return writeTable(stream, table, parameters.stepCount, parameters.stepBits);
}

Status CRIMComponent::readStepTable(KPX::Vector<std::uint32_t>& steps) {
  if (parameters.stepCount != expectedStepCount()) return status::InvalidValues;
  std::vector<std::uint32_t> table;
  FOLIM_RETURN_IF_ERROR(readTable(stream, parameters.stepCount, parameters.stepBits, table));
  if (table.size() != parameters.stepCount) return status::InvalidValues;
  steps.resize(parameters.stepCount);
  std::copy(table.begin(), table.end(), steps.data());
  return status::Success;
}
