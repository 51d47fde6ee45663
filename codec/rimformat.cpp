#include "codec/rimformat.h"

#include <algorithm>
#include <climits>

#include "codec/limits.h"
#include "codec/trace.h"

namespace {

void putU16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v & 0xFFu);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>((v >> (8 * i)) & 0xFFu);
}

std::uint16_t getU16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (static_cast<std::uint32_t>(p[1]) << 8));
}

std::uint32_t getU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return (a + b - 1) / b; }

// Shapes computed without overflow, for validation.
struct Shapes {
  std::uint64_t patches = 0;      // N
  std::uint64_t patchLength = 0;  // P
  std::uint64_t dimension = 0;    // D
};

Shapes shapesOf(const RIMHeader& h) {
  Shapes s;
  s.patches = ceilDiv(h.imageWidth, h.patchWidth) * ceilDiv(h.imageHeight, h.patchHeight);
  s.patchLength = UINT64_C(3) * h.patchWidth * h.patchHeight;
  s.dimension = h.dimension;
  return s;
}

// The cheapest a matrix of rows x cols can be stored: one bit per row when
// entropy-coded, 1/1032 of its 32-bit integers when deflated.
std::uint64_t minimumPayload(std::uint64_t rows, std::uint64_t cols) {
  const std::uint64_t huffman = ceilDiv(rows, 8);
  const std::uint64_t zlib = rows * cols * 4 / 1032;
  return std::min(huffman, zlib);
}

}  // namespace

void encodeHeader(const RIMHeader& h, std::uint8_t out[kRimHeaderSize]) {
  putU16(out + 0, h.fileType);
  putU16(out + 2, h.colorSpace);
  putU16(out + 4, h.learningMethod);
  putU16(out + 6, h.reserved0);
  putU32(out + 8, h.imageHeight);
  putU32(out + 12, h.imageWidth);
  putU32(out + 16, h.patchHeight);
  putU32(out + 20, h.patchWidth);
  putU32(out + 24, h.dimension);
  putU32(out + 28, h.reserved1);
  putU32(out + 32, h.averageOffset);
  putU32(out + 36, h.baseOffset);
  putU32(out + 40, h.coeffOffset);
}

RIMHeader decodeHeader(const std::uint8_t in[kRimHeaderSize]) {
  RIMHeader h;
  h.fileType = getU16(in + 0);
  h.colorSpace = getU16(in + 2);
  h.learningMethod = getU16(in + 4);
  h.reserved0 = getU16(in + 6);
  h.imageHeight = getU32(in + 8);
  h.imageWidth = getU32(in + 12);
  h.patchHeight = getU32(in + 16);
  h.patchWidth = getU32(in + 20);
  h.dimension = getU32(in + 24);
  h.reserved1 = getU32(in + 28);
  h.averageOffset = getU32(in + 32);
  h.baseOffset = getU32(in + 36);
  h.coeffOffset = getU32(in + 40);
  return h;
}

Status readHeader(std::FILE* file, RIMHeader& header) {
  std::uint8_t bytes[kRimHeaderSize];
  if (std::fread(bytes, 1, kRimHeaderSize, file) != kRimHeaderSize) return status::ReadFailed;
  header = decodeHeader(bytes);
  if (header.fileType != kRimMagic) return status::InvalidFileType;
  return status::Success;
}

Status writeHeaderBytes(std::FILE* file, const RIMHeader& header) {
  std::uint8_t bytes[kRimHeaderSize];
  encodeHeader(header, bytes);
  if (std::fwrite(bytes, 1, kRimHeaderSize, file) != kRimHeaderSize) return status::WriteFailed;
  return status::Success;
}

std::uint32_t patchCount(const RIMHeader& h) {
  return static_cast<std::uint32_t>(shapesOf(h).patches);
}

std::uint32_t patchLength(const RIMHeader& h) {
  return static_cast<std::uint32_t>(shapesOf(h).patchLength);
}

std::uint64_t minimumFileSize(const RIMHeader& h) {
  const Shapes s = shapesOf(h);
  return kRimHeaderSize + 3 * kSectionHeaderSize + minimumPayload(3, s.patches) +
         minimumPayload(s.dimension, s.patchLength) + minimumPayload(s.patches, s.dimension);
}

Status validateHeader(const RIMHeader& h, std::uint64_t fileSize) {
  if (h.patchWidth == 0 || h.patchHeight == 0) return status::InvalidValues;
  if (h.imageWidth == 0 || h.imageHeight == 0) return status::InvalidValues;
  // The raster takes its sides as signed ints.
  if (h.imageWidth > INT_MAX || h.imageHeight > INT_MAX) return status::InvalidValues;

  const Shapes s = shapesOf(h);
  if (s.dimension == 0 || s.dimension > s.patchLength) return status::InvalidValues;

  const std::uint64_t u32Max = UINT32_MAX;
  const std::uint64_t counts[] = {s.patches,
                                  s.patchLength,
                                  3 * s.patches,
                                  s.dimension * s.patchLength,
                                  s.patches * s.dimension,
                                  s.patches * s.patchLength};
  for (std::uint64_t c : counts) {
    if (c > u32Max) return status::InvalidValues;
  }

  const CodecLimits& limits = codecLimits();
  if (static_cast<std::uint64_t>(h.imageWidth) * h.imageHeight > limits.maxPixels)
    return status::InvalidValues;
  if (s.patches > limits.maxPatches) return status::InvalidValues;
  // The averages, the bases and the coefficients are the matrices a file
  // makes the codec hold whole; the patch matrix (last count) is only ever
  // formed strip by strip, so it is bounded by its 32-bit index alone.
  for (std::size_t i = 2; i + 1 < sizeof(counts) / sizeof(counts[0]); ++i) {
    if (counts[i] * sizeof(double) > limits.maxMatrixBytes) return status::InvalidValues;
  }
  // Learning the bases takes a P x P covariance, so no encoder writes a
  // longer patch; a damaged patch size would otherwise size a bases matrix
  // of gigabytes from a file of a few hundred bytes.
  if (s.patchLength * s.patchLength * sizeof(double) > limits.maxMatrixBytes)
    return status::InvalidValues;

  if (fileSize != 0 && fileSize < minimumFileSize(h)) return status::InvalidValues;
  return status::Success;
}

Status readSectionSizes(std::FILE* file, std::uint64_t fileSize, std::uint32_t sizes[3]) {
  std::uint64_t offset = kRimHeaderSize;
  for (int i = 0; i < 3; ++i) {
    std::uint8_t head[8];
    if (offset > fileSize || offset > LONG_MAX ||
        std::fseek(file, static_cast<long>(offset), SEEK_SET) != 0 ||
        std::fread(head, 1, sizeof head, file) != sizeof head)
      return status::ReadFailed;
    const std::uint32_t payload = getU32(head + 4);
    if (payload > UINT32_MAX - kSectionHeaderSize) return status::InvalidValues;
    sizes[i] = kSectionHeaderSize + payload;
    offset += sizes[i];
  }
  return offset > fileSize ? status::ReadFailed : status::Success;
}

std::uint64_t fileLength(std::FILE* file) {
  const long here = std::ftell(file);
  if (here < 0) return 0;
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  const long end = std::ftell(file);
  std::fseek(file, here, SEEK_SET);
  return end < 0 ? 0 : static_cast<std::uint64_t>(end);
}

std::uint64_t remainingBytes(std::FILE* file) {
  const long here = std::ftell(file);
  if (here < 0) return 0;
  const std::uint64_t length = fileLength(file);
  const auto position = static_cast<std::uint64_t>(here);
  return length > position ? length - position : 0;
}

// The dumps print unsigned fields with %d, as the format has always done.
std::string headerDump(const RIMHeader& h) {
  std::string text = "[Header]\n";
  text += stringf("  File Type = %d\n", h.fileType);
  text += stringf("  ColorSpace = %d\n", h.colorSpace);
  text += stringf("  Image = (%d, %d)\n", static_cast<int>(h.imageWidth),
                  static_cast<int>(h.imageHeight));
  text += stringf("  Patch = (%d, %d)\n", static_cast<int>(h.patchWidth),
                  static_cast<int>(h.patchHeight));
  text += stringf("  Dimension = %d\n", static_cast<int>(h.dimension));
  text += stringf("  OffSet - Average = %d,", static_cast<int>(h.averageOffset));
  text += stringf(" Base = %d,", static_cast<int>(h.baseOffset));
  text += stringf(" Coeff = %d\n", static_cast<int>(h.coeffOffset));
  text += "\n";
  return text;
}

std::string fileSizesDump(std::uint32_t averageSize, std::uint32_t baseSize,
                          std::uint32_t coeffSize) {
  const std::uint32_t total = averageSize + baseSize + coeffSize;
  std::string text = "[File Size]\n";
  text += stringf("  Ave = %d,", static_cast<int>(averageSize));
  text += stringf(" Base = %d,", static_cast<int>(baseSize));
  text += stringf(" Coeff = %d,", static_cast<int>(coeffSize));
  text += stringf(" Total = %d\n\n", static_cast<int>(total));
  return text;
}

void printHeader(const RIMHeader& header) { traceStream() << headerDump(header); }

void printFileSizes(std::uint32_t averageSize, std::uint32_t baseSize, std::uint32_t coeffSize) {
  traceStream() << fileSizesDump(averageSize, baseSize, coeffSize);
}
