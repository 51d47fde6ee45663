#include "retrieval/color_similarity.h"

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "numeric/matrix_ops.h"
#include "numeric/status_guard.h"

namespace {

constexpr std::int32_t kHueLevels = 8;
constexpr std::uint32_t kWindow = 8;      // patches per side of a structure window
constexpr std::uint32_t kWindowStep = 4;  // patches between two windows
// Histograms larger than this many bins are refused as out of memory before
// their size could overflow: 2^29 doubles are the 4 GiB the matrix library
// allows at most.
constexpr std::uint64_t kMaxBins = UINT64_C(1) << 29;

// A stored average truncated toward zero to an integer; values beyond the
// 32-bit range saturate and a NaN (no file can produce one) counts as 0.
std::int32_t truncateToInt(double x) {
  if (std::isnan(x)) return 0;
  if (x >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (x <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(x);
}

bool averagesCover(const KPX::Matrix<double>& averages, std::uint32_t columns, std::uint32_t rows) {
  const std::uint64_t patches = static_cast<std::uint64_t>(columns) * rows;
  return patches == 0 || (averages.rows() >= 3 && averages.cols() >= patches);
}

// Cell of each patch coordinate along one axis, for `count` patches split
// into e cells of ceil(count / e). When (e - 1) such cells already pass the
// last patch (count 5 with e 4), the cells are cut proportionally instead
// (floor(x * e / count)), so that every patch lands in exactly one cell and
// as many cells as possible get patches.
std::vector<std::uint32_t> cellOfPatch(std::uint32_t count, std::uint32_t e,
                                       std::uint32_t& cellSize) {
  std::vector<std::uint32_t> cells(count);
  cellSize = count == 0 ? 0 : (count - 1) / e + 1;
  const bool fits = static_cast<std::uint64_t>(e - 1) * cellSize <= count;
  for (std::uint32_t x = 0; x < count; ++x) {
    if (fits) {
      const std::uint32_t c = x / cellSize;
      cells[x] = c < e - 1 ? c : e - 1;
    } else {
      cells[x] = static_cast<std::uint32_t>(static_cast<std::uint64_t>(x) * e / count);
    }
  }
  return cells;
}

}  // namespace

void AverageGrid(const RIMHeader& header, std::uint32_t& columns, std::uint32_t& rows) {
  auto ceilDiv = [](std::uint32_t a, std::uint32_t b) -> std::uint32_t {
    return b == 0 ? 0 : a / b + (a % b != 0 ? 1 : 0);
  };
  columns = ceilDiv(header.imageWidth, header.patchWidth);
  rows = ceilDiv(header.imageHeight, header.patchHeight);
}

Status ColorSimilarity::ReadRimAverages(CAverage& component, const std::string& path) {
  return guardStatus([&] {
    RIMHeader header;
    return readComponentAt(path, component, RimSection::Averages, header);
  });
}

Status ColorSimilarity::ComputeFeatures(KPX::Matrix<double>& M, KPX::Vector<double>& H,
                                        const std::string& path) const {
  // A negative resolution is as meaningless as 0.
  if (resolution <= 0) return status::InvalidValues;
  CAverage averages;
  if (ReadRimAverages(averages, path) != status::Success) return status::ReadFailed;
  std::uint32_t columns = 0, rows = 0;
  AverageGrid(averages.header, columns, rows);
  // The builder's own status is not passed on: a feature it could not finish
  // still compares.
  switch (mode) {
    case kBlockMean:
      static_cast<void>(BlockMeans(M, averages, columns, rows, resolution));
      break;
    case kHistogram:
      static_cast<void>(ColorHistogram(H, averages, columns, rows, resolution));
      break;
    case kColorStructure:
      static_cast<void>(ColorStructureHistogram(H, averages, columns, rows, resolution));
      break;
    default:
      break;
  }
  return status::Success;
}

double ColorSimilarity::Compare(const std::string& path) const {
  KPX::Matrix<double> M;
  KPX::Vector<double> H;
  if (ComputeFeatures(M, H, path) != status::Success) return -1.0;
  switch (mode) {
    case kBlockMean:
      return BlockMeanSimilarity(queryBlockMeans, M);
    case kHistogram:
      return HistogramSimilarity(queryHistogram, H);
    case kColorStructure:
      return HistogramIntersection(queryHistogram, H);
    default:
      return 0.0;
  }
}

Status ColorSimilarity::BlockMeans(KPX::Matrix<double>& M, const KPX::Matrix<double>& averages,
                                   std::uint32_t columns, std::uint32_t rows, std::int32_t e) {
  if (e <= 0 || !averagesCover(averages, columns, rows)) return status::InvalidValues;
  const std::uint64_t cells = static_cast<std::uint64_t>(e) * static_cast<std::uint32_t>(e);
  if (cells > kMaxBins) return status::NoMemory;
  return guardStatus([&] {
    M.resize(static_cast<std::uint32_t>(cells), 3);
    KPX::fill(M, 0.0);
    const std::uint32_t ue = static_cast<std::uint32_t>(e);
    std::uint32_t n = 0, h = 0;
    const std::vector<std::uint32_t> cellColumn = cellOfPatch(columns, ue, n);
    const std::vector<std::uint32_t> cellRow = cellOfPatch(rows, ue, h);
    const double* c0 = averages.empty() ? nullptr : averages[0];
    const double* c1 = averages.empty() ? nullptr : averages[1];
    const double* c2 = averages.empty() ? nullptr : averages[2];
    for (std::uint32_t y = 0; y < rows; ++y) {
      for (std::uint32_t x = 0; x < columns; ++x) {
        const std::size_t k = static_cast<std::size_t>(y) * columns + x;
        double* cell = M[cellRow[y] * ue + cellColumn[x]];
        cell[0] += c0[k];
        cell[1] += c1[k];
        cell[2] += c2[k];
      }
    }
    // The nominal cell size, also for the smaller last cells; the cosine per
    // cell does not see the scale.
    const double size = static_cast<double>(n) * h;
    if (size != 0.0) {
      double* m = M.data();
      for (std::uint32_t k = 0; k < M.count(); ++k) m[k] /= size;
    }
  });
}

Status ColorSimilarity::ColorHistogram(KPX::Vector<double>& H, const KPX::Matrix<double>& averages,
                                       std::uint32_t columns, std::uint32_t rows, std::int32_t e) {
  if (e <= 0 || !averagesCover(averages, columns, rows)) return status::InvalidValues;
  const std::int64_t e64 = e;
  if (e64 > 1024 || static_cast<std::uint64_t>(e64 * e64 * e64) > kMaxBins) return status::NoMemory;
  const std::int64_t bins = e64 * e64 * e64;
  FOLIM_RETURN_IF_ERROR(guardStatus([&] { H.resize(static_cast<std::uint32_t>(bins)); }));
  KPX::fill(H, 0.0);
  const double width = 255.0 / e;
  // Below -e^3 every index is negative whatever the other channels hold, so
  // clamping there keeps the arithmetic in range without changing a bin.
  const double lowest = -static_cast<double>(bins);
  auto level = [&](double value) -> std::int64_t {
    const double x = value / width;
    if (x >= static_cast<double>(e)) return e64 - 1;
    if (!(x > lowest)) return -bins;
    return static_cast<std::int64_t>(x);
  };
  const std::uint64_t patches = static_cast<std::uint64_t>(columns) * rows;
  for (std::uint64_t k = 0; k < patches; ++k) {
    const std::int64_t q0 = level(averages[0][k]);
    const std::int64_t q1 = level(averages[1][k]);
    const std::int64_t q2 = level(averages[2][k]);
    std::int64_t b = e64 * (e64 * q0 + q1) + q2;
    // A negative index, taken as unsigned, is past the end as well.
    if (b < 0 || b >= bins) b = bins - 1;
    H[static_cast<std::uint32_t>(b)] += 1.0;
  }
  return status::Success;
}

Hsv255 ColorSimilarity::RgbToHsv255(std::int32_t c0, std::int32_t c1, std::int32_t c2) {
  // 64-bit arithmetic: (max - min) * 255 must not overflow for any input.
  std::int64_t max, min;
  int f;
  if (c0 < c1) {
    max = c1;
    min = c0;
    f = 1;
  } else {
    max = c0;
    min = c1;
    f = 0;
  }
  if (max < c2) {
    max = c2;
    f = 2;
  } else if (c2 < min) {
    min = c2;
  }
  Hsv255 hsv;
  hsv.v = max;
  hsv.s = max == 0 ? 0 : (max - min) * 255 / max;
  if (hsv.s == 0) {
    hsv.h = 0;
    return hsv;
  }
  const double d = static_cast<double>(max - min);
  double t;
  if (f == 0)
    t = static_cast<double>(static_cast<std::int64_t>(c1) - c2) / d;
  else if (f == 1)
    t = static_cast<double>(static_cast<std::int64_t>(c2) - c0) / d + 2;
  else
    t = static_cast<double>(static_cast<std::int64_t>(c0) - c1) / d + 4;
  hsv.h = static_cast<std::int64_t>(t * 42.5);
  if (hsv.h < 0) hsv.h += 255;
  return hsv;
}

Status ColorSimilarity::ColorStructureHistogram(KPX::Vector<double>& H,
                                                const KPX::Matrix<double>& averages,
                                                std::uint32_t columns, std::uint32_t rows,
                                                std::int32_t e) {
  if (e <= 0 || !averagesCover(averages, columns, rows)) return status::InvalidValues;
  const std::int64_t e64 = e;
  const std::int64_t bins = kHueLevels * e64 * e64;
  if (static_cast<std::uint64_t>(bins) > kMaxBins) return status::NoMemory;
  return guardStatus([&] {
    H.resize(static_cast<std::uint32_t>(bins));
    KPX::fill(H, 0.0);
    if (columns == 0 || rows == 0) return status::Success;

    // Level widths in floating point: 64 for e = 4, and no division by zero
    // for e above 256.
    const double width = 256.0 / e;
    auto level = [&](std::int64_t value) -> std::int64_t {
      const std::int64_t q = static_cast<std::int64_t>(static_cast<double>(value) / width);
      return q > e64 - 1 ? e64 - 1 : q;
    };
    std::vector<std::uint32_t> bin(static_cast<std::size_t>(columns) * rows);
    for (std::size_t k = 0; k < bin.size(); ++k) {
      const Hsv255 hsv = RgbToHsv255(truncateToInt(averages[0][k]), truncateToInt(averages[1][k]),
                                     truncateToInt(averages[2][k]));
      std::int64_t hq = hsv.h / 32;
      if (hq > kHueLevels - 1) hq = kHueLevels - 1;
      std::int64_t b = (hq * e64 + level(hsv.s)) * e64 + level(hsv.v);
      if (b < 0 || b >= bins) b = bins - 1;
      bin[k] = static_cast<std::uint32_t>(b);
    }

    // Each window counts every colour it contains once. Along a side of more
    // than 8 patches a window never reaches the last patch row or column
    // (y0 < rows - 8, x0 < columns - 8); a side of 8 patches or fewer is one
    // window as long as the side, so that a small picture still has colours
    // (and scores 1 against itself) instead of an empty histogram.
    const std::uint32_t windowWidth = columns > kWindow ? kWindow : columns;
    const std::uint32_t windowHeight = rows > kWindow ? kWindow : rows;
    const std::uint32_t lastX0 = columns > kWindow ? columns - kWindow : 1;
    const std::uint32_t lastY0 = rows > kWindow ? rows - kWindow : 1;
    std::vector<std::uint32_t> seenIn(static_cast<std::size_t>(bins), 0);
    std::uint32_t window = 0;
    double total = 0.0;
    for (std::uint32_t y0 = 0; y0 < lastY0; y0 += kWindowStep) {
      for (std::uint32_t x0 = 0; x0 < lastX0; x0 += kWindowStep) {
        ++window;
        for (std::uint32_t y = y0; y < y0 + windowHeight; ++y) {
          const std::uint32_t* line = &bin[static_cast<std::size_t>(y) * columns];
          for (std::uint32_t x = x0; x < x0 + windowWidth; ++x) {
            const std::uint32_t b = line[x];
            if (seenIn[b] == window) continue;
            seenIn[b] = window;
            H[b] += 1.0;
            total += 1.0;
          }
        }
      }
    }
    double* h = H.data();
    for (std::uint32_t k = 0; k < H.count(); ++k) h[k] /= total;
    return status::Success;
  });
}

double ColorSimilarity::BlockMeanSimilarity(const KPX::Matrix<double>& Q,
                                            const KPX::Matrix<double>& T) {
  // A query without cells (its file could not be read) resembles nothing.
  if (Q.rows() == 0) return 0.0;
  const bool sameShape = Q.cols() == T.cols();
  double sum = 0.0;
  for (std::uint32_t i = 0; i < Q.rows(); ++i) {
    const double q = std::sqrt(KPX::squaredNorm(Q[i], Q.cols()));
    const bool hasRow = sameShape && i < T.rows();
    const double t = hasRow ? std::sqrt(KPX::squaredNorm(T[i], T.cols())) : 0.0;
    if (q == 0.0 && t == 0.0) {
      sum += 1.0;
    } else if (q != 0.0 && t != 0.0) {
      double dot = 0.0;
      for (std::uint32_t k = 0; k < Q.cols(); ++k) dot += Q[i][k] * T[i][k];
      sum += dot / (t * q);
    }
  }
  return sum / Q.rows();
}

double ColorSimilarity::HistogramSimilarity(const KPX::Vector<double>& Q,
                                            const KPX::Vector<double>& T) {
  // The bins hold whole counts; they are summed as such.
  double sq = 0.0, st = 0.0;
  for (std::uint32_t k = 0; k < Q.count(); ++k) sq += std::trunc(Q[k]);
  for (std::uint32_t k = 0; k < T.count(); ++k) st += std::trunc(T[k]);
  // Two images without patches have the same (empty) colours; one without
  // patches shares none with any other.
  if (sq == 0.0 || st == 0.0) return sq == 0.0 && st == 0.0 ? 1.0 : 0.0;
  double distance = 0.0;
  for (std::uint32_t k = 0; k < Q.count(); ++k) {
    const double t = k < T.count() ? T[k] : 0.0;
    distance += std::fabs(Q[k] / sq - t / st);
  }
  return 1.0 - 0.5 * distance;
}

double ColorSimilarity::HistogramIntersection(const KPX::Vector<double>& Q,
                                              const KPX::Vector<double>& T) {
  double sum = 0.0;
  for (std::uint32_t k = 0; k < Q.count(); ++k) {
    const double t = k < T.count() ? T[k] : 0.0;
    sum += Q[k] < t ? Q[k] : t;
  }
  return sum;
}
