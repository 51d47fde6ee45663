#include "retrieval/edge_similarity.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "codec/components.h"
#include "numeric/matrix_ops.h"
#include "numeric/multiply.h"
#include "numeric/status_guard.h"
#include "retrieval/greedy_match.h"

namespace {

// The first n rows of m, as a fresh matrix.
KPX::Matrix<double> leadingRows(const KPX::Matrix<double>& m, std::uint32_t n) {
  KPX::Matrix<double> r(n, m.cols());
  std::copy(m.data(), m.data() + static_cast<std::size_t>(n) * m.cols(), r.data());
  return r;
}

KPX::Vector<double> leadingElements(const KPX::Vector<double>& v, std::uint32_t n) {
  KPX::Vector<double> r(n);
  std::copy(v.data(), v.data() + n, r.data());
  return r;
}

}  // namespace

Status EdgeSimilarity::ReadRimBases(const std::string& path, KPX::Matrix<double>& bases) {
  // A file that opens but cannot be read reports its failure rather than an
  // empty base set: a damaged target is "cannot be read" (-1), not "has
  // nothing alike" (0).
  return guardStatus([&] {
    CBase component;
    RIMHeader header;
    FOLIM_RETURN_IF_ERROR(readComponentAt(path, component, RimSection::Bases, header));
    bases = std::move(static_cast<KPX::Matrix<double>&>(component));
    return status::Success;
  });
}

Status EdgeSimilarity::LoadBases(KPX::Matrix<double>& bases, KPX::Vector<double>& norms,
                                 const std::string& path) {
  const Status status = ReadRimBases(path, bases);
  if (status == status::NoMemory) return status::NoMemory;
  if (status != status::Success) return status::ReadFailed;
  return guardStatus([&] {
    norms.resize(bases.rows());
    for (std::uint32_t i = 0; i < bases.rows(); ++i)
      norms[i] = std::sqrt(KPX::squaredNorm(bases[i], bases.cols()));
  });
}

Status EdgeSimilarity::SetQuery(const std::string& path) {
  return LoadBases(queryBases, queryNorms, path);
}

Status EdgeSimilarity::BuildSimilarityMatrix(KPX::Matrix<double>& S, const KPX::Matrix<double>& Q,
                                             const KPX::Vector<double>& qNorms,
                                             const KPX::Matrix<double>& T,
                                             const KPX::Vector<double>& tNorms) {
  if (Q.cols() != T.cols() || qNorms.count() != Q.rows() || tNorms.count() != T.rows())
    return status::InvalidValues;
  return guardStatus([&] {
    // Q x T^T without forming the transpose; element for element the same.
    KPX::Matrix<double> product = KPX::multiplyABt(Q, T);
    for (std::uint32_t i = 0; i < product.rows(); ++i) {
      double* row = product[i];
      for (std::uint32_t j = 0; j < product.cols(); ++j) {
        const double p = tNorms[j] * qNorms[i];
        double v = std::fabs(row[j]);
        if (p != 0.0)
          v /= p;
        else if (qNorms[i] == 0.0 && tNorms[j] == 0.0)
          v = 1.0;
        row[j] = v;
      }
    }
    S = std::move(product);
  });
}

double EdgeSimilarity::MatchScore(const KPX::Matrix<double>& T,
                                  const KPX::Vector<double>& tNorms) const {
  std::uint32_t n = std::min(queryBases.rows(), T.rows());
  if (baseLimit != 0 && n > baseLimit) n = baseLimit;
  if (n == 0) return 0.0;
  // Bases of different lengths come from files made with other patch sizes:
  // no base of one can be compared with a base of the other.
  if (queryBases.cols() != T.cols()) return 0.0;
  // Any failure, memory included, is "cannot be compared" (-1).
  double score = -1.0;
  const Status scored = guardStatus([&] {
    KPX::Matrix<double> S;
    // Bases beyond the first n on either side take no part, so they are not
    // multiplied either.
    if (queryBases.rows() == n && T.rows() == n) {
      FOLIM_RETURN_IF_ERROR(BuildSimilarityMatrix(S, queryBases, queryNorms, T, tNorms));
    } else {
      if (queryNorms.count() < n || tNorms.count() < n) return status::InvalidValues;
      FOLIM_RETURN_IF_ERROR(BuildSimilarityMatrix(S, leadingRows(queryBases, n),
                                                  leadingElements(queryNorms, n), leadingRows(T, n),
                                                  leadingElements(tNorms, n)));
    }
    score = GreedyMatchScore(S, n);
    return status::Success;
  });
  return scored == status::Success ? score : -1.0;
}

double EdgeSimilarity::Compare(const std::string& path) const {
  KPX::Matrix<double> bases;
  KPX::Vector<double> norms;
  if (LoadBases(bases, norms, path) != status::Success) return -1.0;
  return MatchScore(bases, norms);
}
