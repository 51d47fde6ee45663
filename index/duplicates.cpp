#include "index/duplicates.h"

#include <algorithm>
#include <map>
#include <numeric>

#include "index/ranking.h"
#include "index/refresh.h"

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

// The groups among rows of one learning method.
bool groupsOf(SignatureIndex& index, const DuplicateRequest& r, std::uint16_t learning,
              std::vector<DuplicateGroup>& groups, std::string& error) {
  std::vector<CompactRow> rows;
  std::vector<std::int64_t> damaged;
  if (!index.LoadCompact(r.dir, r.params, learning, rows, damaged)) {
    error = index.lastError();
    return false;
  }
  if (!r.recursive)
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](const CompactRow& c) { return !DirectlyIn(c.path, r.dir); }),
               rows.end());
  const std::size_t n = rows.size();
  if (n < 2) return true;

  // Each entry's likeliest partners by the estimate.
  std::vector<std::vector<std::size_t>> partners(n);
  ParallelFor(n, r.threads, [&](std::size_t i) {
    std::vector<std::pair<double, std::size_t>> estimates;
    estimates.reserve(n - 1);
    for (std::size_t j = 0; j < n; ++j)
      if (j != i)
        estimates.emplace_back(
            EstimateScore(rows[i].compact, rows[j].compact, r.colorMode, r.colorWeight), j);
    const std::size_t keep = std::min(r.shortlist, estimates.size());
    std::partial_sort(estimates.begin(), estimates.begin() + static_cast<std::ptrdiff_t>(keep),
                      estimates.end(), [](const auto& x, const auto& y) {
                        return x.first != y.first ? x.first > y.first : x.second < y.second;
                      });
    for (std::size_t k = 0; k < keep; ++k) partners[i].push_back(estimates[k].second);
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
        if (readable.find(i) == readable.end())
          readable[i] = index.LoadSignature(rows[i].id, loaded[i]);
    for (std::size_t k = start; k < end; ++k)
      usable[k] = readable[pairs[k].a] && readable[pairs[k].b];
    ParallelFor(end - start, r.threads, [&](std::size_t offset) {
      const std::size_t k = start + offset;
      if (!usable[k]) return;
      ImageEntry e;
      ScoreSignature(loaded.at(pairs[k].a), loaded.at(pairs[k].b), r.colorMode, r.colorWeight, e);
      pairs[k].score = e.score;
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
    if (!index.LoadSignature(rows[lead].id, leader)) continue;  // read above: not expected
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
      if (i != lead && index.LoadSignature(rows[i].id, member))
        others.push_back(entryOf(i, member));
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
                    std::vector<DuplicateGroup>& groups, std::string& error) {
  groups.clear();
  for (std::uint16_t learning : {std::uint16_t{0}, std::uint16_t{1}})
    if (!groupsOf(index, request, learning, groups, error)) return false;
  std::sort(groups.begin(), groups.end(), [](const DuplicateGroup& a, const DuplicateGroup& b) {
    return a.members.front().path < b.members.front().path;
  });
  return true;
}
