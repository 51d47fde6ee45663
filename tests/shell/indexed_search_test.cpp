// The window's search of ordinary pictures through the signature index: a
// JPEG query over JPEG and PNG files, Cancel while the folder is indexed,
// and folders of RIM files alone, which keep the exact search.
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <filesystem>
#include <set>

#include "imageio/signature_source.h"
#include "index/index_location.h"
#include "index/signature_index.h"
#include "retrieval/search.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/progress_dialog.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell/translations.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class IndexedSearchTest : public ShellTest {
 protected:
  // Copies the example photographs into the folder under new names.
  void copyPhotos(const std::string& dir, int copies) {
    testing_support::copyExamplePhotos(dir, copies);
  }

  void search() {
    QSignalSpy finished(retrievalForm(), &CRetrievalView::searchFinished);
    QTest::mouseClick(retrievalForm()->searchButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
  }

  // Captions the progress window shows during the next search.
  QStringList captionsOfNextSearch() {
    QStringList captions;
    auto seen = QObject::connect(frame->listView()->progressDialog(), &QWidget::windowTitleChanged,
                                 [&](const QString& title) { captions << title; });
    search();
    QObject::disconnect(seen);
    return captions;
  }

  std::vector<IndexRow> indexRows() {
    SignatureIndex index;
    std::string notice, error;
    EXPECT_TRUE(index.Open(defaultIndexPath(), notice, error)) << error;
    std::vector<IndexRow> rows;
    EXPECT_TRUE(index.RowsUnder(indexFolder(temp.path()),
                                signatureParametersKey(currentSignatureParameters()), rows));
    return rows;
  }
};

TEST_F(IndexedSearchTest, JpegQueryRanksItsOwnFileFirstAmongJpegAndPng) {
  copyPhotos(temp.path(), 4);
  chooseFolder(temp.path());
  doc->SelectImage(QString::fromStdString(temp.file("p101.jpg")));
  QStringList captions;
  QObject::connect(frame->listView()->progressDialog(), &QWidget::windowTitleChanged,
                   [&](const QString& title) { captions << title; });
  search();
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(doc->entries().size(), 4u);
  EXPECT_EQ(doc->entries()[0].path, temp.file("p101.jpg"));
  char score[32];
  std::snprintf(score, sizeof score, "%.6f", doc->entries()[0].score);
  EXPECT_STREQ(score, "1.000000");
  EXPECT_TRUE(captions.contains("Indexing pictures 4 / 4 ..."))
      << captions.join(", ").toStdString();
  EXPECT_EQ(indexRows().size(), 4u);
}

TEST_F(IndexedSearchTest, CancelWhileIndexingLeavesTheListAndAConsistentIndex) {
  copyPhotos(temp.path(), 24);
  chooseFolder(temp.path());
  const std::vector<ImageEntry> before = doc->entries();
  doc->SelectImage(QString::fromStdString(temp.file("p100.jpg")));
  retrievalForm()->searchThreads = 1;
  CProgressDialog* progress = frame->listView()->progressDialog();
  // Cancel as soon as the refresh reports, the way the progress window does.
  auto cancelOnce = QObject::connect(&doc->jobs(), &CJobRunner::progress, progress,
                                     [progress] { emit progress->cancelled(); });
  search();
  QObject::disconnect(cancelOnce);
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(doc->entries().size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(doc->entries()[i].path, before[i].path);

  // Every row kept is a finished picture of the folder.
  std::set<std::string> listed;
  for (const ImageEntry& e : before) listed.insert(indexFolder(e.path));
  const std::vector<IndexRow> rows = indexRows();
  EXPECT_LT(rows.size(), before.size());
  for (const IndexRow& row : rows) {
    EXPECT_EQ(listed.count(row.path), 1u) << row.path;
    EXPECT_EQ(row.status, 0);
  }

  // The next search completes the index and ranks every picture.
  search();
  EXPECT_EQ(indexRows().size(), before.size());
  ASSERT_EQ(doc->entries().size(), before.size());
  EXPECT_DOUBLE_EQ(doc->entries()[0].score, 1.0);
}

TEST_F(IndexedSearchTest, RimFilesAloneKeepTheExactSearch) {
  writeRimFile(temp.file("a.rim"), 96, 64, true);
  writeRimFile(temp.file("b.rim"), 64, 96, true);
  writeRimFile(temp.file("c.rim"), 80, 80, true);
  chooseFolder(temp.path());
  doc->SelectImage(QString::fromStdString(temp.file("b.rim")));
  SearchRequest request;
  request.queryPath = temp.file("b.rim");
  request.queryBaseType = 1;
  const SearchResult expected = RunSearch(request, doc->entries());
  ASSERT_EQ(expected.outcome, SearchOutcome::Ranked);
  search();
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(doc->entries().size(), expected.candidates.size());
  for (std::size_t i = 0; i < expected.candidates.size(); ++i) {
    EXPECT_EQ(doc->entries()[i].path, expected.candidates[i].path);
    EXPECT_EQ(doc->entries()[i].score, expected.candidates[i].score);
  }
  EXPECT_TRUE(indexRows().empty());
}

TEST_F(IndexedSearchTest, ADamagedIndexIsReportedKeptAndRebuilt) {
  copyPhotos(temp.path(), 4);
  const std::string garbage(3000, 'x');
  std::filesystem::create_directories(std::filesystem::path(defaultIndexPath()).parent_path());
  testing_support::writeFileBytes(defaultIndexPath(), garbage);
  chooseFolder(temp.path());
  doc->SelectImage(QString::fromStdString(temp.file("p102.jpg")));
  search();
  const QString index = QString::fromStdString(defaultIndexPath());
  EXPECT_EQ(messages, QStringList{"The index " + index + " was damaged; it has been kept as " +
                                  index + ".damaged and a new one was built."});
  EXPECT_EQ(testing_support::readFileBytes(defaultIndexPath() + ".damaged"), garbage);
  ASSERT_EQ(doc->entries().size(), 4u);
  EXPECT_EQ(doc->entries()[0].path, temp.file("p102.jpg"));
  EXPECT_EQ(indexRows().size(), 4u);
  // Reported once: the next search finds a sound index.
  messages.clear();
  search();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
}

TEST_F(IndexedSearchTest, CancelWhileRankingLeavesTheListAndTheFinishedIndex) {
  copyPhotos(temp.path(), 8);
  chooseFolder(temp.path());
  const std::vector<ImageEntry> before = doc->entries();
  doc->SelectImage(QString::fromStdString(temp.file("p100.jpg")));
  CProgressDialog* progress = frame->listView()->progressDialog();
  QStringList stages;
  auto cancelAtRanking = QObject::connect(&doc->jobs(), &CJobRunner::progress, progress,
                                          [progress, &stages](int, int, const QString& text) {
                                            stages << text;
                                            if (text == "Ranking pictures ...")
                                              emit progress->cancelled();
                                          });
  search();
  QObject::disconnect(cancelAtRanking);
  EXPECT_TRUE(stages.contains("Ranking pictures ...")) << stages.join(", ").toStdString();
  EXPECT_TRUE(messages.isEmpty()) << messages.join("; ").toStdString();
  ASSERT_EQ(doc->entries().size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(doc->entries()[i].path, before[i].path);
  EXPECT_EQ(indexRows().size(), before.size());
}

// The captions and messages of the indexed search in each language.
struct IndexedLanguage {
  const char* locale;
  const char* indexing;  // of 4 pictures, when the last is done
  const char* ranking;
  const char* noQuery;
  const char* damaged;  // %1 the index, %2 its copy
};

const IndexedLanguage kIndexedLanguages[] = {
    {"en_GB", "Indexing pictures 4 / 4 ...", "Ranking pictures ...",
     "Please select an image as the query.",
     "The index %1 was damaged; it has been kept as %2 and a new one was built."},
    {"ja_JP", "画像のインデックスを作成しています 4 / 4 ...", "画像を順位付けしています ...",
     "クエリ画像を選択してください。",
     "インデックス %1 は壊れていました。%2 として残し、新しいインデックスを作成しました。"},
};

TEST_F(IndexedSearchTest, CaptionsAndMessagesFollowTheLocale) {
  copyPhotos(temp.path(), 4);
  chooseFolder(temp.path());
  const QString index = QString::fromStdString(defaultIndexPath());
  std::filesystem::create_directories(std::filesystem::path(defaultIndexPath()).parent_path());
  for (const IndexedLanguage& language : kIndexedLanguages) {
    SCOPED_TRACE(language.locale);
    installTranslations(QLocale(QString::fromLatin1(language.locale)));
    std::filesystem::remove(defaultIndexPath() + "-wal");
    std::filesystem::remove(defaultIndexPath() + "-shm");
    testing_support::writeFileBytes(defaultIndexPath(), "no index");
    messages.clear();
    doc->SelectImage(QString());
    QTest::mouseClick(retrievalForm()->searchButton(), Qt::LeftButton);  // answered at once
    EXPECT_EQ(messages, QStringList{QString::fromUtf8(language.noQuery)});
    messages.clear();
    doc->SelectImage(QString::fromStdString(temp.file("p101.jpg")));
    const QStringList captions = captionsOfNextSearch();
    EXPECT_TRUE(captions.contains(QString::fromUtf8(language.indexing)))
        << captions.join(", ").toStdString();
    EXPECT_TRUE(captions.contains(QString::fromUtf8(language.ranking)))
        << captions.join(", ").toStdString();
    EXPECT_EQ(
        messages,
        QStringList{
            QString::fromUtf8(language.damaged).arg(index, index + QStringLiteral(".damaged"))});
  }
  installTranslations(QLocale(QLocale::English));
}

}  // namespace
}  // namespace shell_testing
