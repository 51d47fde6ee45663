// Serialised form of a component: a 40-byte section header (mode, payload
// length, parameter block) and the payload.
#include <algorithm>

#include "codec/components.h"
#include "codec/rim_file.h"
#include "numeric/status_guard.h"

namespace {

void putU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
}

std::uint32_t getU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void encodeParameters(const SectionParameters& q, std::uint8_t* p) {
  const std::uint32_t fields[] = {q.stepCount,   q.stepBits,   q.codeLengthCount, q.codeLengthBits,
                                  q.symbolCount, q.symbolBits, q.precisionBits,   q.maxZeroRun};
  for (int i = 0; i < 8; ++i) putU32(p + 4 * i, fields[i]);
}

SectionParameters decodeParameters(const std::uint8_t* p) {
  SectionParameters q;
  q.stepCount = getU32(p + 0);
  q.stepBits = getU32(p + 4);
  q.codeLengthCount = getU32(p + 8);
  q.codeLengthBits = getU32(p + 12);
  q.symbolCount = getU32(p + 16);
  q.symbolBits = getU32(p + 20);
  q.precisionBits = getU32(p + 24);
  q.maxZeroRun = getU32(p + 28);
  return q;
}

// Bytes left in the file after the current position; false when unknown.
bool bytesLeft(std::FILE* file, std::uint64_t& left) {
  const long here = std::ftell(file);
  const std::uint64_t length = fileLength(file);
  if (here < 0 || length == 0) return false;
  const auto position = static_cast<std::uint64_t>(here);
  left = length > position ? length - position : 0;
  return true;
}

}  // namespace

std::uint64_t CRIMComponent::payloadLength() const {
  std::uint64_t length = stream.byteCount();
  if (mode == 1) length += zlibData.size();
  return length;
}

std::uint32_t CRIMComponent::sectionSize() const {
  return static_cast<std::uint32_t>(kSectionHeaderSize + payloadLength());
}

Status CRIMComponent::writeSection(std::FILE* file) const {
  if (mode != 0 && mode != 1) return status::UnsupportedVersion;
  const std::uint64_t payload = payloadLength();
  // A section must stay addressable by the header's 32-bit offsets.
  if (payload > UINT32_MAX - kRimHeaderSize - kSectionHeaderSize) return status::InvalidValues;
  std::uint8_t head[kSectionHeaderSize];
  putU32(head, mode);
  putU32(head + 4, static_cast<std::uint32_t>(payload));
  encodeParameters(parameters, head + 8);
  if (std::fwrite(head, 1, kSectionHeaderSize, file) != kSectionHeaderSize)
    return status::WriteFailed;
  FOLIM_RETURN_IF_ERROR(stream.writeToFile(file));
  if (mode == 1 && !zlibData.empty() &&
      std::fwrite(zlibData.data(), 1, zlibData.size(), file) != zlibData.size())
    return status::WriteFailed;
  return status::Success;
}

Status CRIMComponent::readSection(std::FILE* file) {
  std::uint8_t head[kSectionHeaderSize];
  if (std::fread(head, 1, 8, file) != 8) return status::ReadFailed;
  mode = getU32(head);
  const std::uint32_t payload = getU32(head + 4);
  if (std::fread(head + 8, 1, 32, file) != 32) return status::ReadFailed;
  parameters = decodeParameters(head + 8);
  if (mode != 0 && mode != 1) return status::UnsupportedVersion;

  // Nothing is allocated for a payload the file cannot hold.
  std::uint64_t left = 0;
  if (bytesLeft(file, left) && payload > left) return status::ReadFailed;
  FOLIM_RETURN_IF_ERROR(checkParameterBlock(payload));

  if (mode == 0) return stream.loadFromFile(file, payload);

  const auto stepBytes = static_cast<std::uint32_t>(
      (std::uint64_t{parameters.stepCount} * parameters.stepBits + 7) / 8);
  FOLIM_RETURN_IF_ERROR(stream.loadFromFile(file, stepBytes));
  const std::uint32_t zlibLength = payload - stepBytes;
  // Read in pieces, so that memory follows the bytes that really arrive
  // also where the file's length is unknown.
  return guardStatus([&] {
    constexpr std::uint32_t kPiece = 1u << 20;
    zlibData.clear();
    while (zlibData.size() < zlibLength) {
      const std::size_t have = zlibData.size();
      const std::size_t want = std::min<std::size_t>(kPiece, zlibLength - have);
      zlibData.resize(have + want);
      if (std::fread(zlibData.data() + have, 1, want, file) != want) return status::ReadFailed;
    }
    return status::Success;
  });
}

Status readComponentAt(const std::string& path, CRIMComponent& component, RimSection which,
                       RIMHeader& header, bool dequantise) {
  {
    RimFile file = openRimFile(path, "rb");
    if (!file) return status::CannotOpenFile;
    FOLIM_RETURN_IF_ERROR(readHeader(file.get(), header));
    const std::uint64_t length = fileLength(file.get());
    FOLIM_RETURN_IF_ERROR(validateHeader(header, length));
    FOLIM_RETURN_IF_ERROR(component.setShapeFromHeader(header));
    const std::uint32_t offset = which == RimSection::Averages ? header.averageOffset
                                 : which == RimSection::Bases  ? header.baseOffset
                                                               : header.coeffOffset;
    if (offset < kRimHeaderSize ||
        (length != 0 && std::uint64_t{offset} + kSectionHeaderSize > length))
      return status::ReadFailed;
    if (std::fseek(file.get(), static_cast<long>(offset), SEEK_SET) != 0) return status::ReadFailed;
    FOLIM_RETURN_IF_ERROR(component.readSection(file.get()));
  }
  return component.decode(dequantise);
}
