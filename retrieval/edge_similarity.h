// The "Edge" half of similarity search: the learned bases of two RIM files
// are matched one to one by absolute cosine, the best matches weighted most.
// The answer lies in [0, 1]; -1 when the target cannot be read.
//
// One object serves one search: SetQuery once, then Compare per target. The
// query part is only read by Compare, so several threads may call Compare on
// the same object at once.
#pragma once

#include <cstdint>
#include <string>

#include "codec/status.h"
#include "numeric/matrix.h"

class EdgeSimilarity {
 public:
  // Reads the header and the bases section of a RIM file, decoded without
  // the final division by the steps (a cosine does not see a positive
  // factor). status::CannotOpenFile when the file cannot be opened;
  // status::ReadFailed, status::InvalidFileType or status::InvalidValues for a
  // header that is short, of another kind or implausible; the statuses of reading and
  // decoding the section otherwise. bases is changed only on success.
  static Status ReadRimBases(const std::string& path, KPX::Matrix<double>& bases);

  // ReadRimBases and the Euclidean norm of every base: status::ReadFailed when
  // reading fails, status::NoMemory when memory runs out.
  static Status LoadBases(KPX::Matrix<double>& bases, KPX::Vector<double>& norms,
                          const std::string& path);

  // Loads the query's bases and norms; the status of LoadBases.
  Status SetQuery(const std::string& path);

  // S = |Q x T^T| divided element-wise by the product of the two norms; two
  // zero bases count as identical (1), one zero base gives 0.
  // status::InvalidValues when the shapes do not fit together (column counts
  // or norm counts differ), status::NoMemory when memory runs out.
  static Status BuildSimilarityMatrix(KPX::Matrix<double>& S, const KPX::Matrix<double>& Q,
                                      const KPX::Vector<double>& qNorms,
                                      const KPX::Matrix<double>& T,
                                      const KPX::Vector<double>& tNorms);

  // The greedy matching of the query against T over the first
  // n = min(nq, nt, baseLimit) bases of each side. No base on either side
  // (n = 0) and bases of different lengths (files made with other patch
  // sizes) have nothing to match and give 0. -1 when S cannot be built.
  double MatchScore(const KPX::Matrix<double>& T, const KPX::Vector<double>& tNorms) const;

  // LoadBases of the target and MatchScore; -1 when loading fails.
  double Compare(const std::string& path) const;

  KPX::Matrix<double> queryBases;
  KPX::Vector<double> queryNorms;
  std::uint32_t baseLimit = 0;  // 0: no limit
};
