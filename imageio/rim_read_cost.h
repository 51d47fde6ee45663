// What drawing a RIM file would cost, known before anything is allocated for
// it: the layout of its sections as the decoder reads them, and estimates
// (upper bounds) of the peak memory and the work of drawing it from the
// averages or of decoding it, then fitting the picture to a size. Readers
// that work for other programs (the thumbnailer, the Qt plugin, the
// window's thumbnails) compare them with a budget and refuse what does not
// fit, so that a small file cannot make them allocate gigabytes.
#pragma once

#include <QSize>
#include <cstdint>
#include <string>

#include "codec/rimformat.h"
#include "codec/status.h"

namespace imageio {

// The fixed part of one section: its 40-byte header as far as the cost
// depends on it.
struct RimSectionInfo {
  std::uint32_t mode = 0;
  std::uint32_t payloadLength = 0;
  std::uint32_t stepBytes = 0;  // the step table in front of a zlib payload
  std::uint32_t precisionBits = 0;
  // The fewest bits any non-zero value of an entropy-coded payload takes
  // (its shortest code and value bits), from the payload's code tables; 2
  // (a one-bit code and one value bit) where the tables are not read.
  std::uint32_t bitsPerNonZero = 2;
};

struct RimLayout {
  RIMHeader header;
  std::uint64_t fileSize = 0;
  RimSectionInfo averages;
  RimSectionInfo bases;
  RimSectionInfo coefficients;
  // The three sections, read one after the other from the end of the header
  // as the decoder reads them, have known modes and end within the file
  // (bytes after the last one are ignored, as the decoder ignores them).
  bool whole = false;
};

// Reads and checks the header (status::CannotOpenFile, status::ReadFailed,
// status::InvalidFileType, status::InvalidValues, the last also for a file
// shorter than the header announces) and the section headers. A file whose sections do
// not fit is not an error here: whole stays false. The coefficients' code
// tables are read for their bitsPerNonZero.
Status readRimLayout(const std::string& path, RimLayout& layout);

// Peak bytes and work (multiply-adds and the like) of one way of drawing.
struct ReadCost {
  std::uint64_t bytes = 0;
  std::uint64_t work = 0;
};

// What a reader may spend; 0 leaves a quantity unbounded.
struct ReadBudget {
  std::uint64_t bytes = 0;
  std::uint64_t work = 0;

  bool admits(const ReadCost& cost) const {
    return (bytes == 0 || cost.bytes <= bytes) && (work == 0 || cost.work <= work);
  }
  // A budget of memory, with work in proportion: a little more than a
  // photograph that fills the memory takes to decode with the usual 8 x 8
  // patches and 96 bases (about 18 a byte).
  static ReadBudget ofMemory(std::uint64_t bytes) { return {bytes, bytes * kWorkPerByte}; }
  static constexpr std::uint64_t kWorkPerByte = 24;
};

// The budget of the desktop thumbnails (the thumbnailer, the window):
// Qt's own default allocation limit.
inline constexpr std::uint64_t kThumbnailBudgetBytes = std::uint64_t{128} << 20;
inline ReadBudget thumbnailBudget() { return ReadBudget::ofMemory(kThumbnailBudgetBytes); }

// The averages drawn one pixel per patch and scaled to target.
ReadCost averagesCost(const RimLayout& layout, const QSize& target);
// The whole image decoded and, when target differs from its size, scaled to
// target.
ReadCost decodeCost(const RimLayout& layout, const QSize& target);

}  // namespace imageio
