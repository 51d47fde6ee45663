// The "Color" half of similarity search. The stored per-patch averages of a
// RIM file form a small image, one pixel per patch; three colour measures are
// computed from it without decoding the image:
//   0 "Block mean"  mean colour of each cell of an e x e grid, mean cosine;
//   1 "Histogram"   joint histogram, e bins per channel, 1 - half the L1
//                   distance of the normalised histograms;
//   2 "MPEG-7 CSD"  colour structure histogram over HSV (8 hues x e x e) from
//                   8 x 8 patch windows, histogram intersection.
// Values are the averages as stored (not multiplied back by their steps);
// the channels are used in stored order whatever colour space the file has.
//
// One object serves one search: ComputeFeatures of the query into the two
// query members, then Compare per target. Compare only reads the object, so
// several threads may call it at once.
#pragma once

#include <cstdint>
#include <string>

#include "codec/components.h"
#include "codec/status.h"
#include "numeric/matrix.h"

// H, S, V in 0..255 from three channel values 0..255 taken as red, green,
// blue. Other inputs give other values (64 bits hold them without overflow).
struct Hsv255 {
  std::int64_t h = 0;
  std::int64_t s = 0;
  std::int64_t v = 0;
};

class ColorSimilarity {
 public:
  static constexpr std::int32_t kBlockMean = 0;
  static constexpr std::int32_t kHistogram = 1;
  static constexpr std::int32_t kColorStructure = 2;

  // Reads the header and the averages section of a RIM file, decoded without
  // dequantisation. status::CannotOpenFile when the file cannot be opened,
  // status::ReadFailed for a short header or a failed seek,
  // status::InvalidFileType for another kind of file, status::InvalidValues
  // for an implausible header, else the statuses of reading and decoding the
  // section.
  static Status ReadRimAverages(CAverage& component, const std::string& path);

  // The feature of the mode from the file's averages: the block means (mode
  // 0) into M or the histogram (modes 1, 2) into H. status::InvalidValues
  // when resolution is not positive, status::ReadFailed when the averages
  // cannot be read; otherwise status::Success, also when the builder ran out
  // of memory (the feature is then left as built so far).
  Status ComputeFeatures(KPX::Matrix<double>& M, KPX::Vector<double>& H,
                         const std::string& path) const;

  // Similarity of the target's feature with the query's; -1 when the target
  // cannot be read, 0 for a mode outside 0..2.
  double Compare(const std::string& path) const;

  // The feature builders. averages has 3 rows (channels) and at least
  // columns x rows columns; patch (x, y) is column y * columns + x.
  // status::InvalidValues when the averages are too small for the grid or e
  // is not positive, status::NoMemory when memory runs out.
  static Status BlockMeans(KPX::Matrix<double>& M, const KPX::Matrix<double>& averages,
                           std::uint32_t columns, std::uint32_t rows, std::int32_t e);
  static Status ColorHistogram(KPX::Vector<double>& H, const KPX::Matrix<double>& averages,
                               std::uint32_t columns, std::uint32_t rows, std::int32_t e);
  static Status ColorStructureHistogram(KPX::Vector<double>& H, const KPX::Matrix<double>& averages,
                                        std::uint32_t columns, std::uint32_t rows, std::int32_t e);

  static Hsv255 RgbToHsv255(std::int32_t c0, std::int32_t c1, std::int32_t c2);

  // The three similarities; each compares over the query's rows or bins, a
  // missing row or bin of the target counting as zero.
  static double BlockMeanSimilarity(const KPX::Matrix<double>& Q, const KPX::Matrix<double>& T);
  static double HistogramSimilarity(const KPX::Vector<double>& Q, const KPX::Vector<double>& T);
  static double HistogramIntersection(const KPX::Vector<double>& Q, const KPX::Vector<double>& T);

  KPX::Matrix<double> queryBlockMeans;
  KPX::Vector<double> queryHistogram;
  std::int32_t resolution = 0;
  std::int32_t mode = 0;
};

// Patch columns and rows of a RIM image: ceil(width / patchWidth) and
// ceil(height / patchHeight) (0 for a zero patch size).
void AverageGrid(const RIMHeader& header, std::uint32_t& columns, std::uint32_t& rows);
