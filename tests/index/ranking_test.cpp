// Two-stage ranking: with every entry scored it is the search's ranking of
// the RIM files, value for value; a shortlist scores its entries the same,
// over as many chunks of exact scores as it takes.
#include "index/ranking.h"

#include <gtest/gtest.h>

#include <set>

#include "index_fixture.h"

namespace {

class IndexedRankingBase : public IndexFixture {
 protected:
  std::vector<std::string> files;
  std::vector<ImageEntry> entries;
  void SetUp() override {
    IndexFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (unsigned i = 0; i < 30; ++i) {
      // Some files share a seed with another size: close, not equal.
      files.push_back(writeRim("r" + std::to_string(i) + ".rim", i % 20, i % 7 == 3 ? 1 : 0,
                               88 + 8 * (i / 20)));
      ImageEntry e;
      e.path = files.back();
      e.name = e.path.substr(e.path.rfind('/') + 1);
      entries.push_back(e);
    }
    SignatureIndex index;
    open(index);
    refresh(index, files);
  }

  std::vector<ImageEntry> ranked(std::size_t shortlist, std::int32_t mode, const char* weight,
                                 const std::atomic<bool>* stop = nullptr) {
    SignatureIndex index;
    open(index);
    IndexedQuery q;
    EXPECT_EQ(ReadRimSignature(files[0], q.query), status::Success);
    q.colorMode = mode;
    q.colorWeight = ColorWeightFromText(weight);
    q.shortlist = shortlist;
    q.threads = 2;
    q.stop = stop;
    std::vector<ImageEntry> ranking;
    std::vector<std::int64_t> damaged;
    std::string error;
    EXPECT_TRUE(RankIndexed(index, folder.path(), false, "test", q, ranking, damaged, error));
    EXPECT_TRUE(damaged.empty());
    return ranking;
  }
};
using IndexedRanking = OnBothIndexes<IndexedRankingBase>;
FOLIM_ON_BOTH_INDEXES(IndexedRanking);

struct Mode {
  std::int32_t mode;
  const char* weight;
};

class EveryEntry : public IndexedRankingBase, public ::testing::WithParamInterface<Mode> {};

TEST_P(EveryEntry, EqualsTheSearchOfTheFiles) {
  SearchRequest request;
  request.queryPath = files[0];
  request.queryBaseType = 0;
  request.colorMode = GetParam().mode;
  request.colorWeightText = GetParam().weight;
  const SearchResult exhaustive = RunSearch(request, entries);
  ASSERT_EQ(exhaustive.outcome, SearchOutcome::Ranked);
  const std::vector<ImageEntry> indexed = ranked(0, GetParam().mode, GetParam().weight);
  ASSERT_EQ(indexed.size(), exhaustive.candidates.size());
  for (std::size_t i = 0; i < indexed.size(); ++i) {
    EXPECT_EQ(indexed[i].path, exhaustive.candidates[i].path) << i;
    EXPECT_EQ(indexed[i].score, exhaustive.candidates[i].score) << i;
    EXPECT_EQ(indexed[i].edgeSimilarity, exhaustive.candidates[i].edgeSimilarity) << i;
    EXPECT_EQ(indexed[i].colorSimilarity, exhaustive.candidates[i].colorSimilarity) << i;
  }
}

INSTANTIATE_TEST_SUITE_P(ColourModes, EveryEntry,
                         ::testing::Values(Mode{0, "90"}, Mode{1, "75"}, Mode{2, "70"},
                                           Mode{2, "0"}));

TEST_P(IndexedRanking, AShortlistScoresItsEntriesExactlyAndKeepsTheBest) {
  const std::vector<ImageEntry> all = ranked(0, 2, "70");
  const std::vector<ImageEntry> short5 = ranked(5, 2, "70");
  ASSERT_EQ(short5.size(), 5u);
  EXPECT_EQ(short5[0].path, files[0]);
  EXPECT_EQ(short5[0].score, 1.0);
  for (const ImageEntry& e : short5) {
    const auto it =
        std::find_if(all.begin(), all.end(), [&](const ImageEntry& a) { return a.path == e.path; });
    ASSERT_NE(it, all.end());
    EXPECT_EQ(it->score, e.score);
  }
  // A shortlist as long as the folder is the whole ranking.
  const std::vector<ImageEntry> long40 = ranked(40, 2, "70");
  ASSERT_EQ(long40.size(), all.size());
  for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(long40[i].path, all[i].path);
}

TEST_P(IndexedRanking, AStopEndsTheRankingWithNoResult) {
  for (std::size_t shortlist : {std::size_t{0}, std::size_t{5}}) {
    std::atomic<bool> stop{false};
    const std::size_t whole = ranked(shortlist, 2, "70").size();
    EXPECT_GE(whole, 5u);
    EXPECT_EQ(ranked(shortlist, 2, "70", &stop).size(), whole) << shortlist;
    stop = true;
    EXPECT_TRUE(ranked(shortlist, 2, "70", &stop).empty()) << shortlist;
  }
}

// More entries than one chunk of exact scores holds, each its own signature:
// every chunk's entries keep their own scores.
class LargeIndexedRankingBase : public IndexFixture {
 protected:
  static constexpr unsigned kEntries = 650;  // two whole chunks of 256 and part of a third
  std::vector<std::pair<std::string, Signature>> stored;

  void SetUp() override {
    IndexFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    SignatureIndex index;
    open(index);
    ASSERT_TRUE(index.Begin());
    for (unsigned i = 0; i < kEntries; ++i) {
      stored.emplace_back(folder.file("e" + std::to_string(i) + ".jpg"), signatureOf(i));
      ASSERT_TRUE(index.Put(stored.back().first, "test", stampOf(1, 1), 0, &stored.back().second));
    }
    ASSERT_TRUE(index.Commit());
  }
};
using LargeIndexedRanking = OnBothIndexes<LargeIndexedRankingBase>;
FOLIM_ON_BOTH_INDEXES(LargeIndexedRanking);

TEST_P(LargeIndexedRanking, EqualsScoringEveryEntryWhateverTheShortlist) {
  const Signature& query = stored[7].second;
  std::vector<ImageEntry> exhaustive;
  for (const auto& [path, signature] : stored) {
    ImageEntry e;
    e.path = path;
    ScoreSignature(query, signature, 2, 0.7, e);
    exhaustive.push_back(e);
  }
  SortLikeListing(exhaustive);
  SortByScore(exhaustive);
  for (const std::size_t shortlist : {std::size_t{0}, std::size_t{640}, std::size_t{300}}) {
    SignatureIndex index;
    open(index);
    IndexedQuery q;
    q.query = query;
    q.shortlist = shortlist;
    q.threads = 2;
    std::vector<ImageEntry> ranking;
    std::vector<std::int64_t> damaged;
    std::string error;
    ASSERT_TRUE(RankIndexed(index, folder.path(), false, "test", q, ranking, damaged, error))
        << error;
    EXPECT_TRUE(damaged.empty());
    // A shortlist ranks its entries as scoring them all does.
    std::set<std::string> chosen;
    for (const ImageEntry& e : ranking) chosen.insert(e.path);
    std::vector<ImageEntry> expected;
    for (const ImageEntry& e : exhaustive)
      if (chosen.count(e.path) != 0) expected.push_back(e);
    ASSERT_EQ(ranking.size(), shortlist == 0 ? exhaustive.size() : shortlist);
    ASSERT_EQ(expected.size(), ranking.size()) << shortlist;
    EXPECT_EQ(ranking[0].path, stored[7].first) << shortlist;
    for (std::size_t i = 0; i < ranking.size(); ++i) {
      ASSERT_EQ(ranking[i].path, expected[i].path) << shortlist << " at " << i;
      ASSERT_EQ(ranking[i].score, expected[i].score) << shortlist << " at " << i;
      ASSERT_EQ(ranking[i].edgeSimilarity, expected[i].edgeSimilarity) << shortlist << " at " << i;
      ASSERT_EQ(ranking[i].colorSimilarity, expected[i].colorSimilarity)
          << shortlist << " at " << i;
    }
  }
}

}  // namespace
