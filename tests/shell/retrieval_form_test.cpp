// The retrieval form: weights that always add up to 100, the colour measures
// and their presets, the result-page slider, the query box, and the search
// with its messages, its progress and its ranking.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>
#include <filesystem>

#include "codec/rim_codec.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell/progress_dialog.h"
#include "shell/query_box.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell/up_down.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class RetrievalFormTest : public ShellTest {
 protected:
  // The two percentages, the slider and the spin all tell one weight.
  void expectWeight(int color) {
    EXPECT_EQ(retrievalForm()->colorPercentEdit()->text(), QString::number(color));
    EXPECT_EQ(retrievalForm()->edgePercentEdit()->text(), QString::number(100 - color));
    EXPECT_EQ(retrievalForm()->weightSlider()->value(), color);
    EXPECT_EQ(retrievalForm()->weightSpin()->value(), color);
  }

  // Selects the listed file named name as the current image.
  void selectEntry(const std::string& name) {
    for (int i = 0; i < list()->count(); ++i) {
      if (list()->item(i)->text().section('\n', 0, 0).toStdString() == name) {
        list()->setCurrentRow(i);
        return;
      }
    }
    FAIL() << name << " is not on the page";
  }

  // Clicks "Search" and waits until the search in the background has ended.
  void clickSearch() {
    QSignalSpy finished(retrievalForm(), &CRetrievalView::searchFinished);
    const bool refusedAtOnce = [&] {
      QTest::mouseClick(retrievalForm()->searchButton(), Qt::LeftButton);
      return !retrievalForm()->IsSearching();
    }();
    if (!refusedAtOnce) {
      ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
    }
  }
};

TEST_F(RetrievalFormTest, StartsAtSeventyPercentColourWithTheColourStructureMeasure) {
  expectWeight(70);
  QComboBox* combo = retrievalForm()->colorModeCombo();
  ASSERT_EQ(combo->count(), 4);
  EXPECT_EQ(combo->itemText(0), "Block mean");
  EXPECT_EQ(combo->itemText(1), "Histogram");
  EXPECT_EQ(combo->itemText(2), "MPEG-7 CSD");
  EXPECT_EQ(combo->itemText(3), "Robust");
  EXPECT_EQ(combo->currentIndex(), 2);
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(retrievalForm()->colorMode, 2);
  EXPECT_EQ(retrievalForm()->colorWeight, 70);
  EXPECT_TRUE(retrievalForm()->colorPercentEdit()->isReadOnly());
  EXPECT_TRUE(retrievalForm()->edgePercentEdit()->isReadOnly());
  EXPECT_TRUE(retrievalForm()->targetDirEdit()->isReadOnly());
  EXPECT_EQ(retrievalForm()->searchButton()->text(), "Search");
  EXPECT_EQ(retrievalForm()->defaultButton()->text(), "Default");
  EXPECT_EQ(retrievalForm()->weightSpin()->minimum(), 0);
  EXPECT_EQ(retrievalForm()->weightSpin()->maximum(), 100);
}

TEST_F(RetrievalFormTest, ChoosingAMeasureSetsItsPresetOverTheUsersWeight) {
  QComboBox* combo = retrievalForm()->colorModeCombo();
  combo->setCurrentIndex(0);
  expectWeight(90);
  EXPECT_EQ(retrievalForm()->colorMode, 0);
  combo->setCurrentIndex(1);
  expectWeight(75);
  EXPECT_EQ(retrievalForm()->colorWeight, 75);

  QTest::keyClick(retrievalForm()->weightSlider(), Qt::Key_Home);
  expectWeight(0);
  combo->setCurrentIndex(2);
  expectWeight(70);
  combo->setCurrentIndex(0);
  expectWeight(90);
}

TEST_F(RetrievalFormTest, SliderAndSpinKeepThePercentagesAtOneHundred) {
  QSlider* slider = retrievalForm()->weightSlider();
  CUpDown* spin = retrievalForm()->weightSpin();
  QTest::keyClick(slider, Qt::Key_Left);
  expectWeight(69);
  QTest::keyClick(slider, Qt::Key_PageUp);
  expectWeight(79);
  QTest::mouseClick(spin->upButton(), Qt::LeftButton);
  expectWeight(80);
  QTest::mouseClick(spin->downButton(), Qt::LeftButton);
  QTest::mouseClick(spin->downButton(), Qt::LeftButton);
  expectWeight(78);
  QTest::keyClick(spin, Qt::Key_Up);
  expectWeight(79);
  QTest::keyClick(slider, Qt::Key_End);
  expectWeight(100);
  // The spin stops at its end.
  QTest::mouseClick(spin->upButton(), Qt::LeftButton);
  expectWeight(100);
  QTest::keyClick(slider, Qt::Key_Home);
  expectWeight(0);
  QTest::mouseClick(spin->downButton(), Qt::LeftButton);
  expectWeight(0);
}

TEST_F(RetrievalFormTest, DefaultButtonRestoresThePresetOfTheMeasure) {
  writeUnreadableImages(temp.path(), 3);
  chooseFolder(temp.path());
  struct Case {
    int measure;
    int preset;
  };
  for (const Case c : {Case{0, 90}, Case{1, 75}, Case{2, 70}}) {
    retrievalForm()->colorModeCombo()->setCurrentIndex(c.measure);
    QTest::keyClick(retrievalForm()->weightSlider(), Qt::Key_Home);
    expectWeight(0);
    QTest::mouseClick(retrievalForm()->defaultButton(), Qt::LeftButton);
    expectWeight(c.preset);
    EXPECT_EQ(retrievalForm()->colorModeCombo()->currentIndex(), c.measure);
  }
  // The listing is left alone.
  EXPECT_EQ(doc->entries().size(), 3u);
  EXPECT_EQ(list()->count(), 3);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(RetrievalFormTest, ResultPageFollowsKeysWheelAndThumbRelease) {
  writeUnreadableImages(temp.path(), 120);
  chooseFolder(temp.path());
  QSlider* slider = retrievalForm()->pageSlider();
  ASSERT_EQ(slider->maximum(), 2);
  EXPECT_EQ(retrievalForm()->pageCountLabel()->text(), "/ 3 pages");

  // Keys: the page and its field follow the handle.
  struct KeyCase {
    Qt::Key key;
    int page;
  };
  slider->setFocus();
  for (const KeyCase c :
       {KeyCase{Qt::Key_Right, 1}, KeyCase{Qt::Key_End, 2}, KeyCase{Qt::Key_Left, 1},
        KeyCase{Qt::Key_Home, 0}, KeyCase{Qt::Key_PageUp, 1}}) {
    QTest::keyClick(slider, c.key);
    waitForThumbnails();
    EXPECT_EQ(slider->value(), c.page) << c.key;
    EXPECT_EQ(doc->paging().page, c.page) << c.key;
    EXPECT_EQ(retrievalForm()->pageEdit()->text(), QString::number(c.page + 1)) << c.key;
  }
  EXPECT_EQ(list()->count(), 50);

  // The wheel, one notch down the range.
  QWheelEvent wheel(QPointF(5, 5), slider->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, -120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(slider, &wheel);
  waitForThumbnails();
  EXPECT_EQ(doc->paging().page, slider->value());
  EXPECT_NE(doc->paging().page, 1);
  EXPECT_EQ(retrievalForm()->pageEdit()->text(), QString::number(doc->paging().page + 1));

  // Dragging the thumb: nothing while it moves, the page where it is let go.
  slider->setValue(1);
  doc->ChoosePage(1);
  waitForThumbnails();
  slider->setSliderDown(true);
  slider->setSliderPosition(2);
  EXPECT_EQ(doc->paging().page, 1);
  slider->setSliderDown(false);
  waitForThumbnails();
  EXPECT_EQ(doc->paging().page, 2);
  EXPECT_EQ(retrievalForm()->pageEdit()->text(), "3");
  EXPECT_EQ(list()->count(), 20);
}

TEST_F(RetrievalFormTest, DoubleClickOnTheQueryBoxOpensTheImageOnlyOnceOneIsChosen) {
  writeImage(temp.file("pic.png"), 60, 40);
  chooseFolder(temp.path());
  COriginalImage* fullSize = list()->fullSizeWindow();
  QTest::mouseDClick(retrievalForm()->queryBox(), Qt::LeftButton);
  EXPECT_FALSE(fullSize->isVisible());
  list()->setCurrentRow(0);
  QTest::mouseDClick(retrievalForm()->queryBox(), Qt::LeftButton);
  EXPECT_TRUE(fullSize->isVisible());
  EXPECT_EQ(fullSize->windowTitle().toStdString(), temp.file("pic.png"));
}

TEST_F(RetrievalFormTest, SearchAnswersWithoutRankingWhenThereIsNothingToRank) {
  writeRimFile(temp.file("pca.rim"), 64, 64, false);
  writeRimFile(temp.file("pca2.rim"), 32, 32, false);
  chooseFolder(temp.path());
  const std::vector<ImageEntry> before = doc->entries();
  auto unchanged = [&] {
    ASSERT_EQ(doc->entries().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i)
      EXPECT_EQ(doc->entries()[i].path, before[i].path);
  };

  // Nothing chosen yet: there is no query.
  clickSearch();
  EXPECT_EQ(messages, QStringList{"Please select an image as the query."});
  unchanged();

  // An ICA query from elsewhere, with its full-size window open, over a
  // folder of PCA files only.
  testing_support::TempDir elsewhere;
  writeRimFile(elsewhere.file("ica.rim"), 64, 64, true);
  doc->SelectImage(QString::fromStdString(elsewhere.file("ica.rim")));
  ASSERT_EQ(doc->currentImage().m_nBaseType, 1);
  list()->ShowFullSizeImage();
  ASSERT_TRUE(list()->fullSizeWindow()->isVisible());
  messages.clear();
  clickSearch();
  EXPECT_EQ(messages, QStringList{"Folim supports RIM files only!"});
  EXPECT_FALSE(list()->fullSizeWindow()->isVisible());
  EXPECT_FALSE(list()->progressDialog()->isVisible());
  unchanged();
  EXPECT_EQ(list()->count(), 2);
}

TEST_F(RetrievalFormTest, TextTypedIntoTheMeasureFieldSelectsNoMeasure) {
  writeRimFile(temp.file("a.rim"), 64, 64, false);
  chooseFolder(temp.path());
  selectEntry("a.rim");
  list()->ShowFullSizeImage();
  QComboBox* combo = retrievalForm()->colorModeCombo();
  combo->lineEdit()->selectAll();
  QTest::keyClicks(combo->lineEdit(), "Scolor");
  clickSearch();
  EXPECT_EQ(messages, QStringList{"Sorry. Now Color Mode is Scolor and Histogram."});
  EXPECT_EQ(retrievalForm()->colorMode, -1);
  // Nothing else changes, not even the full-size window.
  EXPECT_TRUE(list()->fullSizeWindow()->isVisible());
  EXPECT_EQ(doc->entries().front().score, 0.0);
  expectWeight(70);

  // Choosing a measure again makes the search work.
  combo->setCurrentIndex(1);
  messages.clear();
  clickSearch();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(retrievalForm()->colorMode, 1);
}

TEST_F(RetrievalFormTest, SearchRanksTheQueryFirstWithTheWeightShown) {
  writeRimFile(temp.file("b_query.rim"), 96, 64, true);
  writeRimFile(temp.file("a_other.rim"), 64, 96, true);
  writeRimFile(temp.file("c_pca.rim"), 96, 64, false);
  chooseFolder(temp.path());
  selectEntry("b_query.rim");

  QStringList captions;
  CProgressDialog* progress = list()->progressDialog();
  QObject::connect(progress, &QWidget::windowTitleChanged,
                   [&](const QString& title) { captions << title; });
  // One scoring thread: every candidate shows in the progress window.
  retrievalForm()->searchThreads = 1;
  // Edge similarity alone.
  QTest::keyClick(retrievalForm()->weightSlider(), Qt::Key_Home);
  clickSearch();
  EXPECT_TRUE(messages.isEmpty());
  ASSERT_EQ(doc->entries().size(), 2u);
  EXPECT_EQ(doc->entries()[0].path, temp.file("b_query.rim"));
  EXPECT_EQ(doc->entries()[1].path, temp.file("a_other.rim"));
  EXPECT_DOUBLE_EQ(doc->entries()[0].edgeSimilarity, 1.0);
  for (const ImageEntry& e : doc->entries()) EXPECT_DOUBLE_EQ(e.score, e.edgeSimilarity);
  EXPECT_TRUE(captions.contains("Calculating similarity 0 / 2 ..."));
  EXPECT_TRUE(captions.contains("Calculating similarity 1 / 2 ..."));
  EXPECT_TRUE(captions.contains("Replacing thumbnails 1 / 2 ..."));
  EXPECT_TRUE(captions.filter("Loading images ").size() >= 2);
  EXPECT_EQ(doc->paging().entryCount, 2u);
  EXPECT_EQ(retrievalForm()->pageCountLabel()->text(), "/ 1 pages");

  waitForThumbnails();
  ASSERT_EQ(list()->count(), 2);
  EXPECT_EQ(list()->item(0)->text().section('\n', 0, 0), "b_query.rim");
  // The thumbnails loaded tell the base types of the first page.
  EXPECT_EQ(doc->entries()[1].baseType, 1);
  EXPECT_FALSE(progress->isVisible());
  EXPECT_TRUE(retrievalForm()->searchButton()->isEnabled());

  // The weight shown is the weight used: 25 % edge, 75 % colour.
  retrievalForm()->colorModeCombo()->setCurrentIndex(1);
  clickSearch();
  ASSERT_EQ(doc->entries().size(), 2u);
  EXPECT_EQ(doc->entries()[0].path, temp.file("b_query.rim"));
  for (const ImageEntry& e : doc->entries())
    EXPECT_DOUBLE_EQ(e.score, 0.25 * e.edgeSimilarity + 0.75 * e.colorSimilarity);
  EXPECT_DOUBLE_EQ(doc->entries()[0].colorSimilarity, 1.0);
}

TEST_F(RetrievalFormTest, FiftyOneCandidatesMakeTwoResultPages) {
  writeRimFile(temp.file("seed.rim"), 32, 32, false);
  const std::string bytes = testing_support::readFileBytes(temp.file("seed.rim"));
  for (int i = 0; i < 50; ++i)
    testing_support::writeFileBytes(temp.file("copy" + std::to_string(100 + i) + ".rim"), bytes);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  clickSearch();
  waitForThumbnails();
  EXPECT_EQ(doc->entries().size(), 51u);
  EXPECT_EQ(doc->paging().pageCount, 2);
  EXPECT_EQ(retrievalForm()->pageCountLabel()->text(), "/ 2 pages");
  EXPECT_EQ(retrievalForm()->pageEdit()->text(), "1");
  EXPECT_EQ(retrievalForm()->pageSlider()->maximum(), 1);
  EXPECT_EQ(list()->count(), 50);
}

}  // namespace
}  // namespace shell_testing
