// The retrieval form's search without the form: what refuses a search, when
// the index is used, and what a search signals, in order, for RIM files,
// for ordinary pictures over the index, for nothing to rank, for a damaged
// index and for a cancel.
#include "shell/search_model.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <filesystem>
#include <string>
#include <vector>

#include "core_application.h"
#include "index/index_location.h"
#include "shell/folim_doc.h"
#include "support/rim_files.h"
#include "support/test_support.h"

namespace {

using document_testing::waitUntil;
using testing_support::TempDir;

// What the model signals, one line each, in order; the captions apart.
class SignalLog {
 public:
  explicit SignalLog(CSearchModel& model) {
    QObject::connect(&model, &CSearchModel::started, [this] { lines << "started"; });
    QObject::connect(&model, &CSearchModel::progress,
                     [this](int, const QString& caption) { captions << caption; });
    QObject::connect(&model, &CSearchModel::ended, [this] { lines << "ended"; });
    QObject::connect(&model, &CSearchModel::messageRaised,
                     [this](const QString& text) { lines << "message: " + text; });
    QObject::connect(&model, &CSearchModel::rankingArrived,
                     [this](int count) { lines << QStringLiteral("ranking %1").arg(count); });
    QObject::connect(&model, &CSearchModel::finished, [this] { lines << "finished"; });
  }

  QStringList lines;
  QStringList captions;
};

void writeRim(const std::string& path, int width, bool ica) {
  ASSERT_EQ(testing_support::writeRimFile(path, testing_support::patternImage(width, 48), 0,
                                          ica ? 20 : 0),
            0)
      << path;
}

using testing_support::copyExamplePhotos;

class SearchModelTest : public ::testing::Test {
 protected:
  void list(const std::string& dir) {
    doc.ListFolder(QString::fromStdString(dir));
    ASSERT_TRUE(waitUntil([&] { return !doc.IsLoadingThumbnails(); }));
  }
  void query(const std::string& path) { doc.SelectImage(QString::fromStdString(path)); }
  // Starts a search and waits for its end.
  void search(const SearchSettings& settings) {
    QString refusal;
    ASSERT_TRUE(model.Start(settings, &refusal)) << refusal.toStdString();
    ASSERT_TRUE(waitUntil([&] { return lines().contains("finished"); }));
  }
  const QStringList& lines() const { return log.lines; }
  std::vector<std::string> paths() const {
    std::vector<std::string> r;
    for (const ImageEntry& e : doc.entries()) r.push_back(e.path);
    return r;
  }

  CFolimDoc doc;
  CSearchModel model{doc};
  SignalLog log{model};
  TempDir temp;
};

struct RefusalCase {
  const char* name;
  int colorMode;
  bool query;
  const char* message;
};

class SearchRefusals : public SearchModelTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(SearchRefusals, SayWhatIsMissingAndStartNothing) {
  const RefusalCase& c = GetParam();
  writeRim(temp.file("a.rim"), 64, false);
  list(temp.path());
  if (c.query) query(temp.file("a.rim"));
  const SearchSettings settings{c.colorMode, "70", 1};
  EXPECT_EQ(model.Refusal(settings), QString::fromUtf8(c.message));
  QString refusal;
  EXPECT_FALSE(model.Start(settings, &refusal));
  EXPECT_EQ(refusal, QString::fromUtf8(c.message));
  EXPECT_FALSE(model.IsSearching());
  EXPECT_FALSE(doc.IsBusy());
  EXPECT_TRUE(lines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Settings, SearchRefusals,
    ::testing::Values(RefusalCase{"typed_measure", -1, true,
                                  "Sorry. Now Color Mode is Scolor and Histogram."},
                      RefusalCase{"measure_past_the_list", 4, true,
                                  "Sorry. Now Color Mode is Scolor and Histogram."},
                      RefusalCase{"no_query", 2, false, "Please select an image as the query."},
                      RefusalCase{"typed_measure_before_no_query", -1, false,
                                  "Sorry. Now Color Mode is Scolor and Histogram."}),
    [](const ::testing::TestParamInfo<RefusalCase>& p) { return std::string(p.param.name); });

TEST_F(SearchModelTest, ABusyDocumentStartsNoSearchAndRefusesNothing) {
  writeRim(temp.file("a.rim"), 64, false);
  list(temp.path());
  query(temp.file("a.rim"));
  std::atomic<bool> release{false};
  bool ended = false;
  ASSERT_TRUE(doc.jobs().start(
      [&release](const CJobRunner::Control&) {
        while (!release) QThread::msleep(2);
      },
      &doc, [&](bool) { ended = true; }));
  QString refusal;
  EXPECT_FALSE(model.Start({2, "70", 1}, &refusal));
  EXPECT_TRUE(refusal.isEmpty());
  EXPECT_TRUE(lines().isEmpty());
  release = true;
  ASSERT_TRUE(waitUntil([&] { return ended; }));
}

// The search of RIM files answers only when the query and every listed
// entry are RIM files; anything else goes through the index.
struct IndexCase {
  const char* name;
  const char* query;  // in the folder
  bool pictureListed;
  bool needsIndex;
};

class IndexOrNot : public SearchModelTest, public ::testing::WithParamInterface<IndexCase> {};

TEST_P(IndexOrNot, FollowsTheQueryAndTheListing) {
  const IndexCase& c = GetParam();
  writeRim(temp.file("pca.rim"), 64, false);
  writeRim(temp.file("ica.rim"), 64, true);
  copyExamplePhotos(temp.path(), c.pictureListed ? 1 : 0);
  testing_support::TempDir elsewhere;
  copyExamplePhotos(elsewhere.path(), 1);
  list(temp.path());
  const std::string q = c.query;
  query(q == "photo" ? elsewhere.file("p100.jpg") : temp.file(q));
  EXPECT_EQ(model.NeedsIndex(), c.needsIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IndexOrNot,
    ::testing::Values(IndexCase{"pca_query_over_rim_files", "pca.rim", false, false},
                      IndexCase{"ica_query_over_rim_files", "ica.rim", false, false},
                      IndexCase{"photo_query", "photo", false, true},
                      IndexCase{"a_photo_listed", "pca.rim", true, true}),
    [](const ::testing::TestParamInfo<IndexCase>& p) { return std::string(p.param.name); });

TEST_F(SearchModelTest, RimFilesAreRankedWithTheWeightShown) {
  writeRim(temp.file("b_query.rim"), 96, false);
  writeRim(temp.file("a_other.rim"), 64, false);
  writeRim(temp.file("c_ica.rim"), 96, true);
  list(temp.path());
  query(temp.file("b_query.rim"));
  ASSERT_FALSE(model.NeedsIndex());
  search({1, "0", 1});
  EXPECT_EQ(lines(), (QStringList{"started", "ended", "ranking 2", "finished"}));
  EXPECT_TRUE(log.captions.contains("Calculating similarity 1 / 2 ..."))
      << log.captions.join(", ").toStdString();
  EXPECT_EQ(paths(),
            (std::vector<std::string>{temp.file("b_query.rim"), temp.file("a_other.rim")}));
  EXPECT_TRUE(doc.isRanking());
  // Edge similarity alone.
  for (const ImageEntry& e : doc.entries()) EXPECT_DOUBLE_EQ(e.score, e.edgeSimilarity);
}

TEST_F(SearchModelTest, TheQueryStaysWhileItIsRanked) {
  writeRim(temp.file("b_query.rim"), 96, false);
  writeRim(temp.file("a_other.rim"), 64, false);
  list(temp.path());
  query(temp.file("b_query.rim"));
  QString refusal;
  ASSERT_TRUE(model.Start({1, "50", 1}, &refusal)) << refusal.toStdString();
  // A click on a thumbnail, a step or an open while it ranks changes nothing.
  EXPECT_TRUE(doc.IsQueryLocked());
  EXPECT_FALSE(doc.SelectImage(QString::fromStdString(temp.file("a_other.rim"))));
  doc.SelectRow(0);
  doc.OpenImage(QString::fromStdString(temp.file("a_other.rim")));
  EXPECT_FALSE(doc.StepImage(-1));
  EXPECT_EQ(doc.currentPath().toStdString(), temp.file("b_query.rim"));
  ASSERT_TRUE(waitUntil([&] { return lines().contains("finished"); }));
  EXPECT_EQ(doc.entries().front().path, temp.file("b_query.rim"));
  // Afterwards the query can change again.
  EXPECT_FALSE(doc.IsQueryLocked());
  EXPECT_TRUE(doc.SelectImage(QString::fromStdString(temp.file("a_other.rim"))));
  EXPECT_EQ(doc.currentPath().toStdString(), temp.file("a_other.rim"));
}

TEST_F(SearchModelTest, OrdinaryPicturesAreRankedOverTheIndex) {
  copyExamplePhotos(temp.path(), 4);
  list(temp.path());
  query(temp.file("p102.jpg"));
  ASSERT_TRUE(model.NeedsIndex());
  // Colour alone: the text shown is the weight used.
  search({0, "100", 2});
  EXPECT_EQ(lines(), (QStringList{"started", "ended", "ranking 4", "finished"}));
  EXPECT_TRUE(log.captions.contains("Indexing pictures 4 / 4 ..."))
      << log.captions.join(", ").toStdString();
  EXPECT_EQ(log.captions.last(), "Ranking pictures ...");
  ASSERT_EQ(doc.entries().size(), 4u);
  EXPECT_EQ(doc.entries()[0].path, temp.file("p102.jpg"));
  for (const ImageEntry& e : doc.entries()) EXPECT_DOUBLE_EQ(e.score, e.colorSimilarity);
  EXPECT_TRUE(doc.isRanking());
}

TEST_F(SearchModelTest, NothingToRankIsToldAndTheListStays) {
  writeRim(temp.file("pca.rim"), 64, false);
  writeRim(temp.file("pca2.rim"), 48, false);
  testing_support::TempDir elsewhere;
  writeRim(elsewhere.file("ica.rim"), 64, true);
  list(temp.path());
  const std::vector<std::string> before = paths();
  query(elsewhere.file("ica.rim"));
  search({2, "70", 1});
  EXPECT_EQ(lines(), (QStringList{"started", "ended", "message: Folim supports RIM files only!",
                                  "finished"}));
  EXPECT_EQ(paths(), before);
  EXPECT_FALSE(doc.isRanking());
}

TEST_F(SearchModelTest, ADamagedIndexIsToldAfterTheRanking) {
  copyExamplePhotos(temp.path(), 4);
  const std::string index = defaultIndexPath();
  std::filesystem::create_directories(std::filesystem::path(index).parent_path());
  for (const char* suffix : {"-wal", "-shm"}) std::filesystem::remove(index + suffix);
  testing_support::writeFileBytes(index, std::string(3000, 'x'));
  list(temp.path());
  query(temp.file("p101.jpg"));
  search({2, "70", 2});
  const QString file = QString::fromStdString(index);
  EXPECT_EQ(lines(),
            (QStringList{"started", "ended", "ranking 4", "finished",
                         "message: The index " + file + " was damaged; it has been kept as " +
                             file + ".damaged and a new one was built."}));
  EXPECT_EQ(doc.entries()[0].path, temp.file("p101.jpg"));
}

TEST_F(SearchModelTest, CancelLeavesTheListAsItWas) {
  copyExamplePhotos(temp.path(), 16);
  list(temp.path());
  const std::vector<std::string> before = paths();
  query(temp.file("p100.jpg"));
  // Cancel as soon as the search reports, as the progress window does.
  QObject::connect(&model, &CSearchModel::progress, &model, &CSearchModel::Cancel);
  search({2, "70", 1});
  EXPECT_EQ(lines(), (QStringList{"started", "ended", "finished"}));
  EXPECT_EQ(paths(), before);
  EXPECT_FALSE(doc.isRanking());
  EXPECT_FALSE(model.IsSearching());
  EXPECT_FALSE(doc.IsQueryLocked());
}

}  // namespace
