// The RIM file format: a 44-byte header, then the averages, bases and
// coefficients sections, each a 40-byte section header and a payload.
// Everything is little-endian and read and written field by field.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "codec/status.h"

inline constexpr std::uint16_t kRimMagic = 18002;  // bytes 0x52, 0x46
inline constexpr std::uint32_t kRimHeaderSize = 44;
inline constexpr std::uint32_t kSectionHeaderSize = 40;

struct RIMHeader {
  std::uint16_t fileType = kRimMagic;
  std::uint16_t colorSpace = 0;
  std::uint16_t learningMethod = 0;  // 1: ICA bases, 0: PCA bases
  std::uint16_t reserved0 = 0;
  std::uint32_t imageHeight = 0;
  std::uint32_t imageWidth = 0;
  std::uint32_t patchHeight = 0;
  std::uint32_t patchWidth = 0;
  std::uint32_t dimension = 0;
  std::uint32_t reserved1 = 0;
  std::uint32_t averageOffset = 0;
  std::uint32_t baseOffset = 0;
  std::uint32_t coeffOffset = 0;
};

// The parameter block of a section (bytes 8 to 39 of its header).
struct SectionParameters {
  std::uint32_t stepCount = 0;
  std::uint32_t stepBits = 0;
  std::uint32_t codeLengthCount = 0;
  std::uint32_t codeLengthBits = 0;
  std::uint32_t symbolCount = 0;
  std::uint32_t symbolBits = 0;
  std::uint32_t precisionBits = 0;
  std::uint32_t maxZeroRun = 0;
};

void encodeHeader(const RIMHeader& header, std::uint8_t out[kRimHeaderSize]);
RIMHeader decodeHeader(const std::uint8_t in[kRimHeaderSize]);

// Reads the 44 header bytes at the current position: status::ReadFailed on a
// short read, status::InvalidFileType when the first field is not the magic
// number.
Status readHeader(std::FILE* file, RIMHeader& header);
Status writeHeaderBytes(std::FILE* file, const RIMHeader& header);

// The sizes of the three sections (40 bytes of section header plus the
// payload), laid one after the other from offset 44 as the decoder reads
// them, in a file of fileSize bytes: 14 when a section header cannot be read
// or the last section ends past the file's end, 22 when a payload length
// overflows.
Status readSectionSizes(std::FILE* file, std::uint64_t fileSize, std::uint32_t sizes[3]);

// Derived sizes (the caller validated the header first).
std::uint32_t patchCount(const RIMHeader& header);   // N
std::uint32_t patchLength(const RIMHeader& header);  // P = 3 * pw * ph

// Checks a header read from an untrusted file before anything is sized from
// it. Returns status::InvalidValues for: a zero patch width or height, a
// zero image width or height, a zero dimension or one above the patch
// length, shapes whose element counts (N, P, 3N, D x P, N x D, N x P)
// overflow 32 bits, an image, a patch count or a matrix (the three
// components, the decoder's patch matrix and the P x P covariance the
// encoder learns from) over codecLimits(), and, when
// fileSize (the whole file's length) is non-zero, a file shorter than
// minimumFileSize(). Otherwise status::Success. The colour space, the
// learning flag and the offsets are not checked here.
Status validateHeader(const RIMHeader& header, std::uint64_t fileSize = 0);

// The fewest bytes a file with this (valid) header can have: the header,
// three section headers, and per matrix the cheaper of the two codings:
// every row costs at least one bit in mode 0, and inflating cannot expand
// data more than 1032 times in mode 1.
std::uint64_t minimumFileSize(const RIMHeader& header);

// Bytes from the current position to the end of the file (0 when unknown).
std::uint64_t remainingBytes(std::FILE* file);
// Length of an open file (0 when unknown); the position is kept.
std::uint64_t fileLength(std::FILE* file);

// The dumps' texts.
std::string headerDump(const RIMHeader& header);
std::string fileSizesDump(std::uint32_t averageSize, std::uint32_t baseSize,
                          std::uint32_t coeffSize);

// The header dump and the size dump, written to the codec trace.
void printHeader(const RIMHeader& header);
void printFileSizes(std::uint32_t averageSize, std::uint32_t baseSize, std::uint32_t coeffSize);
