#include "index/duplicates.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <random>
#include <unordered_map>

#include "index/ranking.h"
#include "index/refresh.h"
#include "numeric/parallel.h"

namespace {

std::size_t findRoot(std::vector<std::size_t>& parent, std::size_t i) {
  while (parent[i] != i) {
    parent[i] = parent[parent[i]];
    i = parent[i];
  }
  return i;
}

struct Pair {
  std::size_t a = 0, b = 0;
  double score = 0.0;
};

// The point of an entry along which the directions run: the colour feature
// of the measure in use and the edge profile, each of unit length, weighted
// as the score weighs them.
std::vector<float> pointOf(const CompactSignature& c, const DuplicateRequest& r) {
  std::vector<float> colour;
  if (r.colorMode == 0)
    colour.assign(c.blockMeans.begin(), c.blockMeans.end());
  else if (r.colorMode == 1)
    colour.assign(c.histogram.begin(), c.histogram.end());
  else
    colour.assign(c.structure.begin(), c.structure.end());
  std::vector<float> point;
  auto append = [&point](const float* v, std::size_t n, double weight) {
    double norm = 0.0;
    for (std::size_t k = 0; k < n; ++k) norm += double{v[k]} * v[k];
    const double f = norm > 0.0 ? weight / std::sqrt(norm) : 0.0;
    for (std::size_t k = 0; k < n; ++k) point.push_back(static_cast<float>(v[k] * f));
  };
  append(colour.data(), colour.size(), r.colorWeight);
  append(c.edgeProfile.data(), c.edgeProfile.size(), 1.0 - r.colorWeight);
  return point;
}

// The entries each entry is estimated against: all the others in a small
// folder; else its nearest entries in the library's neighbour lists, when
// the folder holds most of the library and the lists hold every entry as
// it is; else its neighbours along fixed
// random directions. The orders are kept (4 bytes per entry and direction),
// the lists made on demand.
class Candidates {
 public:
  Candidates(const std::vector<CompactRow>& rows, const DuplicateRequest& r,
             const NeighbourIndex* lists)
      : n_(rows.size()), neighbours_(r.neighbours) {
    if (n_ <= r.allPairsUpTo) return;
    if (lists != nullptr && 2 * n_ >= lists->size()) {
      fromLists(rows, r, *lists);
      return;
    }
    std::vector<std::vector<float>> points(n_);
    for (std::size_t i = 0; i < n_; ++i) points[i] = pointOf(rows[i].compact, r);
    const std::size_t size = points[0].size();
    std::mt19937 random(20240601);  // fixed: the same folder gives the same groups
    std::normal_distribution<float> gaussian;
    std::vector<std::pair<float, std::uint32_t>> order(n_);
    for (std::size_t d = 0; d < r.directions; ++d) {
      std::vector<float> direction(size);
      for (float& x : direction) x = gaussian(random);
      for (std::size_t i = 0; i < n_; ++i)
        order[i] = {std::inner_product(direction.begin(), direction.end(), points[i].begin(), 0.0f),
                    static_cast<std::uint32_t>(i)};
      std::sort(order.begin(), order.end());
      orders_.emplace_back(n_);
      positions_.emplace_back(n_);
      for (std::size_t p = 0; p < n_; ++p) {
        orders_.back()[p] = order[p].second;
        positions_.back()[order[p].second] = static_cast<std::uint32_t>(p);
      }
    }
  }

  void of(std::size_t i, std::vector<std::size_t>& out) const {
    out.clear();
    if (!nearest_.empty()) {
      out = nearest_[i];
      return;
    }
    if (orders_.empty()) {
      for (std::size_t j = 0; j < n_; ++j)
        if (j != i) out.push_back(j);
      return;
    }
    for (std::size_t d = 0; d < orders_.size(); ++d) {
      const std::size_t p = positions_[d][i];
      const std::size_t from = p > neighbours_ ? p - neighbours_ : 0;
      const std::size_t to = std::min(n_, p + neighbours_ + 1);
      for (std::size_t q = from; q < to; ++q)
        if (q != p) out.push_back(orders_[d][q]);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }

 private:
  // As many nearest entries as the directions' scheme takes from both sides
  // of one direction (the entry itself among them), then the entry and
  // those outside the folder left out.
  void fromLists(const std::vector<CompactRow>& rows, const DuplicateRequest& r,
                 const NeighbourIndex& lists) {
    std::unordered_map<std::int64_t, std::size_t> place;
    std::vector<CompactSignature> compacts(n_);
    for (std::size_t i = 0; i < n_; ++i) {
      place[rows[i].id] = i;
      compacts[i] = rows[i].compact;
    }
    const std::vector<std::vector<std::int64_t>> nearest =
        lists.NearestOfEach(compacts, 2 * r.neighbours, r.threads);
    nearest_.resize(n_);
    for (std::size_t i = 0; i < n_; ++i)
      for (const std::int64_t id : nearest[i]) {
        const auto at = place.find(id);
        if (at != place.end() && at->second != i) nearest_[i].push_back(at->second);
      }
  }

  std::size_t n_;
  std::size_t neighbours_;
  std::vector<std::vector<std::size_t>> nearest_;
  std::vector<std::vector<std::uint32_t>> orders_;
  std::vector<std::vector<std::uint32_t>> positions_;
};

// The groups among rows of one learning method.
bool groupsOf(SignatureIndex& index, const DuplicateRequest& r, std::uint16_t learning,
              std::vector<DuplicateGroup>& groups, std::vector<std::int64_t>& damaged,
              std::string& error) {
  std::vector<CompactRow> rows;
  std::vector<std::int64_t> undecodable;
  if (!index.LoadCompact(r.dir, r.params, learning, rows, undecodable)) {
    error = index.lastError();
    return false;
  }
  damaged.insert(damaged.end(), undecodable.begin(), undecodable.end());
  // A signature that does not decode is listed in damaged; a database that
  // cannot be read ends the search.
  auto load = [&](std::size_t i, Signature& s, bool& failed) {
    bool unreadable = false;
    const bool ok = index.LoadSignature(rows[i].id, s, &unreadable);
    if (unreadable) {
      error = index.lastError();
      failed = true;
    } else if (!ok) {
      damaged.push_back(rows[i].id);
    }
    return ok;
  };
  bool failed = false;
  if (!r.recursive)
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](const CompactRow& c) { return !DirectlyIn(c.path, r.dir); }),
               rows.end());
  const std::size_t n = rows.size();
  if (n < 2) return true;

  // Each entry's likeliest partners by the estimate.
  NeighbourIndex lists;
  std::vector<std::int64_t> changed;
  const bool listed = n > r.allPairsUpTo && r.neighboursFrom != 0 && n >= r.neighboursFrom &&
                      LoadNeighbours(index, r.params, learning, r.threads, lists, changed) &&
                      changed.empty() && lists.size() >= r.neighboursFrom;
  const Candidates candidates(rows, r, listed ? &lists : nullptr);
  std::vector<std::vector<std::size_t>> partners(n);
  const auto findPartners = [&](std::size_t i) {
    std::vector<std::size_t> others;
    candidates.of(i, others);
    std::vector<std::pair<double, std::size_t>> estimates;
    estimates.reserve(others.size());
    for (std::size_t j : others)
      estimates.emplace_back(
          EstimateScore(rows[i].compact, rows[j].compact, r.colorMode, r.colorWeight), j);
    const std::size_t keep = std::min(r.shortlist, estimates.size());
    std::partial_sort(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(keep),
                      estimates.end(), [](const auto& x, const auto& y) {
                        return x.first != y.first ? x.first > y.first : x.second < y.second;
                      });
    for (std::size_t k = 0; k < keep; ++k) partners[i].push_back(estimates[k].second);
  };
  KPX::parallelFor(n, KPX::Schedule::dynamic(r.threads, 1),
                   [&](std::uint64_t begin, std::uint64_t end) {
                     for (std::uint64_t i = begin; i < end; ++i) findPartners(i);
                   });

  // Each unordered pair once, scored exactly from the lower index's side.
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j : partners[i]) pairs.push_back({std::min(i, j), std::max(i, j), 0.0});
  std::sort(pairs.begin(), pairs.end(),
            [](const Pair& x, const Pair& y) { return x.a != y.a ? x.a < y.a : x.b < y.b; });
  pairs.erase(std::unique(pairs.begin(), pairs.end(),
                          [](const Pair& x, const Pair& y) { return x.a == y.a && x.b == y.b; }),
              pairs.end());
  // Scored a chunk of pairs at a time, with the signatures of that chunk
  // only in memory (a signature in memory is some 150 kB): loaded on this
  // thread, the pairs scored in parallel.
  constexpr std::size_t kChunk = 256;
  std::vector<char> usable(pairs.size(), 0);
  for (std::size_t start = 0; start < pairs.size(); start += kChunk) {
    const std::size_t end = std::min(pairs.size(), start + kChunk);
    std::map<std::size_t, Signature> loaded;
    std::map<std::size_t, bool> readable;
    for (std::size_t k = start; k < end; ++k)
      for (std::size_t i : {pairs[k].a, pairs[k].b})
        if (readable.find(i) == readable.end()) readable[i] = load(i, loaded[i], failed);
    if (failed) return false;
    for (std::size_t k = start; k < end; ++k)
      usable[k] = readable[pairs[k].a] && readable[pairs[k].b];
    KPX::parallelFor(end - start, KPX::Schedule::dynamic(r.threads, 1),
                     [&](std::uint64_t first, std::uint64_t last) {
                       for (std::size_t k = start + first; k < start + last; ++k) {
                         if (!usable[k]) continue;
                         ImageEntry e;
                         ScoreSignature(loaded.at(pairs[k].a), loaded.at(pairs[k].b), r.colorMode,
                                        r.colorWeight, e);
                         pairs[k].score = e.score;
                       }
                     });
  }

  std::vector<std::size_t> parent(n);
  std::iota(parent.begin(), parent.end(), 0);
  std::vector<double> affinity(n, 0.0);
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    if (!usable[k] || !(pairs[k].score >= r.threshold)) continue;
    parent[findRoot(parent, pairs[k].a)] = findRoot(parent, pairs[k].b);
    affinity[pairs[k].a] += pairs[k].score;
    affinity[pairs[k].b] += pairs[k].score;
  }
  std::map<std::size_t, std::vector<std::size_t>> members;
  for (std::size_t i = 0; i < n; ++i)
    if (affinity[i] > 0.0) members[findRoot(parent, i)].push_back(i);
  for (auto& [root, list] : members) {
    (void)root;
    // The member most alike to the others leads; the rest are scored
    // against it.
    const std::size_t lead =
        *std::max_element(list.begin(), list.end(), [&](std::size_t x, std::size_t y) {
          return affinity[x] != affinity[y] ? affinity[x] < affinity[y]
                                            : rows[x].path > rows[y].path;
        });
    Signature leader;
    if (!load(lead, leader, failed)) {
      if (failed) return false;
      continue;  // read above: not expected
    }
    auto entryOf = [&](std::size_t i, const Signature& s) {
      ImageEntry e;
      e.path = rows[i].path;
      e.baseType = static_cast<std::int16_t>(learning);
      ScoreSignature(leader, s, r.colorMode, r.colorWeight, e);
      return e;
    };
    std::vector<ImageEntry> others;
    for (std::size_t i : list) {
      Signature member;
      if (i != lead && load(i, member, failed)) others.push_back(entryOf(i, member));
      if (failed) return false;
    }
    SortLikeListing(others);
    SortByScore(others);
    DuplicateGroup group;
    group.members.push_back(entryOf(lead, leader));
    for (ImageEntry& e : others) group.members.push_back(std::move(e));
    groups.push_back(std::move(group));
  }
  return true;
}

}  // namespace

bool FindDuplicates(SignatureIndex& index, const DuplicateRequest& request,
                    std::vector<DuplicateGroup>& groups, std::string& error,
                    std::vector<std::int64_t>* damaged) {
  groups.clear();
  std::vector<std::int64_t> found;
  for (std::uint16_t learning : {std::uint16_t{0}, std::uint16_t{1}})
    if (!groupsOf(index, request, learning, groups, found, error)) return false;
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  if (damaged != nullptr) *damaged = std::move(found);
  std::sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
    return a.members.front().path < b.members.front().path;
  });
  return true;
}
