#include "index/duplicates.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numeric>
#include <random>
#include <unordered_map>

#include "index/ranking.h"
#include "index/refresh.h"
#include "numeric/parallel.h"
#include "retrieval/robust_similarity.h"

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
// as the score weighs them. The robust measure's colour is the colour
// structure and the relative histogram, half each: the second keeps the
// copies whose tones or colours were changed near.
std::vector<float> pointOf(const CompactSignature& c, const DuplicateRequest& r) {
  std::vector<float> point;
  auto append = [&point](const float* v, std::size_t n, double weight) {
    double norm = 0.0;
    for (std::size_t k = 0; k < n; ++k) norm += double{v[k]} * v[k];
    const double f = norm > 0.0 ? weight / std::sqrt(norm) : 0.0;
    for (std::size_t k = 0; k < n; ++k) point.push_back(static_cast<float>(v[k] * f));
  };
  if (r.colorMode == 0) {
    append(c.blockMeans.data(), c.blockMeans.size(), r.colorWeight);
  } else if (r.colorMode == 1) {
    append(c.histogram.data(), c.histogram.size(), r.colorWeight);
  } else if (r.colorMode == kRobustColorMode) {
    const double half = r.colorWeight * std::sqrt(0.5);
    append(c.structure.data(), c.structure.size(), half);
    append(c.relative.data(), c.relative.size(), half);
  } else {
    append(c.structure.data(), c.structure.size(), r.colorWeight);
  }
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
             const std::vector<const NeighbourIndex*>& lists)
      : n_(rows.size()), neighbours_(r.neighbours) {
    if (n_ <= r.allPairsUpTo) return;
    if (!lists.empty() && 2 * n_ >= lists[0]->size()) {
      fromLists(rows, r, lists);
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
                 const std::vector<const NeighbourIndex*>& lists) {
    std::unordered_map<std::int64_t, std::size_t> place;
    std::vector<CompactSignature> compacts(n_);
    for (std::size_t i = 0; i < n_; ++i) {
      place[rows[i].id] = i;
      compacts[i] = rows[i].compact;
    }
    nearest_.resize(n_);
    for (const NeighbourIndex* l : lists) {
      // Half the lists a search reads keep all but some 0.03 % of the
      // candidates (measured on 100,000 entries), at half the cost.
      const std::size_t probes =
          l->probes() * (l->kind() == NeighbourPointKind::Relative ? kRelativeProbeFactor : 1);
      const std::vector<std::vector<std::int64_t>> nearest =
          l->NearestOfEach(compacts, 2 * r.neighbours, r.threads, (probes + 1) / 2);
      for (std::size_t i = 0; i < n_; ++i)
        for (const std::int64_t id : nearest[i]) {
          const auto at = place.find(id);
          if (at != place.end() && at->second != i) nearest_[i].push_back(at->second);
        }
    }
    for (std::vector<std::size_t>& near : nearest_) {
      std::sort(near.begin(), near.end());
      near.erase(std::unique(near.begin(), near.end()), near.end());
    }
  }

  std::size_t n_;
  std::size_t neighbours_;
  std::vector<std::vector<std::size_t>> nearest_;
  std::vector<std::vector<std::uint32_t>> orders_;
  std::vector<std::vector<std::uint32_t>> positions_;
};

// The signatures of some entries, loaded together: read on one thread,
// decoded on several.
// Copies of one file, stored as the same bytes, share one decoded signature.
struct Loaded {
  std::vector<std::size_t> entries;  // ascending
  std::vector<Signature> signatures;
  std::vector<char> ok;
  std::vector<std::size_t> same;

  // Where the signature of entry i lies (SIZE_MAX when it did not load).
  std::size_t slot(std::size_t i) const {
    const auto at = std::lower_bound(entries.begin(), entries.end(), i);
    if (at == entries.end() || *at != i) return SIZE_MAX;
    const auto k = static_cast<std::size_t>(at - entries.begin());
    return ok[k] ? same[k] : SIZE_MAX;
  }
};

// Scores the candidate pairs exactly and makes the groups. The pairs join
// the entries into parts that no group crosses. Parts small enough are
// loaded whole, several at a time, and each of their signatures is read
// once for both its pairs and its group; a larger part has its pairs
// scored in slices of entries near each other in the pairs' graph, then its
// groups' members loaded again.
class PairScorer {
 public:
  PairScorer(SignatureIndex& index, const DuplicateRequest& r, const std::vector<CompactRow>& rows,
             std::uint16_t learning, std::vector<Pair>& pairs, std::vector<std::int64_t>& damaged)
      : index_(index),
        r_(r),
        rows_(rows),
        learning_(learning),
        pairs_(pairs),
        damaged_(damaged),
        parent_(rows.size()),
        affinity_(rows.size(), 0.0),
        usable_(pairs.size(), 0),
        inMemory_(std::max<std::size_t>(2, r.inMemory)) {
    std::iota(parent_.begin(), parent_.end(), 0);
  }

  // False when the database cannot be read.
  bool Run(std::vector<DuplicateGroup>& groups) {
    const std::vector<Part> parts = partsOf();
    std::vector<const Part*> batch;
    std::size_t held = 0;
    const auto flush = [&] {
      const bool ok = batch.empty() || scoreTogether(batch, held, groups);
      batch.clear();
      held = 0;
      return ok;
    };
    for (const Part& part : parts) {
      if (part.entries.size() > inMemory_) {
        if (!scoreApart(part, groups)) return false;
        continue;
      }
      if (held + part.entries.size() > inMemory_ && !flush()) return false;
      batch.push_back(&part);
      held += part.entries.size();
    }
    return flush();
  }

 private:
  struct Part {
    std::vector<std::size_t> entries;  // ascending
    std::vector<std::size_t> pairs;
  };
  // A group to be: its lead, then every member (the lead among them) in
  // ascending order.
  struct Plan {
    std::size_t lead = 0;
    std::vector<std::size_t> members;
    std::vector<ImageEntry> scored;
    std::vector<char> done;
  };

  std::vector<Part> partsOf() {
    const std::size_t n = rows_.size();
    std::vector<std::size_t> root(n);
    std::iota(root.begin(), root.end(), 0);
    for (const Pair& p : pairs_) root[findRoot(root, p.a)] = findRoot(root, p.b);
    std::vector<std::size_t> partOf(n, SIZE_MAX);
    std::vector<Part> parts;
    std::vector<char> paired(n, 0);
    for (const Pair& p : pairs_) paired[p.a] = paired[p.b] = 1;
    for (std::size_t i = 0; i < n; ++i) {
      if (!paired[i]) continue;
      std::size_t& at = partOf[findRoot(root, i)];
      if (at == SIZE_MAX) {
        at = parts.size();
        parts.emplace_back();
      }
      parts[at].entries.push_back(i);
    }
    for (std::size_t k = 0; k < pairs_.size(); ++k)
      parts[partOf[findRoot(root, pairs_[k].a)]].pairs.push_back(k);
    return parts;
  }

  bool load(std::vector<std::size_t> entries, Loaded& into) {
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    std::vector<std::int64_t> ids(entries.size());
    for (std::size_t k = 0; k < entries.size(); ++k) ids[k] = rows_[entries[k]].id;
    if (!index_.LoadSignatures(ids, r_.threads, into.signatures, into.ok, &into.same)) return false;
    for (std::size_t k = 0; k < entries.size(); ++k)
      if (!into.ok[k]) damaged_.push_back(ids[k]);
    into.entries = std::move(entries);
    return true;
  }

  // The scores of entry pairs (query, target) from loaded, each pair of
  // distinct signatures scored once however many copies share them; done[k]
  // is 0 where either did not load.
  void scoreAll(const std::vector<std::pair<std::size_t, std::size_t>>& wanted,
                const Loaded& loaded, std::vector<ImageEntry>& scored, std::vector<char>& done) {
    std::unordered_map<std::uint64_t, std::size_t> jobOf;
    std::vector<std::pair<std::size_t, std::size_t>> jobs;
    std::vector<std::size_t> job(wanted.size(), SIZE_MAX);
    const std::uint64_t count = loaded.entries.size();
    for (std::size_t k = 0; k < wanted.size(); ++k) {
      const std::size_t x = loaded.slot(wanted[k].first), y = loaded.slot(wanted[k].second);
      if (x == SIZE_MAX || y == SIZE_MAX) continue;
      const auto [at, fresh] = jobOf.emplace(x * count + y, jobs.size());
      if (fresh) jobs.emplace_back(x, y);
      job[k] = at->second;
    }
    std::vector<ImageEntry> results(jobs.size());
    KPX::parallelFor(jobs.size(), KPX::Schedule::dynamic(r_.threads, 4),
                     [&](std::uint64_t begin, std::uint64_t end) {
                       for (std::uint64_t j = begin; j < end; ++j)
                         ScoreSignature(loaded.signatures[jobs[j].first],
                                        loaded.signatures[jobs[j].second], r_.colorMode,
                                        r_.colorWeight, results[j]);
                     });
    scored.assign(wanted.size(), ImageEntry());
    done.assign(wanted.size(), 0);
    for (std::size_t k = 0; k < wanted.size(); ++k)
      if (job[k] != SIZE_MAX) {
        scored[k] = results[job[k]];
        done[k] = 1;
      }
  }

  void scorePairs(const std::vector<std::size_t>& which, const Loaded& loaded) {
    std::vector<std::pair<std::size_t, std::size_t>> wanted(which.size());
    for (std::size_t k = 0; k < which.size(); ++k)
      wanted[k] = {pairs_[which[k]].a, pairs_[which[k]].b};
    std::vector<ImageEntry> scored;
    std::vector<char> done;
    scoreAll(wanted, loaded, scored, done);
    for (std::size_t k = 0; k < which.size(); ++k) {
      pairs_[which[k]].score = scored[k].score;
      usable_[which[k]] = done[k];
    }
  }

  // The groups of a part whose pairs are scored: pairs scoring at least
  // the threshold join their entries; the member most alike to the others
  // leads.
  std::vector<Plan> plansOf(const Part& part) {
    for (std::size_t k : part.pairs) {
      const Pair& p = pairs_[k];
      if (!usable_[k] || !(p.score >= r_.threshold)) continue;
      parent_[findRoot(parent_, p.a)] = findRoot(parent_, p.b);
      affinity_[p.a] += p.score;
      affinity_[p.b] += p.score;
    }
    std::map<std::size_t, std::vector<std::size_t>> members;
    for (std::size_t i : part.entries)
      if (affinity_[i] > 0.0) members[findRoot(parent_, i)].push_back(i);
    std::vector<Plan> plans;
    for (auto& [root, list] : members) {
      (void)root;
      Plan plan;
      plan.lead = *std::max_element(list.begin(), list.end(), [&](std::size_t x, std::size_t y) {
        return affinity_[x] != affinity_[y] ? affinity_[x] < affinity_[y]
                                            : rows_[x].path > rows_[y].path;
      });
      plan.members = std::move(list);
      plan.scored.resize(plan.members.size());
      plan.done.assign(plan.members.size(), 0);
      plans.push_back(std::move(plan));
    }
    return plans;
  }

  // Members [from, to) of each plan scored against its lead, from loaded.
  void scoreMembers(std::vector<Plan>& plans, const std::vector<std::size_t>& which,
                    const std::vector<std::pair<std::size_t, std::size_t>>& ranges,
                    const Loaded& loaded) {
    std::vector<std::pair<std::size_t, std::size_t>> jobs, wanted;
    for (std::size_t k = 0; k < which.size(); ++k)
      for (std::size_t m = ranges[k].first; m < ranges[k].second; ++m) {
        jobs.emplace_back(which[k], m);
        wanted.emplace_back(plans[which[k]].lead, plans[which[k]].members[m]);
      }
    std::vector<ImageEntry> scored;
    std::vector<char> done;
    scoreAll(wanted, loaded, scored, done);
    for (std::size_t j = 0; j < jobs.size(); ++j) {
      Plan& plan = plans[jobs[j].first];
      plan.scored[jobs[j].second] = std::move(scored[j]);
      plan.done[jobs[j].second] = done[j];
    }
  }

  // The lead first (scoring 1 against itself), the rest by their score
  // against it; a group whose lead did not load is left out.
  void emit(std::vector<Plan>& plans, std::vector<DuplicateGroup>& groups) const {
    for (Plan& plan : plans) {
      const auto at = std::find(plan.members.begin(), plan.members.end(), plan.lead);
      const auto lead = static_cast<std::size_t>(at - plan.members.begin());
      if (!plan.done[lead]) continue;
      std::vector<ImageEntry> others;
      for (std::size_t m = 0; m < plan.members.size(); ++m) {
        ImageEntry& e = plan.scored[m];
        e.path = rows_[plan.members[m]].path;
        e.baseType = static_cast<std::int16_t>(learning_);
        if (m != lead && plan.done[m]) others.push_back(std::move(e));
      }
      SortLikeListing(others);
      SortByScore(others);
      DuplicateGroup group;
      group.members.push_back(std::move(plan.scored[lead]));
      for (ImageEntry& e : others) group.members.push_back(std::move(e));
      groups.push_back(std::move(group));
    }
  }

  bool scoreTogether(const std::vector<const Part*>& batch, std::size_t held,
                     std::vector<DuplicateGroup>& groups) {
    std::vector<std::size_t> entries, which;
    entries.reserve(held);
    for (const Part* part : batch) {
      entries.insert(entries.end(), part->entries.begin(), part->entries.end());
      which.insert(which.end(), part->pairs.begin(), part->pairs.end());
    }
    Loaded loaded;
    if (!load(entries, loaded)) return false;
    scorePairs(which, loaded);
    std::vector<Plan> plans;
    for (const Part* part : batch)
      for (Plan& plan : plansOf(*part)) plans.push_back(std::move(plan));
    std::vector<std::size_t> all(plans.size());
    std::vector<std::pair<std::size_t, std::size_t>> ranges(plans.size());
    for (std::size_t g = 0; g < plans.size(); ++g) {
      all[g] = g;
      ranges[g] = {0, plans[g].members.size()};
    }
    scoreMembers(plans, all, ranges, loaded);
    emit(plans, groups);
    return true;
  }

  bool scoreApart(const Part& part, std::vector<DuplicateGroup>& groups) {
    // The entries in the order a breadth-first walk of the pairs meets
    // them, so that a slice of that order holds most of its pairs' ends.
    std::unordered_map<std::size_t, std::vector<std::size_t>> next;
    for (std::size_t k : part.pairs) {
      next[pairs_[k].a].push_back(pairs_[k].b);
      next[pairs_[k].b].push_back(pairs_[k].a);
    }
    std::unordered_map<std::size_t, std::size_t> place;
    std::vector<std::size_t> walk;
    for (std::size_t start : part.entries) {
      if (place.count(start) != 0) continue;
      place[start] = walk.size();
      walk.push_back(start);
      for (std::size_t at = walk.size() - 1; at < walk.size(); ++at)
        for (std::size_t j : next[walk[at]])
          if (place.emplace(j, walk.size()).second) walk.push_back(j);
    }
    std::vector<std::size_t> order = part.pairs;
    const auto key = [&](std::size_t k) {
      const std::size_t x = place[pairs_[k].a], y = place[pairs_[k].b];
      return std::make_pair(std::min(x, y), std::max(x, y));
    };
    std::sort(order.begin(), order.end(),
              [&](std::size_t x, std::size_t y) { return key(x) < key(y); });
    std::vector<std::size_t> slice, entries;
    std::unordered_map<std::size_t, char> held;
    const auto flush = [&] {
      Loaded loaded;
      if (!load(entries, loaded)) return false;
      scorePairs(slice, loaded);
      slice.clear();
      entries.clear();
      held.clear();
      return true;
    };
    for (std::size_t k : order) {
      const std::size_t fresh = (held.count(pairs_[k].a) == 0) + (held.count(pairs_[k].b) == 0);
      if (entries.size() + fresh > inMemory_ && !flush()) return false;
      for (std::size_t i : {pairs_[k].a, pairs_[k].b})
        if (held.emplace(i, 1).second) entries.push_back(i);
      slice.push_back(k);
    }
    if (!slice.empty() && !flush()) return false;

    // The groups' members, as many groups at a time as fit, a group larger
    // than that in slices with its lead.
    std::vector<Plan> plans = plansOf(part);
    std::vector<std::size_t> which;
    std::vector<std::pair<std::size_t, std::size_t>> ranges;
    const auto score = [&] {
      Loaded loaded;
      if (!load(entries, loaded)) return false;
      scoreMembers(plans, which, ranges, loaded);
      entries.clear();
      which.clear();
      ranges.clear();
      return true;
    };
    for (std::size_t g = 0; g < plans.size(); ++g) {
      const std::size_t size = plans[g].members.size();
      for (std::size_t from = 0; from < size;) {
        if (entries.size() + 2 > inMemory_ && !score()) return false;
        const std::size_t to = std::min(size, from + (inMemory_ - entries.size() - 1));
        entries.push_back(plans[g].lead);
        entries.insert(entries.end(), plans[g].members.begin() + static_cast<std::ptrdiff_t>(from),
                       plans[g].members.begin() + static_cast<std::ptrdiff_t>(to));
        which.push_back(g);
        ranges.emplace_back(from, to);
        from = to;
      }
    }
    if (!which.empty() && !score()) return false;
    emit(plans, groups);
    return true;
  }

  SignatureIndex& index_;
  const DuplicateRequest& r_;
  const std::vector<CompactRow>& rows_;
  std::uint16_t learning_;
  std::vector<Pair>& pairs_;
  std::vector<std::int64_t>& damaged_;
  std::vector<std::size_t> parent_;
  std::vector<double> affinity_;
  std::vector<char> usable_;
  std::size_t inMemory_;
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
  if (!r.recursive)
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [&](const CompactRow& c) { return !DirectlyIn(c.path, r.dir); }),
               rows.end());
  const std::size_t n = rows.size();
  if (n < 2) return true;

  // Each entry's likeliest partners by the estimate.
  // The robust measure reads the relative lists too.
  NeighbourIndex lists, relative(NeighbourPointKind::Relative);
  const bool robust = r.colorMode == kRobustColorMode;
  const auto usable = [&](NeighbourIndex& l) {
    std::vector<std::int64_t> changed;
    return LoadNeighbours(index, r.params, learning, r.threads, l, changed) && changed.empty() &&
           l.size() >= r.neighboursFrom;
  };
  std::vector<const NeighbourIndex*> listed;
  if (n > r.allPairsUpTo && r.neighboursFrom != 0 && n >= r.neighboursFrom && usable(lists) &&
      (!robust || usable(relative))) {
    listed.push_back(&lists);
    if (robust) listed.push_back(&relative);
  }
  const Candidates candidates(rows, r, listed);
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

  PairScorer scorer(index, r, rows, learning, pairs, damaged);
  if (!scorer.Run(groups)) {
    error = index.lastError();
    return false;
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
