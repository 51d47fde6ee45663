// Rate-distortion optimised quantisation of the coefficients: each row of
// levels is chosen by a shortest path over its non-zero candidates, priced
// with the code lengths of the row's own Huffman code.
#include "codec/rd_quantizer.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "codec/huffman.h"
#include "codec/saturating.h"
#include "numeric/status_guard.h"

namespace {

// How far back a non-zero level looks for its predecessor. Longer runs
// would zero more than this many candidates in between, which at these
// rates never pays.
constexpr std::size_t kLookBack = 16;

// Longest zero runs the coefficient code may use; the cheapest is kept.
constexpr std::uint32_t kZeroRunChoices[] = {16, 32, 64};

std::uint32_t symbolSize(std::uint32_t symbol, std::uint32_t p) {
  const std::uint32_t s = symbol % p;
  return s == 0 ? p : s;
}

std::uint32_t widthOf(const std::vector<std::uint32_t>& table) {
  std::uint32_t largest = 0;
  for (std::uint32_t v : table) largest = std::max(largest, v);
  return sizeCategory(largest);
}

// Copies the leading columns (or rows) of a matrix.
KPX::Matrix<double> leadingColumns(const KPX::Matrix<double>& m, std::uint32_t cols) {
  KPX::Matrix<double> out(m.rows(), cols);
  for (std::uint32_t r = 0; r < m.rows(); ++r) std::copy(m[r], m[r] + cols, out[r]);
  return out;
}

KPX::Matrix<double> leadingRows(const KPX::Matrix<double>& m, std::uint32_t rows) {
  KPX::Matrix<double> out(rows, m.cols());
  std::copy(m.data(), m.data() + static_cast<std::size_t>(rows) * m.cols(), out.data());
  return out;
}

// The bases as their coder sees them: second and third planes as
// differences from the first.
KPX::Matrix<double> predictedBases(const KPX::Matrix<double>& bases) {
  KPX::Matrix<double> m = bases;
  const std::uint32_t n = m.cols() / 3;
  for (std::uint32_t i = 0; i < m.rows(); ++i) {
    double* row = m[i];
    for (std::uint32_t k = 0; k < n; ++k) {
      row[n + k] -= row[k];
      row[2 * n + k] -= row[k];
    }
  }
  return m;
}

// One candidate non-zero level of a row: its position and, once priced, the
// cheapest way of coding the row up to and including it.
struct Node {
  std::uint32_t column = 0;
  double magnitude = 0.0;
  std::uint32_t nearest = 0;  // rounded magnitude (>= 1)
  double cost = 0.0;
  std::uint32_t level = 0;
  std::size_t previous = 0;  // index into the node list + 1; 0 = row start
};

class RowOptimiser {
 public:
  RowOptimiser(const std::vector<double>& weights, const std::vector<double>& bits, std::uint32_t p,
               std::uint32_t z, double lambda, std::uint32_t cols)
      : weights_(weights), bits_(bits), p_(p), z_(z), lambda_(lambda), runs_(cols) {
    maxLevel_ = p >= 32 ? 0xFFFFFFFFu : (1u << p) - 1u;
    // lambda x bits of every (run, size) pair a row of this width can need.
    runCost_.resize(static_cast<std::size_t>(p + 1) * runs_);
    for (std::uint32_t size = 1; size <= p; ++size)
      for (std::uint32_t run = 0; run < runs_; ++run)
        runCost_[size * runs_ + run] = lambda * runBits(run, size);
  }

  // Prices one row; afterwards endCost(width) and levels() can be asked.
  void run(const double* row) {
    const std::uint32_t cols = runs_;
    cols_ = cols;
    zeroCost_.assign(cols + 1, 0.0);
    nodes_.clear();
    for (std::uint32_t j = 0; j < cols; ++j) {
      double a = std::fabs(row[j]);
      if (!(a == a)) a = 0.0;
      zeroCost_[j + 1] = zeroCost_[j] + weights_[j] * a * a;
      const double rounded = std::floor(a + 0.5);
      if (rounded < 1.0) continue;
      Node node;
      node.column = j;
      node.magnitude = a;
      node.nearest = rounded >= maxLevel_ ? maxLevel_ : static_cast<std::uint32_t>(rounded);
      nodes_.push_back(node);
    }
    for (std::size_t n = 0; n < nodes_.size(); ++n) price(n);
  }

  // Least cost of the row cut to its first `width` columns (the rest
  // counted as zeros that cost their distortion only).
  void endCosts(std::vector<double>& totals) const {
    const double eob = lambda_ * bits_[0];
    double bestBefore = eob;  // the row start: all zeros, then end of row
    std::size_t n = 0;
    for (std::uint32_t width = 1; width <= cols_; ++width) {
      double atEnd = std::numeric_limits<double>::infinity();
      // Nodes before the last column end with an end-of-row symbol.
      while (n < nodes_.size() && nodes_[n].column < width - 1) {
        bestBefore = std::min(bestBefore, nodes_[n].cost - zeroCost_[nodes_[n].column + 1] + eob);
        ++n;
      }
      if (n < nodes_.size() && nodes_[n].column == width - 1) atEnd = nodes_[n].cost;
      const double cut = std::min(bestBefore + zeroCost_[width], atEnd);
      totals[width] += cut + (zeroCost_[cols_] - zeroCost_[width]);
    }
  }

  // Writes the levels of the cheapest coding of the whole row; returns its
  // cost.
  double levels(const double* row, double* out) const {
    const double eob = lambda_ * bits_[0];
    double best = zeroCost_[cols_] + eob;
    std::size_t last = 0;
    for (std::size_t n = 0; n < nodes_.size(); ++n) {
      const Node& node = nodes_[n];
      const double tail = node.column + 1 < cols_ ? eob : 0.0;
      const double c = node.cost + (zeroCost_[cols_] - zeroCost_[node.column + 1]) + tail;
      if (c < best) {
        best = c;
        last = n + 1;
      }
    }
    std::fill(out, out + cols_, 0.0);
    while (last != 0) {
      const Node& node = nodes_[last - 1];
      const double v = static_cast<double>(node.level);
      out[node.column] = row[node.column] < 0 ? -v : v;
      last = node.previous;
    }
    return best;
  }

 private:
  double runBits(std::uint32_t run, std::uint32_t size) const {
    return (run / z_) * bits_[z_ * p_ + 1] + bits_[(run % z_) * p_ + size] + size;
  }

  void price(std::size_t n) {
    Node& node = nodes_[n];
    const double w = weights_[node.column];
    node.cost = std::numeric_limits<double>::infinity();
    const std::uint32_t lowest = node.nearest > 1 ? node.nearest - 1 : 1;
    for (std::uint32_t level = node.nearest; level >= lowest; --level) {
      const double e = node.magnitude - level;
      const double own = w * e * e;
      const double* runCost = &runCost_[sizeCategory(level) * runs_];
      // From the row start, when it is within reach.
      const std::size_t first = n > kLookBack ? n - kLookBack : 0;
      if (first == 0) {
        const double c = zeroCost_[node.column] + runCost[node.column] + own;
        if (c < node.cost) {
          node.cost = c;
          node.level = level;
          node.previous = 0;
        }
      }
      for (std::size_t m = first; m < n; ++m) {
        const Node& prev = nodes_[m];
        const std::uint32_t run = node.column - prev.column - 1;
        const double c =
            prev.cost + (zeroCost_[node.column] - zeroCost_[prev.column + 1]) + runCost[run] + own;
        if (c < node.cost) {
          node.cost = c;
          node.level = level;
          node.previous = m + 1;
        }
      }
      if (level == 1) break;
    }
  }

  const std::vector<double>& weights_;
  const std::vector<double>& bits_;
  std::uint32_t p_;
  std::uint32_t z_;
  double lambda_;
  std::uint32_t runs_;
  std::vector<double> runCost_;
  std::uint32_t maxLevel_ = 0;
  std::uint32_t cols_ = 0;
  std::vector<double> zeroCost_;
  std::vector<Node> nodes_;
};

}  // namespace

std::uint64_t huffmanCodedBits(const KPX::Matrix<double>& matrix, std::uint32_t p,
                               std::uint32_t z) {
  const std::vector<std::uint32_t> frequencies = countSymbols(matrix, p, z);
  if (frequencies.empty()) return 0;
  HuffmanEncoderTable table;
  if (buildEncoderTable(frequencies, table) != status::Success) return 0;
  const std::uint32_t reserved = z * p + 2;
  const std::uint32_t zeroRun = z * p + 1;
  std::uint64_t total = 0;
  for (std::uint32_t symbol = 0; symbol < frequencies.size(); ++symbol) {
    if (symbol == reserved || frequencies[symbol] == 0) continue;
    std::uint64_t each = table.ehufsi[symbol];
    if (symbol != 0 && symbol != zeroRun) each += symbolSize(symbol, p);
    total += each * frequencies[symbol];
  }
  total += static_cast<std::uint64_t>(table.bits.size()) * widthOf(table.bits);
  total += static_cast<std::uint64_t>(table.huffval.size()) * widthOf(table.huffval);
  return total;
}

std::vector<double> symbolBits(const KPX::Matrix<double>& matrix, std::uint32_t p,
                               std::uint32_t z) {
  const std::uint32_t size = alphabetSize(p, z);
  std::vector<double> bits(size, static_cast<double>(kMaxCodeLength));
  const std::vector<std::uint32_t> frequencies = countSymbols(matrix, p, z);
  HuffmanEncoderTable table;
  if (frequencies.empty() || buildEncoderTable(frequencies, table) != status::Success) return bits;
  std::uint32_t longest = 0;
  for (std::uint32_t s = 0; s < size; ++s) longest = std::max(longest, table.ehufsi[s]);
  for (std::uint32_t s = 0; s < size; ++s)
    bits[s] = table.ehufsi[s] != 0 ? table.ehufsi[s] : longest + 1.0;
  return bits;
}

void chooseAverageSteps(CAverage& averages, double lambda, std::uint32_t samplesPerAverage,
                        std::uint32_t largestStep) {
  const std::uint32_t n = averages.cols();
  if (n == 0 || averages.steps.count() < averages.rows()) return;
  const std::uint32_t p = averages.parameters.precisionBits;
  const std::uint32_t z = averages.parameters.maxZeroRun;
  KPX::Matrix<double> levels(1, n);
  for (std::uint32_t c = 0; c < averages.rows(); ++c) {
    const double* row = averages[c];
    double bestCost = std::numeric_limits<double>::infinity();
    std::uint32_t bestStep = averages.steps[c];
    // Every step up to 8, then steps about a quarter apart: the cost changes
    // slowly there, and each try codes the whole row.
    for (std::uint32_t a = 1; a <= std::max<std::uint32_t>(1, largestStep);
         a += std::max<std::uint32_t>(1, a / 4)) {
      double squares = 0.0;
      double previous = 0.0;
      for (std::uint32_t k = 0; k < n; ++k) {
        const double level = std::round(row[k] / a);
        const double e = row[k] - level * a;
        squares += e * e;
        levels[0][k] = level - previous;  // the component predicts from the left
        previous = level;
      }
      const std::uint64_t bits = huffmanCodedBits(levels, p, z);
      if (bits == 0) continue;
      const double cost = squares * samplesPerAverage + lambda * static_cast<double>(bits);
      if (cost < bestCost) {
        bestCost = cost;
        bestStep = a;
      }
    }
    averages.steps[c] = bestStep;
  }
}

void roundAverages(CAverage& averages) {
  for (std::uint32_t c = 0; c < averages.rows() && c < averages.steps.count(); ++c) {
    const double step = averages.steps[c];
    if (step == 0) continue;
    double* row = averages[c];
    for (std::uint32_t k = 0; k < averages.cols(); ++k) row[k] = std::round(row[k] / step) * step;
  }
}

std::vector<double> levelWeights(const CBase& bases) {
  std::vector<double> weights(bases.rows(), 1.0);
  for (std::uint32_t i = 0; i < bases.rows(); ++i) {
    double squares = 0.0;
    const double* row = bases[i];
    for (std::uint32_t k = 0; k < bases.cols(); ++k) squares += row[k] * row[k];
    const double s = i < bases.steps.count() && bases.steps[i] != 0 ? bases.steps[i] : 1.0;
    weights[i] = squares / (s * s);
  }
  return weights;
}

LevelChoice chooseLevels(const KPX::Matrix<double>& coefficients,
                         const std::vector<double>& weights, const std::vector<double>& bits,
                         std::uint32_t p, std::uint32_t z, double lambda, double bitsPerBase,
                         KPX::Matrix<double>& levels) {
  const std::uint32_t cols = coefficients.cols();
  levels.resize(coefficients.rows(), cols);
  RowOptimiser optimiser(weights, bits, p, z, lambda, cols);
  std::vector<double> totals(cols + 1, 0.0);
  LevelChoice choice;
  choice.keptBases = cols;
  for (std::uint32_t r = 0; r < coefficients.rows(); ++r) {
    optimiser.run(coefficients[r]);
    choice.cost += optimiser.levels(coefficients[r], levels[r]);
    if (bitsPerBase > 0.0) optimiser.endCosts(totals);
  }
  if (bitsPerBase > 0.0 && cols > 0) {
    double best = std::numeric_limits<double>::infinity();
    for (std::uint32_t width = 1; width <= cols; ++width) {
      const double c = totals[width] + lambda * bitsPerBase * width;
      if (c < best) {
        best = c;
        choice.keptBases = width;
      }
    }
  }
  return choice;
}

Status optimiseForRate(const RdOptions& options, std::uint32_t step, CAverage& averages,
                       CBase& bases, CCoeff& coefficients, std::uint32_t& dimension) {
  return guardStatus([&]() -> Status {
    const double lambda = options.lambdaFactor * static_cast<double>(step) * step;
    // An average moves every sample of its patch plane; a base row holds
    // three planes.
    chooseAverageSteps(averages, lambda, bases.cols() / 3, std::max<std::uint32_t>(1, step / 3));
    roundAverages(averages);
    const std::uint32_t p = coefficients.parameters.precisionBits;
    const std::uint32_t z = coefficients.parameters.maxZeroRun;
    if (p == 0 || p > 31 || z == 0 || alphabetSize(p, z) > kMaxTableEntries)
      return status::InvalidValues;
    if (coefficients.cols() != bases.rows()) return status::InconsistentParameters;
    std::vector<double> weights = levelWeights(bases);

    // First prices from plain rounding, then from the chosen levels.
    KPX::Matrix<double> levels(coefficients.rows(), coefficients.cols());
    const double* c = coefficients.data();
    double* l = levels.data();
    const double limit = std::pow(2.0, p) - 1.0;
    for (std::uint32_t k = 0; k < levels.count(); ++k)
      l[k] = c[k] == c[k] ? std::clamp(std::round(c[k]), -limit, limit) : 0.0;
    std::vector<double> bits = symbolBits(levels, p, z);

    if (options.autoDimension && bases.rows() > 1) {
      const std::uint32_t bp = bases.parameters.precisionBits;
      const std::uint32_t bz = bases.parameters.maxZeroRun;
      const double bitsPerBase =
          static_cast<double>(huffmanCodedBits(predictedBases(bases), bp, bz)) / bases.rows() +
          sizeCategory(bases.steps.count() != 0 ? bases.steps[0] : 1);
      const std::uint32_t kept =
          chooseLevels(coefficients, weights, bits, p, z, lambda, bitsPerBase, levels).keptBases;
      if (kept < bases.rows()) {
        static_cast<KPX::Matrix<double>&>(coefficients) = leadingColumns(coefficients, kept);
        static_cast<KPX::Matrix<double>&>(bases) = leadingRows(bases, kept);
        KPX::Vector<std::uint32_t> steps(kept);
        for (std::uint32_t i = 0; i < kept; ++i) steps[i] = bases.steps[i];
        bases.steps = std::move(steps);
        weights.resize(kept);
      }
      bits = symbolBits(leadingColumns(levels, kept), p, z);
    }

    for (int pass = 0; pass < 2; ++pass) {
      chooseLevels(coefficients, weights, bits, p, z, lambda, 0.0, levels);
      if (pass == 0) bits = symbolBits(levels, p, z);
    }

    // The narrowest precision that holds every level, and the cheapest
    // longest run for it.
    double largest = 0.0;
    for (std::uint32_t k = 0; k < levels.count(); ++k)
      largest = std::max(largest, std::fabs(levels.data()[k]));
    const std::uint32_t precision = std::max<std::uint32_t>(1, sizeCategory(toUint32(largest)));
    // Longer runs are tried while they keep paying.
    std::uint32_t bestRun = kZeroRunChoices[0];
    std::uint64_t bestBits = huffmanCodedBits(levels, precision, bestRun);
    for (std::uint32_t run : kZeroRunChoices) {
      if (run <= bestRun) continue;
      const std::uint64_t b = huffmanCodedBits(levels, precision, run);
      if (b == 0 || b >= bestBits) break;
      bestBits = b;
      bestRun = run;
    }
    if (bestBits != 0) {
      coefficients.parameters.precisionBits = precision;
      coefficients.parameters.maxZeroRun = bestRun;
    }
    static_cast<KPX::Matrix<double>&>(coefficients) = std::move(levels);
    dimension = bases.rows();
    return status::Success;
  });
}
