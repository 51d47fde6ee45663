// The whole road through the window: photographs converted to RIM with ICA
// bases, the save folder listed, one of its thumbnails chosen as the query
// and the folder searched by histogram.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <filesystem>

#include "codec/rim_codec.h"
#include "shell/convert2rim_view.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell/tree_view_ex.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

namespace fs = std::filesystem;

using SearchRoadTest = ShellTest;

void clickTab(CTabView* tabs, int index) {
  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
  ASSERT_EQ(tabs->currentIndex(), index);
}

TEST_F(SearchRoadTest, PhotographsConvertedWithIcaAreFoundQueryFirst) {
  const std::string source = temp.file("photos");
  const std::string save = temp.file("rim");
  fs::create_directories(source);
  fs::create_directories(save);
  for (const char* name : {"aqua.jpg", "dune.jpg", "storm.jpg"})
    fs::copy_file(testing_support::examplesPath(name), source + "/" + name);
  // Beside the converted files: a RIM file with PCA bases and a picture.
  writeRimFile(save + "/pca.rim", 64, 64, false);
  writeImage(save + "/plain.png", 32, 32);

  frame->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
  CTabView* tabs = frame->tabView();
  clickTab(tabs, CTabView::kConvertToRim);
  CConvert2RIMView* rim = tabs->convert2RimView();

  // The source folder typed into the target field, the save folder picked.
  rim->targetDirEdit()->setFocus();
  QTest::keyClicks(rim->targetDirEdit(), QString::fromStdString(source));
  folderAnswers << QString::fromStdString(save);
  QTest::mouseClick(rim->browseSaveButton(), Qt::LeftButton);
  waitForThumbnails();
  ASSERT_EQ(doc->currentDir().toStdString(), source);
  ASSERT_EQ(frame->listView()->count(), 3);
  EXPECT_EQ(rim->saveDirEdit()->text().toStdString(), save);
  EXPECT_EQ(folderTitles, QStringList{"Convert to RIM"});

  rim->basesCombo()->setCurrentIndex(1);
  QSignalSpy finished(rim, &CConvert2RIMView::conversionFinished);
  QTest::mouseClick(rim->convertButton(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
  EXPECT_EQ(messages, (QStringList{"finished conversion to RIM images!"}));

  // The save folder listed on the retrieval form.
  clickTab(tabs, CTabView::kRetrieval);
  frame->treeView()->selectPath(QString::fromStdString(save));
  waitForThumbnails();
  CRetrievalView* form = tabs->retrievalView();
  EXPECT_EQ(form->targetDirEdit()->text().toStdString(), save);
  CListViewEx* list = frame->listView();
  ASSERT_EQ(list->count(), 5);

  QListWidgetItem* query = list->findItems("storm.rim", Qt::MatchExactly).value(0);
  ASSERT_NE(query, nullptr);
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(query).center());
  ASSERT_EQ(doc->currentPath().toStdString(), save + "/storm.rim");
  ASSERT_EQ(doc->currentImage().m_nBaseType, 1);

  form->colorModeCombo()->setCurrentIndex(1);
  EXPECT_EQ(form->colorPercentEdit()->text(), "75");
  messages.clear();
  QSignalSpy searched(form, &CRetrievalView::searchFinished);
  QTest::mouseClick(form->searchButton(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return searched.count() > 0; }));
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();

  // Only the ICA files take part, the query first, best first.
  ASSERT_EQ(doc->entries().size(), 3u);
  EXPECT_EQ(doc->entries()[0].path, save + "/storm.rim");
  EXPECT_DOUBLE_EQ(doc->entries()[0].score, 1.0);
  CRIMCodec codec;
  for (std::size_t i = 0; i < doc->entries().size(); ++i) {
    const ImageEntry& e = doc->entries()[i];
    EXPECT_EQ(fs::path(e.path).extension(), ".rim");
    std::uint16_t method = 9;
    ASSERT_EQ(codec.readLearningMethod(e.path, method), 0) << e.path;
    EXPECT_EQ(method, 1) << e.path;
    EXPECT_DOUBLE_EQ(e.score, 0.25 * e.edgeSimilarity + 0.75 * e.colorSimilarity);
    if (i > 0) {
      EXPECT_GE(doc->entries()[i - 1].score, e.score);
    }
  }
  EXPECT_EQ(doc->paging().pageCount, 1);
  EXPECT_EQ(form->pageCountLabel()->text(), "/ 1 pages");
  EXPECT_EQ(form->pageEdit()->text(), "1");
  EXPECT_EQ(form->pageSlider()->maximum(), 0);

  waitForThumbnails();
  ASSERT_EQ(list->count(), 3);
  // Each result shows its rank and score; the tooltip the path and the
  // three scores.
  EXPECT_EQ(list->item(0)->text(), "storm.rim\n#1  1.000");
  EXPECT_EQ(list->item(0)->toolTip().toStdString(),
            save + "/storm.rim\nEdge 1.000000, colour 1.000000, total 1.000000");
  EXPECT_TRUE(list->item(2)->text().startsWith(
      QStringLiteral("%1\n#3  ")
          .arg(QString::fromStdString(fs::path(doc->entries()[2].path).filename().string()))));
  // A thumbnail of the ranking is the ranked file.
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                    list->visualItemRect(list->item(2)).center());
  EXPECT_EQ(doc->currentPath().toStdString(), doc->entries()[2].path);
}

}  // namespace
}  // namespace shell_testing
