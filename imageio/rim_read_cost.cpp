#include "imageio/rim_read_cost.h"

#include <algorithm>
#include <vector>

#include "codec/bitstream.h"
#include "codec/huffman.h"
#include "codec/rim_file.h"
#include "numeric/parallel.h"

namespace imageio {
namespace {

std::uint32_t u32At(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// A bit stream is loaded into a buffer rounded up to the next 64 KiB; a zlib
// payload is read into a vector grown in pieces (up to twice its length).
constexpr std::uint64_t kStreamSlack = 65536;

std::uint64_t sectionBytes(const RimSectionInfo& s) {
  if (s.mode == 0) return s.payloadLength + kStreamSlack;
  return s.stepBytes + kStreamSlack + 2 * std::uint64_t{s.payloadLength - s.stepBytes};
}

// A 24-bit row, padded to four bytes (the raster's and Qt's).
std::uint64_t rowBytes(std::uint64_t width) { return (3 * width + 3) & ~std::uint64_t{3}; }

struct Shape {
  std::uint64_t width, height, columns, rows, patches, patchPixels, patchLength, dimension;
};

Shape shapeOf(const RIMHeader& h) {
  Shape s{};
  s.width = h.imageWidth;
  s.height = h.imageHeight;
  s.columns = (s.width + h.patchWidth - 1) / h.patchWidth;
  s.rows = (s.height + h.patchHeight - 1) / h.patchHeight;
  s.patches = s.columns * s.rows;
  s.patchPixels = std::uint64_t{h.patchWidth} * h.patchHeight;
  s.patchLength = 3 * s.patchPixels;
  s.dimension = h.dimension;
  return s;
}

// glibc gives a freed block back to the system only above its mmap
// threshold, which grows up to 32 MiB; smaller blocks freed while decoding
// may stay with the process while the picture is fitted.
std::uint64_t lingering(std::uint64_t block) {
  return block < (std::uint64_t{32} << 20) ? block : 0;
}

// After the pixels exist: the raster and its 24-bit QImage side by side,
// then (the raster gone) the QImage scaled. Qt's smooth scaling of 24-bit
// pixels takes up to 8 bytes a source pixel at its peak (measured: 7.1),
// and the scaled picture in 32 and 24 bits.
std::uint64_t fittingBytes(std::uint64_t width, std::uint64_t height, const QSize& target) {
  const std::uint64_t picture = rowBytes(width) * height;
  const auto targetWidth = static_cast<std::uint64_t>(target.width());
  const auto targetHeight = static_cast<std::uint64_t>(target.height());
  if (targetWidth == width && targetHeight == height) return 2 * picture;
  const std::uint64_t scaling = 8 * width * height + 7 * targetWidth * targetHeight;
  return std::max(2 * picture, picture + scaling);
}

// The fewest bits of a non-zero value in an entropy-coded section whose
// header is head: the code tables at the front of its payload give each
// symbol its code length; a value of size s follows its code with s bits.
// Symbol 0 ends a row and z * p + 1 is a run of zeros: neither is a value.
std::uint32_t fewestBitsPerValue(std::FILE* file, const std::uint8_t* head) {
  constexpr std::uint32_t kAtLeast = 2;
  const std::uint32_t payload = u32At(head + 4);
  const std::uint32_t p = u32At(head + 32);
  const std::uint32_t z = u32At(head + 36);
  const std::uint64_t tableBits = std::uint64_t{u32At(head + 8)} * u32At(head + 12) +
                                  std::uint64_t{u32At(head + 16)} * u32At(head + 20) +
                                  std::uint64_t{u32At(head + 24)} * u32At(head + 28);
  const std::uint64_t tableBytes = (tableBits + 7) / 8;
  if (p == 0 || p > 32 || tableBytes > payload || tableBytes > (1u << 22)) return kAtLeast;
  std::vector<std::uint8_t> bytes(tableBytes);
  if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) return kAtLeast;
  BitStream stream;
  std::vector<std::uint32_t> steps;
  std::vector<std::uint32_t> counts;
  std::vector<std::uint32_t> symbols;
  if (stream.loadFromMemory(bytes.data(), static_cast<std::uint32_t>(bytes.size())) !=
          status::Success ||
      readTable(stream, u32At(head + 8), u32At(head + 12), steps) != status::Success ||
      readTable(stream, u32At(head + 16), u32At(head + 20), counts) != status::Success ||
      readTable(stream, u32At(head + 24), u32At(head + 28), symbols) != status::Success)
    return kAtLeast;
  const std::uint64_t zeroRun = std::uint64_t{z} * p + 1;
  std::uint64_t fewest = UINT64_MAX;
  std::size_t k = 0;
  // The decoder knows codes of up to 16 bits only.
  for (std::size_t length = 1; length < counts.size() && length <= 16; ++length) {
    for (std::uint32_t c = 0; c < counts[length] && k < symbols.size(); ++c, ++k) {
      const std::uint64_t t = symbols[k];
      if (t == 0 || t >= zeroRun) continue;
      const std::uint64_t size = t % p == 0 ? p : t % p;
      fewest = std::min<std::uint64_t>(fewest, length + size);
    }
  }
  // No value has a code: every coefficient decodes to 0 (or the stream
  // fails); one bit a value still bounds what any stream could say.
  if (fewest == UINT64_MAX) return kAtLeast;
  return static_cast<std::uint32_t>(std::max<std::uint64_t>(fewest, kAtLeast));
}

}  // namespace

Status readRimLayout(const std::string& path, RimLayout& layout) {
  layout = RimLayout{};
  RimFile file = openRimFile(path, "rb");
  if (!file) return status::CannotOpenFile;
  FOLIM_RETURN_IF_ERROR(readHeader(file.get(), layout.header));
  layout.fileSize = fileLength(file.get());
  FOLIM_RETURN_IF_ERROR(validateHeader(layout.header, layout.fileSize));

  std::uint64_t at = kRimHeaderSize;
  for (RimSectionInfo* section : {&layout.averages, &layout.bases, &layout.coefficients}) {
    std::uint8_t head[kSectionHeaderSize];
    if (std::fseek(file.get(), static_cast<long>(at), SEEK_SET) != 0 ||
        std::fread(head, 1, sizeof head, file.get()) != sizeof head)
      return status::Success;
    RimSectionInfo info{
        u32At(head), u32At(head + 4),
        static_cast<std::uint32_t>((std::uint64_t{u32At(head + 8)} * u32At(head + 12) + 7) / 8),
        u32At(head + 32)};
    if (info.mode > 1 || (info.mode == 1 && info.stepBytes > info.payloadLength))
      return status::Success;
    if (section == &layout.coefficients && info.mode == 0)
      info.bitsPerNonZero = fewestBitsPerValue(file.get(), head);
    at += kSectionHeaderSize + std::uint64_t{info.payloadLength};
    if (at > layout.fileSize) return status::Success;
    *section = info;
  }
  layout.whole = true;
  return status::Success;
}

ReadCost averagesCost(const RimLayout& layout, const QSize& target) {
  const Shape s = shapeOf(layout.header);
  const RimSectionInfo& a = layout.averages;
  const std::uint64_t inflated = a.mode == 1 ? 12 * s.patches : 0;
  const std::uint64_t matrix = 24 * s.patches;
  const std::uint64_t stream = sectionBytes(a);
  const std::uint64_t reading = matrix + inflated + stream + rowBytes(s.columns) * s.rows;
  const std::uint64_t left = lingering(matrix) + lingering(inflated) + lingering(stream);
  ReadCost cost;
  cost.bytes = std::max(reading, left + fittingBytes(s.columns, s.rows, target));
  cost.work = 16 * s.patches + inflated + 8 * std::uint64_t{a.payloadLength};
  return cost;
}

ReadCost decodeCost(const RimLayout& layout, const QSize& target) {
  const Shape s = shapeOf(layout.header);
  const std::uint64_t averages = 24 * s.patches;
  const std::uint64_t bases = 8 * s.dimension * s.patchLength;
  ReadCost cost;
  if (!layout.whole) {
    // The decoder sizes the averages and the bases, then stops where the
    // file does.
    cost.bytes = averages + bases + layout.fileSize + 3 * kStreamSlack;
    cost.work = 3 * s.patches + s.dimension * s.patchLength + 8 * layout.fileSize;
    return cost;
  }
  const RimSectionInfo& c = layout.coefficients;
  const std::uint64_t coefficients = s.patches * s.dimension;
  // Each non-zero coefficient of a coded stream takes its bits; a zlib
  // stream can hold any number of them.
  const std::uint64_t nonZero =
      c.mode == 0 ? std::min(coefficients, 8 * std::uint64_t{c.payloadLength} / c.bitsPerNonZero)
                  : coefficients;
  const std::uint64_t threads = std::max<std::uint32_t>(1, KPX::threadCount());
  std::uint64_t coefficientBytes = 0;
  if (c.mode == 0 && c.precisionBits <= 31) {
    // Read a chunk of grid rows at a time, two chunks alive: the terms of
    // their non-zero coefficients and the row ends.
    const std::uint64_t chunkRows = std::max(threads, (s.rows + 15) / 16);
    const std::uint64_t chunkPatches = std::min(s.patches, chunkRows * s.columns);
    coefficientBytes = 2 * (12 * std::min(nonZero, chunkPatches * s.dimension) + 4 * chunkPatches);
  } else {
    coefficientBytes = 8 * coefficients + (c.mode == 1 ? 4 * coefficients : 0);
  }
  const std::uint64_t inflated = (layout.averages.mode == 1 ? 12 * s.patches : 0) +
                                 (layout.bases.mode == 1 ? 4 * s.dimension * s.patchLength : 0);
  // Every thread multiplies into a strip of one grid row (doubles and bytes).
  const std::uint64_t strips = (threads + 1) * 27 * s.columns * s.patchPixels;
  const std::uint64_t blocks[] = {sectionBytes(layout.averages),
                                  sectionBytes(layout.bases),
                                  sectionBytes(c),
                                  averages,
                                  bases,
                                  bases,
                                  inflated,
                                  coefficientBytes,
                                  strips};
  std::uint64_t decoding = rowBytes(s.width) * s.height;
  std::uint64_t left = 0;
  for (const std::uint64_t block : blocks) {
    decoding += block;
    left += lingering(block);
  }
  cost.bytes = std::max(decoding, left + fittingBytes(s.width, s.height, target));
  cost.work = nonZero * s.patchLength + coefficients + 3 * s.patches + s.dimension * s.patchLength +
              16 * s.width * s.height + 8 * layout.fileSize;
  return cost;
}

}  // namespace imageio
