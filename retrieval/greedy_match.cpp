#include "retrieval/greedy_match.h"

#include <cmath>

namespace {

// Sums the weighted values in the order of the steps, so that both
// procedures round identically.
struct WeightedSum {
  double x = 0.0;
  double w = 0.0;
  void add(std::uint32_t weight, double value) {
    x += static_cast<double>(weight) * value;
    w += static_cast<double>(weight);
  }
  // No pair to match: nothing alike can be established.
  double result() const { return w == 0.0 ? 0.0 : x / w; }
};

}  // namespace

double GreedyMatchScoreReference(KPX::Matrix<double>& S, std::uint32_t n,
                                 std::vector<MatchStep>* steps) {
  if (steps != nullptr) steps->clear();
  WeightedSum sum;
  const std::uint32_t rows = S.rows();
  const std::uint32_t cols = S.cols();
  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint32_t bestRow = i;
    std::uint32_t bestCol = i;
    double best = S[i][i];
    for (std::uint32_t r = i; r < n; ++r) {
      const double* row = S[r];
      for (std::uint32_t c = i; c < n; ++c) {
        if (row[c] > best) {
          best = row[c];
          bestRow = r;
          bestCol = c;
        }
      }
    }
    sum.add(n - i, best);
    if (steps != nullptr) steps->push_back({bestRow, bestCol, best});
    if (bestRow != i) {
      for (std::uint32_t c = 0; c < cols; ++c) S[bestRow][c] = S[i][c];
    }
    if (bestCol != i) {
      for (std::uint32_t r = 0; r < rows; ++r) S[r][bestCol] = S[r][i];
    }
  }
  return sum.result();
}

double GreedyMatchScore(KPX::Matrix<double>& S, std::uint32_t n, std::vector<MatchStep>* steps) {
  if (steps != nullptr) steps->clear();
  WeightedSum sum;
  if (n == 0) return sum.result();

  // Per block row: whether it has a comparable entry in the block's columns,
  // the first largest such entry and its column.
  std::vector<char> rowHas(n, 0);
  std::vector<double> rowMax(n, 0.0);
  std::vector<std::uint32_t> rowMaxCol(n, 0);

  auto rescan = [&](std::uint32_t r, std::uint32_t firstCol) {
    const double* row = S[r];
    std::uint32_t c = firstCol;
    while (c < n && std::isnan(row[c])) ++c;
    if (c == n) {
      rowHas[r] = 0;
      return;
    }
    double best = row[c];
    std::uint32_t bestCol = c;
    for (++c; c < n; ++c) {
      if (row[c] > best) {
        best = row[c];
        bestCol = c;
      }
    }
    rowHas[r] = 1;
    rowMax[r] = best;
    rowMaxCol[r] = bestCol;
  };
  for (std::uint32_t r = 0; r < n; ++r) rescan(r, 0);

  for (std::uint32_t i = 0; i < n; ++i) {
    std::uint32_t bestRow = i;
    std::uint32_t bestCol = i;
    double best = S[i][i];
    // A comparable (i, i) is itself the first entry of the scan, so the
    // winner is the first row holding the largest row maximum. A NaN at
    // (i, i) is never replaced.
    if (!std::isnan(best)) {
      bool found = false;
      for (std::uint32_t r = i; r < n; ++r) {
        if (rowHas[r] && (!found || rowMax[r] > best)) {
          best = rowMax[r];
          bestRow = r;
          bestCol = rowMaxCol[r];
          found = true;
        }
      }
    }
    sum.add(n - i, best);
    if (steps != nullptr) steps->push_back({bestRow, bestCol, best});

    // The copies of the reference, restricted to what later steps read:
    // columns i.. of row i (column i too, which the column copy then reads),
    // and rows i+1.. of column i.
    if (bestRow != i) {
      for (std::uint32_t c = i; c < n; ++c) S[bestRow][c] = S[i][c];
    }
    if (bestCol != i) {
      for (std::uint32_t r = i + 1; r < n; ++r) S[r][bestCol] = S[r][i];
    }

    // Column i leaves the block and column bestCol now holds what column i
    // held. A row whose maximum sat elsewhere keeps it: the value moved into
    // bestCol came from column i, the first column, so it was strictly
    // smaller than that maximum (or not comparable). Rows whose maximum sat
    // in column i or bestCol, and row bestRow, which now holds row i, rescan.
    for (std::uint32_t r = i + 1; r < n; ++r) {
      if (r == bestRow || !rowHas[r] || rowMaxCol[r] == i || rowMaxCol[r] == bestCol) {
        rescan(r, i + 1);
      }
    }
  }
  return sum.result();
}
