#include "support/hostile_rim.h"

#include <zlib.h>

#include <fstream>
#include <vector>

#include "codec/rimformat.h"
#include "support/bytes.h"
#include "support/synthetic_rim.h"
#include "support/test_support.h"

namespace testing_support {
namespace {

bool bitAt(const std::string& bytes, std::uint64_t bit) {
  return (static_cast<std::uint8_t>(bytes[bit / 8]) >> (7 - bit % 8) & 1) != 0;
}

// The zlib stream of count zero bytes, fed a megabyte at a time.
std::string deflatedZeros(std::uint64_t count) {
  z_stream z{};
  if (deflateInit(&z, Z_DEFAULT_COMPRESSION) != Z_OK) return {};
  const std::vector<Bytef> zeros(1u << 20, 0);
  std::vector<Bytef> chunk(1u << 16);
  std::string out;
  int result = Z_OK;
  while (result != Z_STREAM_END) {
    if (z.avail_in == 0 && count > 0) {
      const auto take = static_cast<uInt>(std::min<std::uint64_t>(count, zeros.size()));
      z.next_in = const_cast<Bytef*>(zeros.data());
      z.avail_in = take;
      count -= take;
    }
    z.next_out = chunk.data();
    z.avail_out = static_cast<uInt>(chunk.size());
    result = deflate(&z, count == 0 ? Z_FINISH : Z_NO_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) break;
    out.append(reinterpret_cast<const char*>(chunk.data()), chunk.size() - z.avail_out);
  }
  deflateEnd(&z);
  return result == Z_STREAM_END ? out : std::string();
}

}  // namespace

Status writeStretchedRim(const std::string& path, const StretchedRimOptions& o) {
  // Two patches side by side: after the left-difference prediction every
  // averages row is (mean, 0), coded as the mean and an end of row, the
  // same codes as (mean, 0, ..., 0) of any length.
  SyntheticRim small;
  small.width = 2 * o.patchWidth;
  small.height = o.patchHeight;
  small.patchWidth = o.patchWidth;
  small.patchHeight = o.patchHeight;
  small.dimension = o.dimension;
  const std::uint32_t p = 3 * o.patchWidth * o.patchHeight;
  small.averages.resize(3, 2);
  KPX::fill(small.averages, static_cast<double>(o.average));
  small.bases.resize(o.dimension, p);
  KPX::fill(small.bases, 0.0);
  small.baseSteps.assign(o.dimension, 1);
  for (std::uint32_t i = 0; i < o.dimension; ++i) small.bases[i][i % p] = 1;
  small.coefficients.resize(2, o.dimension);
  KPX::fill(small.coefficients, static_cast<double>(o.coefficient));
  small.coeffMode = o.coeffMode;
  FOLIM_RETURN_IF_ERROR(writeSyntheticRim(path, small));

  std::string bytes = readFileBytes(path);
  putU32(bytes, 8, o.height);
  putU32(bytes, 12, o.width);
  const std::size_t coeffAt = getU32(bytes, 40);
  const std::string oldPayload = bytes.substr(coeffAt + kSectionHeaderSize);
  const std::uint64_t patches =
      static_cast<std::uint64_t>((o.width + o.patchWidth - 1) / o.patchWidth) *
      ((o.height + o.patchHeight - 1) / o.patchHeight);
  std::string payload;
  if (o.coeffMode == 1) {
    payload = deflatedZeros(patches * o.dimension * 4);
    if (payload.empty()) return status::NoMemory;
  } else {
    // The tables, then the codes of the first row once per patch.
    const std::uint64_t tableBits =
        static_cast<std::uint64_t>(getU32(bytes, coeffAt + 8)) * getU32(bytes, coeffAt + 12) +
        static_cast<std::uint64_t>(getU32(bytes, coeffAt + 16)) * getU32(bytes, coeffAt + 20) +
        static_cast<std::uint64_t>(getU32(bytes, coeffAt + 24)) * getU32(bytes, coeffAt + 28);
    const std::uint64_t rowBits = o.coefficient == 0 ? 1 : 2 * std::uint64_t{o.dimension};
    if ((tableBits + 2 * rowBits + 7) / 8 != oldPayload.size()) return status::InvalidValues;
    const std::uint64_t bits = tableBits + patches * rowBits;
    payload.assign((bits + 7) / 8, '\0');
    for (std::uint64_t b = 0; b < bits; ++b) {
      const std::uint64_t from = b < tableBits ? b : tableBits + (b - tableBits) % rowBits;
      if (bitAt(oldPayload, from))
        payload[b / 8] = static_cast<char>(payload[b / 8] | 0x80 >> b % 8);
    }
  }
  bytes.resize(coeffAt + kSectionHeaderSize);
  putU32(bytes, coeffAt + 4, static_cast<std::uint32_t>(payload.size()));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes << payload << std::string(o.trailingBytes, '\x5A');
  return out.flush() ? status::Success : status::WriteFailed;
}

}  // namespace testing_support
