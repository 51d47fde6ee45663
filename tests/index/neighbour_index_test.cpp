// The first stage from the neighbour lists: the top of a ranking is the
// exhaustive one's, the lists see every change of the entries without being
// built again, and a file that is damaged, foreign or stale is built again,
// never read.
#include "index/neighbour_index.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "index/ranking.h"
#include "index_fixture.h"
#include "numeric/cpu_features.h"
#include "retrieval/color_mode.h"
#include "retrieval/robust_similarity.h"
#include "support/test_support.h"

namespace fs = std::filesystem;
using testing_support::readFileBytes;
using testing_support::writeFileBytes;

namespace {

// A signature near source: bases moved by a few quantisation levels here
// and there, colour features by up to a tenth.
Signature near(const Signature& source, std::mt19937& random) {
  Signature s = source;
  std::uniform_int_distribution<int> step(-3, 3);
  for (std::uint32_t k = 0; k < s.bases.count(); k += 3) s.bases.data()[k] += step(random);
  ComputeBaseNorms(s);
  std::uniform_real_distribution<double> factor(0.9, 1.1);
  for (std::uint32_t k = 0; k < s.structure.count(); ++k) s.structure[k] *= factor(random);
  for (std::uint32_t k = 0; k < s.blockMeans.count(); ++k) s.blockMeans.data()[k] *= factor(random);
  return s;
}

CompactVisit visitOf(const std::vector<std::int64_t>& ids,
                     const std::vector<CompactSignature>& compacts) {
  return [&ids, &compacts](const std::function<void(std::int64_t, const CompactSignature&)>& f) {
    for (std::size_t i = 0; i < ids.size(); ++i) f(ids[i], compacts[i]);
    return true;
  };
}

class NeighbourRankingBase : public IndexFixture {
 protected:
  static constexpr std::size_t kCopies = 5;  // of each of 80 pictures
  static constexpr std::size_t kEntries = 80 * kCopies;

  void SetUp() override {
    IndexFixture::SetUp();
    if (IsSkipped()) return;
    // The lists of an index on a server lie in the cache folder.
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr) savedCache_ = cache;
    ::setenv("XDG_CACHE_HOME", store.path().c_str(), 1);
    std::vector<Signature> sources;
    for (unsigned seed = 0; seed < 80; ++seed) sources.push_back(signatureOf(seed));
    std::mt19937 random(7);
    open(index);
    fill(index, sources, random);
  }

  void TearDown() override {
    if (savedCache_.empty())
      ::unsetenv("XDG_CACHE_HOME");
    else
      ::setenv("XDG_CACHE_HOME", savedCache_.c_str(), 1);
  }

  void fill(SignatureIndex& into, const std::vector<Signature>& sources, std::mt19937& random) {
    ASSERT_TRUE(into.Begin());
    for (std::size_t i = 0; i < kEntries; ++i) {
      signatures.push_back(near(sources[i % sources.size()], random));
      ASSERT_TRUE(put(i, signatures.back(), into));
    }
    ASSERT_TRUE(into.Commit());
  }

  bool put(std::size_t i, const Signature& s) { return put(i, s, index); }
  bool put(std::size_t i, const Signature& s, SignatureIndex& into) {
    return into.Put(folder.file("e" + std::to_string(i) + ".jpg"), "test", stampOf(1, 1), 0, &s);
  }

  std::vector<ImageEntry> ranked(const Signature& query, std::size_t shortlist,
                                 std::int32_t mode = 2, double weight = 0.7,
                                 std::size_t neighboursFrom = 1) {
    return rankedIn(index, query, shortlist, mode, weight, neighboursFrom);
  }
  std::vector<ImageEntry> rankedIn(SignatureIndex& from, const Signature& query,
                                   std::size_t shortlist, std::int32_t mode = 2,
                                   double weight = 0.7, std::size_t neighboursFrom = 1) {
    IndexedQuery q;
    q.query = query;
    q.shortlist = shortlist;
    q.colorMode = mode;
    q.colorWeight = weight;
    q.neighboursFrom = neighboursFrom;
    q.threads = 2;
    std::vector<ImageEntry> ranking;
    std::vector<std::int64_t> damaged;
    std::string error;
    EXPECT_TRUE(RankIndexed(from, folder.path(), false, "test", q, ranking, damaged, error))
        << error;
    return ranking;
  }

  // The top of a shortlist of 30 (120 candidates from the lists) against
  // the ranking that scores every entry: the entry and its copies (random
  // pictures resemble nothing else, so the places after them are near ties
  // that only the exact measures order).
  void expectTopExact(const Signature& query, std::int32_t mode = 2, double weight = 0.7) {
    const std::vector<ImageEntry> all = ranked(query, 0, mode, weight);
    const std::vector<ImageEntry> top = ranked(query, 30, mode, weight);
    ASSERT_GE(top.size(), kCopies);
    for (std::size_t i = 0; i < kCopies; ++i) {
      EXPECT_EQ(top[i].path, all[i].path) << i;
      EXPECT_EQ(top[i].score, all[i].score) << i;
    }
  }

  std::string listsFile() const { return index.NeighbourFile("test", 0); }

  SignatureIndex index;
  std::vector<Signature> signatures;

 private:
  std::string savedCache_;
};
using NeighbourRanking = OnBothIndexes<NeighbourRankingBase>;
FOLIM_ON_BOTH_INDEXES(NeighbourRanking);

TEST_P(NeighbourRanking, TheTopEqualsTheExhaustiveTopInEveryMode) {
  // A library below the threshold estimates every entry and keeps no lists.
  ranked(signatures[0], 30, 2, 0.7, kEntries + 1);
  EXPECT_FALSE(fs::exists(listsFile()));
  expectTopExact(signatures[0]);
  ASSERT_TRUE(fs::exists(listsFile()));
  for (std::size_t i : {7u, 50u, 121u}) expectTopExact(signatures[i]);
  expectTopExact(signatures[3], 0, 0.9);
  expectTopExact(signatures[4], 1, 0.75);
  expectTopExact(signatures[5], 2, 0.0);
}

TEST_P(NeighbourRanking, SeesEntriesAddedChangedAndRemovedWithoutBuildingAgain) {
  expectTopExact(signatures[1]);
  const std::string built = readFileBytes(listsFile());
  // A new entry equal to a fresh query comes first (the perturbed colour
  // features keep its score below 1); lists that only knew their old
  // entries would not offer it.
  std::mt19937 random(99);
  const Signature fresh = near(signatureOf(40), random);
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(put(kEntries, fresh));
  ASSERT_TRUE(index.Commit());
  EXPECT_EQ(ranked(fresh, 30)[0].path, folder.file("e" + std::to_string(kEntries) + ".jpg"));
  // An entry learned again as that picture ties with it (and comes first
  // by name), and is gone once removed.
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(put(3, fresh));
  ASSERT_TRUE(index.Commit());
  const std::vector<ImageEntry> changed = ranked(fresh, 30);
  EXPECT_EQ(changed[0].path, folder.file("e3.jpg"));
  EXPECT_EQ(changed[1].path, folder.file("e" + std::to_string(kEntries) + ".jpg"));
  EXPECT_EQ(changed[1].score, changed[0].score);
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(index.Remove(folder.file("e3.jpg")));
  ASSERT_TRUE(index.Commit());
  const std::vector<ImageEntry> after = ranked(fresh, 30);
  EXPECT_NE(after[1].path, folder.file("e3.jpg"));
  expectTopExact(fresh);
  // Three changes of 400 entries: the lists were not built again.
  EXPECT_EQ(readFileBytes(listsFile()), built);
  std::vector<std::int64_t> ids;
  EntryStamp stamp;
  ASSERT_TRUE(index.EntryStampOf(stamp));
  NeighbourIndex lists;
  ASSERT_TRUE(lists.Load(listsFile(), stamp.epoch, "test\n0"));
  ASSERT_TRUE(index.ChangedSince(lists.generation(), ids));
  EXPECT_EQ(ids.size(), 2u);  // the new entry and e3, changed then removed

  // Changes beyond a tenth of the entries build the lists again.
  ASSERT_TRUE(index.Begin());
  for (std::size_t i = 0; i <= kEntries / kRebuildShare; ++i)
    ASSERT_TRUE(put(kEntries + 1 + i, signatures[i]));
  ASSERT_TRUE(index.Commit());
  expectTopExact(signatures[2]);
  ASSERT_TRUE(lists.Load(listsFile(), stamp.epoch, "test\n0"));
  EXPECT_EQ(lists.size(), kEntries + 1 + kEntries / kRebuildShare);
}

// A copy whose colours were changed: its colour structure is another
// picture's, its relative histogram, layout and bases are the original's.
// The default estimate ranks it 36th, the robust one 6th, right after the
// original's near copies; a robust search with a shortlist of 8 finds it
// through the relative lists, which the default lists' 32 candidates lack.
TEST_P(NeighbourRanking, TheRobustMeasureFindsACopyFarByTheDefaultEstimate) {
  Signature copy = signatures[0];
  copy.structure = signatures[41].structure;
  ASSERT_TRUE(index.Begin());
  ASSERT_TRUE(put(kEntries, copy));
  ASSERT_TRUE(index.Commit());
  const std::string name = folder.file("e" + std::to_string(kEntries) + ".jpg");
  const double weight = PresetColorPercent(ColorMode::Robust) / 100.0;
  constexpr std::size_t kShortlist = kCopies + 3;
  const std::vector<ImageEntry> all = ranked(signatures[0], 0, kRobustColorMode, weight);
  const std::vector<ImageEntry> top = ranked(signatures[0], kShortlist, kRobustColorMode, weight);
  ASSERT_GE(top.size(), kCopies + 1);
  EXPECT_EQ(all[kCopies].path, name);
  for (std::size_t i = 0; i <= kCopies; ++i) {
    EXPECT_EQ(top[i].path, all[i].path) << i;
    EXPECT_EQ(top[i].score, all[i].score) << i;
  }
  EXPECT_TRUE(fs::exists(listsFile() + "-relative"));

  std::vector<CompactRow> rows;
  std::vector<std::int64_t> damaged, changed;
  ASSERT_TRUE(index.LoadCompact(folder.path(), "test", 0, rows, damaged));
  const auto row =
      std::find_if(rows.begin(), rows.end(), [&](const CompactRow& r) { return r.path == name; });
  ASSERT_NE(row, rows.end());
  for (const auto kind : {NeighbourPointKind::Default, NeighbourPointKind::Relative}) {
    NeighbourIndex lists(kind);
    ASSERT_TRUE(LoadNeighbours(index, "test", 0, 2, lists, changed));
    const std::vector<std::int64_t> near =
        lists.Nearest(MakeCompact(signatures[0]), kShortlist * kCandidatesPerPlace, 2);
    EXPECT_EQ(std::count(near.begin(), near.end(), row->id),
              kind == NeighbourPointKind::Relative ? 1 : 0);
  }
}

// The same entries in an SQLite file rank alike, place by place.
TEST_P(NeighbourRanking, RanksAsTheSameEntriesInAnSqliteFile) {
  SignatureIndex twin;
  std::string notice, error;
  ASSERT_TRUE(twin.Open(store.file("twin.sqlite"), notice, error)) << error;
  ASSERT_TRUE(twin.Begin());
  for (std::size_t i = 0; i < kEntries; ++i) ASSERT_TRUE(put(i, signatures[i], twin));
  ASSERT_TRUE(twin.Commit());
  for (std::size_t i : {0u, 11u, 222u}) {
    const std::vector<ImageEntry> here = ranked(signatures[i], 30);
    const std::vector<ImageEntry> there = rankedIn(twin, signatures[i], 30);
    ASSERT_EQ(here.size(), there.size());
    for (std::size_t k = 0; k < here.size(); ++k) {
      EXPECT_EQ(here[k].path, there[k].path) << i << " " << k;
      EXPECT_EQ(here[k].score, there[k].score) << i << " " << k;
    }
  }
}

struct FileDamage {
  const char* name;
  std::function<void(std::string&)> apply;
};

class DamagedLists : public NeighbourRankingBase,
                     public ::testing::WithParamInterface<FileDamage> {};

TEST_P(DamagedLists, AreBuiltAgainNeverRead) {
  expectTopExact(signatures[2]);
  std::string bytes = readFileBytes(listsFile());
  ASSERT_GT(bytes.size(), 1000u);
  GetParam().apply(bytes);
  writeFileBytes(listsFile(), bytes);
  expectTopExact(signatures[2]);
  expectTopExact(signatures[9]);
  // Built again and kept: the file is replaced and reads as the lists of
  // the entries.
  EXPECT_NE(readFileBytes(listsFile()), bytes);
  EntryStamp stamp;
  ASSERT_TRUE(index.EntryStampOf(stamp));
  NeighbourIndex lists;
  EXPECT_TRUE(lists.Load(listsFile(), stamp.epoch, "test\n0"));
  EXPECT_EQ(lists.size(), kEntries);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedLists,
    ::testing::Values(FileDamage{"header_byte", [](std::string& b) { b[20] ^= 0x55; }},
                      FileDamage{"structure_byte", [](std::string& b) { b[300] ^= 0x55; }},
                      FileDamage{"cut_in_half", [](std::string& b) { b.resize(b.size() / 2); }},
                      FileDamage{"empty", [](std::string& b) { b.clear(); }},
                      FileDamage{"garbage", [](std::string& b) { b.assign(b.size(), '\x7f'); }},
                      // Lists of another index, which drew another epoch.
                      FileDamage{"another_index",
                                 [](std::string& b) {
                                   testing_support::TempDir other;
                                   const std::vector<std::int64_t> ids{1, 2, 3};
                                   const std::vector<CompactSignature> compacts(3);
                                   NeighbourIndex lists;
                                   ASSERT_TRUE(lists.Build(visitOf(ids, compacts),
                                                           other.file("lists"), EntryStamp{7, 0},
                                                           "test\n0", 1));
                                   b = readFileBytes(other.file("lists"));
                                 }}),
    [](const ::testing::TestParamInfo<FileDamage>& p) { return std::string(p.param.name); });

// The file itself: what is built loads under its own epoch and key only,
// and a changed byte anywhere before the lists' codes keeps it from loading.
TEST(NeighbourFile, LoadsUnderItsOwnEpochAndKeyOnly) {
  testing_support::TempDir dir;
  std::vector<std::int64_t> ids;
  std::vector<CompactSignature> compacts;
  std::mt19937 random(3);
  std::uniform_real_distribution<float> value(0.0f, 1.0f);
  for (std::int64_t i = 0; i < 200; ++i) {
    CompactSignature c;
    for (float& v : c.edgeProfile) v = value(random);
    for (float& v : c.structure) v = value(random);
    ids.push_back(1000 + i);
    compacts.push_back(c);
  }
  const std::string file = dir.file("lists");
  NeighbourIndex built;
  ASSERT_TRUE(built.Build(visitOf(ids, compacts), file, EntryStamp{12345, 67}, "key", 2));
  EXPECT_EQ(built.size(), ids.size());
  EXPECT_EQ(built.generation(), 67);
  EXPECT_EQ(built.Nearest(compacts[17], 1), std::vector<std::int64_t>{1017});

  NeighbourIndex loaded;
  ASSERT_TRUE(loaded.Load(file, 12345, "key"));
  EXPECT_EQ(loaded.generation(), 67);
  EXPECT_EQ(loaded.Nearest(compacts[30], 5), built.Nearest(compacts[30], 5));
  // Every descriptor finds itself first.
  const std::vector<std::vector<std::int64_t>> each = loaded.NearestOfEach(compacts, 3, 2);
  ASSERT_EQ(each.size(), ids.size());
  for (std::size_t i = 0; i < each.size(); ++i) {
    ASSERT_FALSE(each[i].empty());
    EXPECT_EQ(each[i][0], ids[i]) << i;
  }
  EXPECT_FALSE(loaded.Load(file, 12346, "key"));
  EXPECT_EQ(loaded.size(), 0u);
  EXPECT_FALSE(loaded.Load(file, 12345, "kex"));
  EXPECT_FALSE(loaded.Load(dir.file("missing"), 12345, "key"));
  const std::string good = readFileBytes(file);
  // The codes (two bytes per value) and ids of the lists end the file.
  const std::size_t checked = good.size() - ids.size() * (2 * kNeighbourPointSize + 8);
  for (std::size_t at = 0; at < checked; at += checked / 97 + 1) {
    std::string bad = good;
    bad[at] ^= 0x20;
    writeFileBytes(file, bad);
    EXPECT_FALSE(loaded.Load(file, 12345, "key")) << at;
  }
}

// A descriptor whose profiles share every value out evenly.
CompactSignature even() {
  CompactSignature c;
  c.edgeProfile.fill(1.0f / kCompactBands);
  c.structure.fill(1.0f / kCompactStructure);
  return c;
}

// Every value of both profiles moved by a fifth, half of them up, half down
// (in a random order), so that the sums stay 1.
CompactSignature spread(std::mt19937& random) {
  CompactSignature c = even();
  const auto move = [&random](auto& values) {
    std::vector<float> sign(values.size());
    for (std::size_t k = 0; k < sign.size(); ++k) sign[k] = k % 2 == 0 ? 1.2f : 0.8f;
    std::shuffle(sign.begin(), sign.end(), random);
    for (std::size_t k = 0; k < values.size(); ++k) values[k] *= sign[k];
  };
  move(c.edgeProfile);
  move(c.structure);
  return c;
}

// A twentieth of both profiles gathered in one value (at).
CompactSignature peaked(std::size_t at) {
  CompactSignature c = even();
  const auto gather = [at](auto& values) {
    for (float& v : values) v *= 0.95f;
    values[at % values.size()] += 0.05f;
  };
  gather(c.edgeProfile);
  gather(c.structure);
  return c;
}

TEST(NeighbourEstimate, OfTwoPointsIsTheDefaultEstimateOfTheirDescriptors) {
  const double weight = PresetColorPercent(kDefaultColorMode) / 100.0;
  const CompactSignature a = even(), p = peaked(3);
  std::mt19937 random(5);
  const CompactSignature s = spread(random), t = spread(random);
  const std::pair<const CompactSignature*, const CompactSignature*> pairs[] = {
      {&a, &a}, {&a, &p}, {&p, &a}, {&a, &s}, {&s, &t}, {&p, &t}};
  for (const auto& [q, x] : pairs) {
    const std::vector<float> from = NeighbourPoint(*q), to = NeighbourPoint(*x);
    EXPECT_NEAR(EstimateOfPoints(from.data(), to.data()),
                EstimateScore(*q, *x, NumberOf(kDefaultColorMode), weight), 1e-5);
  }
}

// The relative lists' point: unchanged by a tone curve that keeps the order
// of the cells (here a linear one) or by a hue turn of the colour structure,
// moved by a different layout; no layout for a flat picture or empty cells;
// no coordinate below 0, and squares summing to 1 with every part present.
TEST(NeighbourPoint, TheRelativeOneKeepsToneAndHueEditsApart) {
  std::mt19937 random(11);
  CompactSignature c = spread(random);
  std::uniform_real_distribution<float> level(10.0f, 240.0f);
  for (float& v : c.blockMeans) v = level(random);
  c.relative.fill(1.0f / kRelativeBins);
  c.hasRelative = true;
  const auto relative = [](const CompactSignature& x) {
    return NeighbourPoint(x, NeighbourPointKind::Relative);
  };
  const auto near = [](const std::vector<float>& a, const std::vector<float>& b) {
    double d = 0.0;
    for (std::size_t k = 0; k < a.size(); ++k) d += (a[k] - b[k]) * (a[k] - b[k]);
    return d < 1e-10;
  };
  const std::vector<float> point = relative(c);
  ASSERT_EQ(point.size(), kNeighbourPointSize);
  EXPECT_TRUE(std::all_of(point.begin(), point.end(), [](float v) { return v >= 0.0f; }));
  EXPECT_NEAR(EstimateOfPoints(point.data(), point.data()), 1.0, 1e-5);

  CompactSignature toned = c, turned = c, moved = c, flat = c, small = c;
  for (float& v : toned.blockMeans) v = 0.6f * v + 30.0f;
  std::rotate(turned.structure.begin(), turned.structure.begin() + 16, turned.structure.end());
  std::swap_ranges(moved.blockMeans.begin(), moved.blockMeans.begin() + 6,
                   moved.blockMeans.begin() + 24);
  flat.blockMeans.fill(100.0f);
  std::fill(small.blockMeans.begin() + 24, small.blockMeans.end(), 0.0f);
  EXPECT_TRUE(near(relative(toned), point));
  EXPECT_TRUE(near(relative(turned), point));
  EXPECT_FALSE(near(relative(moved), point));
  EXPECT_FALSE(near(NeighbourPoint(turned), NeighbourPoint(c)));
  const std::vector<float> none = relative(flat);
  EXPECT_TRUE(std::all_of(none.begin(), none.begin() + 32, [](float v) { return v == 0.0f; }));
  EXPECT_NEAR(EstimateOfPoints(none.data(), none.data()), 0.8, 1e-5);
  // Cells a small picture leaves empty neither count nor move the others'.
  const std::vector<float> half = relative(small);
  EXPECT_TRUE(std::all_of(half.begin() + 16, half.begin() + 32, [](float v) { return v == 0.0f; }));
  EXPECT_NEAR(EstimateOfPoints(half.data(), half.data()), 1.0, 1e-5);
}

// A few entries with a high estimate lie farther in L2 between the points
// than many with a lower one: values moved everywhere by a little cost the
// estimate more than the distance, one value moved by much the reverse. The
// lists offer the entries of the highest estimate all the same.
TEST(NeighbourEstimate, OrdersTheCandidatesOfTheLists) {
  testing_support::TempDir dir;
  std::vector<std::int64_t> ids;
  std::vector<CompactSignature> compacts;
  std::mt19937 random(11);
  for (std::int64_t i = 0; i < 30; ++i) {
    ids.push_back(i);
    compacts.push_back(spread(random));
  }
  constexpr std::size_t kPeaked = 4;
  for (std::size_t i = 0; i < kPeaked; ++i) {
    ids.push_back(100 + static_cast<std::int64_t>(i));
    compacts.push_back(peaked(7 * i + 1));
  }
  const CompactSignature query = even();
  const std::vector<float> q = NeighbourPoint(query);
  const auto l2 = [&q](const CompactSignature& c) {
    const std::vector<float> p = NeighbourPoint(c);
    double sum = 0.0;
    for (std::size_t k = 0; k < p.size(); ++k) sum += (p[k] - q[k]) * (p[k] - q[k]);
    return sum;
  };
  const double weight = PresetColorPercent(kDefaultColorMode) / 100.0;
  const auto estimate = [&](const CompactSignature& c) {
    return EstimateScore(query, c, NumberOf(kDefaultColorMode), weight);
  };
  // The premise: the two orders disagree.
  ASSERT_GT(l2(compacts.back()), l2(compacts.front()));
  ASSERT_GT(estimate(compacts.back()), estimate(compacts.front()) + 0.02);

  NeighbourIndex lists;
  ASSERT_TRUE(lists.Build(visitOf(ids, compacts), dir.file("lists"), EntryStamp{1, 1}, "k", 2));
  for (unsigned threads : {1u, 2u}) {
    std::vector<std::int64_t> best = lists.Nearest(query, kPeaked, threads);
    std::sort(best.begin(), best.end());
    EXPECT_EQ(best, (std::vector<std::int64_t>{100, 101, 102, 103})) << threads;
    EXPECT_EQ(lists.Nearest(query, ids.size(), threads).size(), ids.size());
  }
}

// The search of many descriptors at once, which takes the queries of the
// same lists together, gives each what its own search gives, on any number
// of threads and whether the processor's vector units score or not.
TEST(NeighbourBatch, GivesEachQueryWhatItsOwnSearchGives) {
  testing_support::TempDir dir;
  std::vector<std::int64_t> ids;
  std::vector<CompactSignature> compacts;
  std::mt19937 random(23);
  std::uniform_real_distribution<float> value(0.0f, 1.0f), nudge(0.97f, 1.03f);
  // 600 descriptors, each with 4 near copies; ids neither dense nor ordered.
  for (std::size_t i = 0; i < 600; ++i) {
    CompactSignature c;
    for (float& v : c.edgeProfile) v = value(random);
    for (float& v : c.structure) v = value(random) * value(random);
    for (std::size_t copy = 0; copy < 5; ++copy) {
      CompactSignature near = c;
      if (copy > 1)
        for (float& v : near.structure) v *= nudge(random);
      ids.push_back(static_cast<std::int64_t>((i * 7919 + copy * 104729) % 1000003));
      compacts.push_back(near);
    }
  }
  NeighbourIndex lists;
  ASSERT_TRUE(lists.Build(visitOf(ids, compacts), dir.file("lists"), EntryStamp{1, 1}, "k", 2));
  const std::vector<CompactSignature> queries(compacts.begin(), compacts.begin() + 400);
  const KPX::VectorLevel cpu = KPX::cpuVectorLevel();
  for (const KPX::VectorLevel level : {cpu, KPX::VectorLevel::Portable}) {
    ASSERT_TRUE(KPX::setVectorLevel(level));
    for (const std::size_t k : {std::size_t{1}, std::size_t{12}, std::size_t{5000}}) {
      std::vector<std::vector<std::int64_t>> own;
      for (const CompactSignature& q : queries) own.push_back(lists.Nearest(q, k, 1));
      for (const unsigned threads : {1u, 2u}) {
        const std::vector<std::vector<std::int64_t>> each =
            lists.NearestOfEach(queries, k, threads);
        ASSERT_EQ(each.size(), queries.size());
        for (std::size_t q = 0; q < queries.size(); ++q)
          ASSERT_EQ(each[q], own[q]) << "query " << q << ", k " << k << ", threads " << threads
                                     << ", " << KPX::vectorLevelName(level);
      }
    }
  }
  ASSERT_TRUE(KPX::setVectorLevel(cpu));
  // Reading every list, a descriptor finds its exact copy and itself first.
  const std::vector<std::vector<std::int64_t>> all = lists.NearestOfEach(queries, 2, 2, 100000);
  for (std::size_t q = 0; q < queries.size(); q += 5) {
    std::vector<std::int64_t> best = all[q], expected = {ids[q], ids[q + 1]};
    std::sort(best.begin(), best.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(best, expected) << q;
  }
}

}  // namespace
