// The window's search of ordinary pictures through the signature index: a
// JPEG query over JPEG and PNG files, Cancel while the folder is indexed,
// and folders of RIM files alone, which keep the exact search.
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>
#include <set>

#include "imageio/index_location.h"
#include "imageio/signature_source.h"
#include "index/signature_index.h"
#include "retrieval/search.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/progress_dialog.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class IndexedSearchTest : public ShellTest {
 protected:
  CRetrievalView* form() { return frame->tabView()->retrievalView(); }

  // Copies the example photographs into the folder under new names.
  void copyPhotos(const std::string& dir, int copies) {
    const char* const names[] = {"aqua.jpg", "blinds.jpg", "dune.jpg", "ladybird.png"};
    for (int i = 0; i < copies; ++i) {
      const std::string name = names[i % 4];
      testing_support::writeFileBytes(
          dir + "/p" + std::to_string(100 + i) + name.substr(name.size() - 4),
          testing_support::readFileBytes(testing_support::examplesPath(name)));
    }
  }

  void search() {
    QSignalSpy finished(form(), &CRetrievalView::searchFinished);
    QTest::mouseClick(form()->searchButton(), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
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
  ASSERT_EQ(doc->m_entries.size(), 4u);
  EXPECT_EQ(doc->m_entries[0].path, temp.file("p101.jpg"));
  char score[32];
  std::snprintf(score, sizeof score, "%.6f", doc->m_entries[0].score);
  EXPECT_STREQ(score, "1.000000");
  EXPECT_TRUE(captions.contains("Indexing pictures 4 / 4 ..."))
      << captions.join(", ").toStdString();
  EXPECT_EQ(indexRows().size(), 4u);
}

TEST_F(IndexedSearchTest, CancelWhileIndexingLeavesTheListAndAConsistentIndex) {
  copyPhotos(temp.path(), 24);
  chooseFolder(temp.path());
  const std::vector<ImageEntry> before = doc->m_entries;
  doc->SelectImage(QString::fromStdString(temp.file("p100.jpg")));
  form()->searchThreads = 1;
  CProgressDialog* progress = frame->listView()->progressDialog();
  // Cancel as soon as the refresh reports, the way the progress window does.
  auto cancelOnce = QObject::connect(&doc->jobs(), &CJobRunner::progress, progress,
                                     [progress] { emit progress->cancelled(); });
  search();
  QObject::disconnect(cancelOnce);
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(doc->m_entries.size(), before.size());
  for (std::size_t i = 0; i < before.size(); ++i) EXPECT_EQ(doc->m_entries[i].path, before[i].path);

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
  ASSERT_EQ(doc->m_entries.size(), before.size());
  EXPECT_DOUBLE_EQ(doc->m_entries[0].score, 1.0);
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
  const SearchResult expected = RunSearch(request, doc->m_entries);
  ASSERT_EQ(expected.outcome, SearchOutcome::Ranked);
  search();
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(doc->m_entries.size(), expected.candidates.size());
  for (std::size_t i = 0; i < expected.candidates.size(); ++i) {
    EXPECT_EQ(doc->m_entries[i].path, expected.candidates[i].path);
    EXPECT_EQ(doc->m_entries[i].score, expected.candidates[i].score);
  }
  EXPECT_TRUE(indexRows().empty());
}

}  // namespace
}  // namespace shell_testing
