// The search both front ends run over the index: the folder refreshed and
// ranked with the query first, the paths spelled as the folder was named,
// the index as it stands without a refresh, damaged rows dropped (and
// learned again by the refresh), and the outcomes without a ranking, with
// what the search tells on the way.
#include "index/search_pipeline.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "index_fixture.h"

using testing_support::writeFileBytes;

namespace {

// What the search told, one line per event, in order.
class Recorder : public IndexedSearchObserver {
 public:
  void RefreshStarted() override { events.push_back("refresh"); }
  void Indexing(std::size_t done, std::size_t total) override {
    lastIndexing = std::to_string(done) + "/" + std::to_string(total);
  }
  void Refreshed(const RefreshCounts& c) override {
    events.push_back("refreshed +" + std::to_string(c.added) + " failed " +
                     std::to_string(c.failed));
  }
  void Ranking() override { events.push_back("ranking"); }
  void Rebuilt(const std::string&) override { events.push_back("rebuilt"); }
  void RowsDropped(std::size_t count) override {
    events.push_back("dropped " + std::to_string(count));
  }

  std::vector<std::string> events;
  std::string lastIndexing;
};

class SearchPipelineBase : public IndexFixture {
 protected:
  void SetUp() override {
    IndexFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    for (unsigned i = 0; i < 6; ++i) files.push_back(writeRim("p" + std::to_string(i) + ".rim", i));
  }

  IndexedSearchRequest request(const std::string& query) {
    IndexedSearchRequest r;
    r.queryPath = query;
    r.folder = folder.path();
    r.threads = 2;
    r.params = "test";
    r.listPictures = [this](const std::string& dir, bool) {
      ++listings;
      EXPECT_EQ(dir, folder.path());
      return files;
    };
    r.signatureOf = [](const std::string& path, Signature& s, std::string& cause) {
      const Status st = ReadRimSignature(path, s);
      if (st != status::Success) cause = "unreadable " + path.substr(path.rfind('/') + 1);
      return st;
    };
    return r;
  }

  IndexedSearchResult run(const IndexedSearchRequest& r) {
    recorder = Recorder();
    SignatureIndex index;
    open(index);
    return RunIndexedSearch(index, r, recorder);
  }

  void damageCompactOf(int rows) {
    const std::string limit = " LIMIT " + std::to_string(rows) + ")";
    runOnIndex("UPDATE entries SET compact = x'00' WHERE id IN (SELECT id FROM entries" + limit,
               "UPDATE folim.entries SET compact = '\\x00' WHERE id IN"
               " (SELECT id FROM folim.entries" +
                   limit);
  }

  std::size_t rowsInIndex() {
    SignatureIndex index;
    open(index);
    std::vector<IndexRow> rows;
    EXPECT_TRUE(index.RowsUnder(folder.path(), "test", rows));
    return rows.size();
  }

  std::vector<std::string> files;
  Recorder recorder;
  int listings = 0;
};
using SearchPipeline = OnBothIndexes<SearchPipelineBase>;
FOLIM_ON_BOTH_INDEXES(SearchPipeline);

TEST_P(SearchPipeline, IndexesTheFolderAndRanksTheQueryFirst) {
  const IndexedSearchResult result = run(request(files[2]));
  ASSERT_EQ(result.outcome, IndexedSearchOutcome::Ranked);
  ASSERT_EQ(result.ranking.size(), files.size());
  EXPECT_EQ(result.ranking[0].path, files[2]);
  EXPECT_DOUBLE_EQ(result.ranking[0].score, 1.0);
  for (std::size_t i = 1; i < result.ranking.size(); ++i)
    EXPECT_GE(result.ranking[i - 1].score, result.ranking[i].score) << i;
  EXPECT_EQ(recorder.events,
            (std::vector<std::string>{"refresh", "refreshed +6 failed 0", "ranking"}));
  EXPECT_EQ(recorder.lastIndexing, "6/6");
  EXPECT_EQ(listings, 1);
  EXPECT_TRUE(result.dropError.empty());
  EXPECT_EQ(rowsInIndex(), files.size());
}

TEST_P(SearchPipeline, PathsAreSpelledAsTheFolderWasNamed) {
  IndexedSearchRequest r = request(files[0]);
  r.folder = folder.path() + "/./";
  const IndexedSearchResult result = run(r);
  ASSERT_EQ(result.outcome, IndexedSearchOutcome::Ranked);
  EXPECT_EQ(result.ranking[0].path, folder.path() + "/./p0.rim");
  for (const ImageEntry& e : result.ranking)
    EXPECT_EQ(e.path.compare(0, folder.path().size() + 3, folder.path() + "/./"), 0) << e.path;
}

TEST_P(SearchPipeline, WithoutRefreshTheIndexIsRankedAsItStands) {
  IndexedSearchRequest r = request(files[1]);
  r.refresh = false;
  IndexedSearchResult result = run(r);
  EXPECT_EQ(result.outcome, IndexedSearchOutcome::NothingRanked);
  EXPECT_EQ(listings, 0);
  EXPECT_EQ(recorder.events, std::vector<std::string>{"ranking"});

  // The index holds five of the six pictures: those five are ranked.
  files.pop_back();
  ASSERT_EQ(run(request(files[1])).outcome, IndexedSearchOutcome::Ranked);
  files.push_back(folder.file("p5.rim"));
  result = run(r);
  ASSERT_EQ(result.outcome, IndexedSearchOutcome::Ranked);
  EXPECT_EQ(result.ranking.size(), 5u);
  EXPECT_EQ(result.ranking[0].path, files[1]);
  EXPECT_EQ(listings, 1);
}

// Rows whose blobs do not decode are left out, dropped and told; a refresh
// learns their files again and the search ranks them in its second round.
struct DropCase {
  bool refresh;
  std::vector<std::string> events;
  std::size_t ranked;
  std::size_t rowsAfter;
};

void PrintTo(const DropCase& c, std::ostream* os) { *os << (c.refresh ? "refresh" : "no refresh"); }

class DamagedRows : public SearchPipelineBase,
                    public ::testing::WithParamInterface<std::tuple<DropCase, IndexKind>> {
 protected:
  DamagedRows() { useKind(std::get<1>(GetParam())); }
};

TEST_P(DamagedRows, AreDroppedAndLearnedAgainByTheRefresh) {
  const DropCase& c = std::get<0>(GetParam());
  ASSERT_EQ(run(request(files[0])).outcome, IndexedSearchOutcome::Ranked);
  damageCompactOf(2);
  IndexedSearchRequest r = request(files[0]);
  r.refresh = c.refresh;
  r.shortlist = 0;
  const IndexedSearchResult result = run(r);
  ASSERT_EQ(result.outcome, IndexedSearchOutcome::Ranked);
  EXPECT_EQ(recorder.events, c.events);
  EXPECT_EQ(result.ranking.size(), c.ranked);
  EXPECT_TRUE(result.dropError.empty()) << result.dropError;
  EXPECT_EQ(rowsInIndex(), c.rowsAfter);
}

INSTANTIATE_TEST_SUITE_P(
    WithAndWithoutRefresh, DamagedRows,
    ::testing::Combine(::testing::Values(DropCase{true,
                                                  {"refresh", "refreshed +0 failed 0", "ranking",
                                                   "dropped 2", "refresh", "refreshed +2 failed 0",
                                                   "ranking"},
                                                  6,
                                                  6},
                                         DropCase{false, {"ranking", "dropped 2"}, 4, 4}),
                       BothIndexKinds()));

TEST_P(SearchPipeline, UnreadablePicturesAreCountedAndRankedLast) {
  files.push_back(folder.file("broken.rim"));
  writeFileBytes(files.back(), "RF but not a RIM file");
  const IndexedSearchResult result = run(request(files[3]));
  ASSERT_EQ(result.outcome, IndexedSearchOutcome::Ranked);
  EXPECT_EQ(recorder.events[1], "refreshed +7 failed 1");
  ASSERT_EQ(result.ranking.size(), 7u);
  EXPECT_EQ(result.ranking.back().path, folder.file("broken.rim"));
  EXPECT_EQ(result.ranking.back().score, -1.0);
}

TEST_P(SearchPipeline, AnUnreadableQueryIsToldWithTheSourcesCause) {
  const std::string query = store.file("junk.rim");
  writeFileBytes(query, "not a picture");
  const IndexedSearchResult result = run(request(query));
  EXPECT_EQ(result.outcome, IndexedSearchOutcome::QueryUnreadable);
  EXPECT_NE(result.queryStatus, status::Success);
  EXPECT_EQ(result.queryCause, "unreadable junk.rim");
  EXPECT_TRUE(result.ranking.empty());
  // The folder was indexed all the same.
  EXPECT_EQ(rowsInIndex(), files.size());
}

TEST_P(SearchPipeline, NothingIsRankedAgainstAQueryOfOtherBases) {
  const std::string query = store.file("ica.rim");
  ASSERT_EQ(synthetic::write(query, synthetic::randomRim(synthetic::header(96, 80, 8, 24, 1), 3)),
            0);
  const IndexedSearchResult result = run(request(query));
  EXPECT_EQ(result.outcome, IndexedSearchOutcome::NothingRanked);
  EXPECT_TRUE(result.ranking.empty());
}

TEST_P(SearchPipeline, AStopEndsItWithNothingToShow) {
  const std::atomic<bool> stop{true};
  IndexedSearchRequest r = request(files[0]);
  r.stop = &stop;
  IndexedSearchResult result = run(r);
  EXPECT_EQ(result.outcome, IndexedSearchOutcome::Stopped);
  EXPECT_TRUE(result.ranking.empty());
  // Stopped while ranking an index brought up to date before.
  r.stop = nullptr;
  ASSERT_EQ(run(r).outcome, IndexedSearchOutcome::Ranked);
  r.stop = &stop;
  r.refresh = false;
  result = run(r);
  EXPECT_EQ(result.outcome, IndexedSearchOutcome::Stopped);
  EXPECT_TRUE(result.ranking.empty());
}

}  // namespace
