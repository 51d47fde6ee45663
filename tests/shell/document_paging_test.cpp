// Paging of the listed folder by 50 thumbnails, the page controls of the
// form, and the mapping from a thumbnail to its entry.
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include "shell/folim_doc.h"
#include "shell/job_form.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/progress_dialog.h"
#include "shell/tab_view.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class PagingTest : public ShellTest {
 protected:
  CJobForm* form() { return frame->tabView()->currentForm(); }
};

TEST_F(PagingTest, EmptyFolderIsOnePageWithoutProgressWindow) {
  chooseFolder(temp.path());
  EXPECT_EQ(doc->paging().pageCount, 1);
  EXPECT_EQ(doc->paging().entryCount, 0u);
  EXPECT_EQ(doc->GetPageItemCount(), 0);
  EXPECT_EQ(form()->pageEdit()->text(), "1");
  EXPECT_EQ(form()->pageCountLabel()->text(), "/ 1 pages");
  EXPECT_EQ(form()->pageSlider()->maximum(), 0);
  EXPECT_EQ(frame->listView()->count(), 0);
  EXPECT_EQ(frame->listView()->progressDialog()->timesShown(), 0);
}

TEST_F(PagingTest, FiftyEntriesFillOnePage) {
  writeUnreadableImages(temp.path(), 50);
  chooseFolder(temp.path());
  EXPECT_EQ(doc->paging().pageCount, 1);
  EXPECT_EQ(doc->GetPageItemCount(), 50);
  EXPECT_EQ(frame->listView()->count(), 50);
  EXPECT_EQ(form()->pageCountLabel()->text(), "/ 1 pages");
  // The progress window came and went.
  EXPECT_EQ(frame->listView()->progressDialog()->timesShown(), 1);
  EXPECT_FALSE(frame->listView()->progressDialog()->isVisible());
}

TEST_F(PagingTest, FiftyOneEntriesMakeASecondPageOfOne) {
  writeUnreadableImages(temp.path(), 51);
  chooseFolder(temp.path());
  EXPECT_EQ(doc->paging().pageCount, 2);
  EXPECT_EQ(doc->paging().entryCount, 51u);
  EXPECT_EQ(form()->pageCountLabel()->text(), "/ 2 pages");
  EXPECT_EQ(form()->pageSlider()->maximum(), 1);
  EXPECT_EQ(frame->listView()->count(), 50);

  form()->OnPageChosen(1);
  waitForThumbnails();
  EXPECT_EQ(doc->paging().page, 1);
  EXPECT_EQ(doc->GetPageItemCount(), 1);
  EXPECT_EQ(form()->pageEdit()->text(), "2");
  ASSERT_EQ(frame->listView()->count(), 1);
  EXPECT_EQ(frame->listView()->item(0)->text(), "img050.jpg");
  // The entry count and the page count stay as the reset left them.
  EXPECT_EQ(doc->paging().entryCount, 51u);
  EXPECT_EQ(doc->paging().pageCount, 2);
}

TEST_F(PagingTest, HundredEntriesMakeTwoFullPages) {
  writeUnreadableImages(temp.path(), 100);
  chooseFolder(temp.path());
  EXPECT_EQ(doc->paging().pageCount, 2);
  EXPECT_EQ(doc->GetPageItemCount(), 50);
  form()->OnPageChosen(1);
  waitForThumbnails();
  EXPECT_EQ(doc->GetPageItemCount(), 50);
  EXPECT_EQ(frame->listView()->count(), 50);
  EXPECT_EQ(frame->listView()->item(49)->text(), "img099.jpg");
}

TEST_F(PagingTest, ThirdThumbnailOfSecondPageIsEntry52) {
  writeUnreadableImages(temp.path(), 60);
  chooseFolder(temp.path());
  form()->OnPageChosen(1);
  waitForThumbnails();
  frame->listView()->setCurrentRow(2);
  ASSERT_EQ(doc->entries().size(), 60u);
  EXPECT_EQ(doc->currentPath().toStdString(), doc->entries()[52].path);
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("img052.jpg"));
  EXPECT_EQ(frame->windowTitle().toStdString(), "Folim - " + temp.file("img052.jpg"));
}

TEST_F(PagingTest, SliderChangesPageOnLineAndPageSteps) {
  writeUnreadableImages(temp.path(), 120);
  chooseFolder(temp.path());
  QSlider* slider = form()->pageSlider();
  EXPECT_EQ(slider->maximum(), 2);

  // An arrow key moves the slider and the page with it.
  slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  waitForThumbnails();
  EXPECT_EQ(slider->value(), 1);
  EXPECT_EQ(doc->paging().page, 1);
  EXPECT_EQ(form()->pageEdit()->text(), "2");

  // So does a click beside the thumb.
  slider->triggerAction(QAbstractSlider::SliderPageStepAdd);
  waitForThumbnails();
  EXPECT_EQ(doc->paging().page, 2);
  EXPECT_EQ(form()->pageEdit()->text(), "3");
  EXPECT_EQ(frame->listView()->count(), 20);
}

TEST_F(PagingTest, SliderDoesNothingWithOnePage) {
  writeUnreadableImages(temp.path(), 3);
  chooseFolder(temp.path());
  form()->OnPageChosen(1);
  EXPECT_EQ(doc->paging().page, 0);
  EXPECT_EQ(frame->listView()->count(), 3);
}

TEST_F(PagingTest, ThumbnailClickNeverReadsPastTheListing) {
  writeUnreadableImages(temp.path(), 10);
  chooseFolder(temp.path());
  // The folder is listed again without the thumbnails being refreshed (as a
  // conversion start does), and now holds fewer files.
  testing_support::TempDir fewer;
  writeUnreadableImages(fewer.path(), 2);
  doc->SetDirectory(QString::fromStdString(fewer.path()));
  ASSERT_EQ(frame->listView()->count(), 10);
  frame->listView()->setCurrentRow(7);
  EXPECT_TRUE(doc->currentPath().isEmpty());
  frame->listView()->setCurrentRow(1);
  EXPECT_EQ(doc->currentPath().toStdString(), fewer.file("img001.jpg"));
}

TEST_F(PagingTest, LoadingKeepsTheWindowResponsive) {
  for (int i = 0; i < 12; ++i) {
    const std::string bytes =
        testing_support::readFileBytes(testing_support::corpusPath("aqua.jpg"));
    testing_support::writeFileBytes(temp.file("photo" + std::to_string(100 + i) + ".jpg"), bytes);
  }
  doc->SetDirectory(QString::fromStdString(temp.path()));
  doc->ResetPaging();
  // The call came back before the page was made, and events are handled
  // while the thumbnails arrive one by one.
  EXPECT_TRUE(doc->IsLoadingThumbnails());
  EXPECT_TRUE(frame->listView()->progressDialog()->isVisible());
  EXPECT_TRUE(frame->listView()->progressDialog()->windowTitle().startsWith("Loading thumbnails "));
  bool timerRan = false;
  QTimer::singleShot(0, [&] { timerRan = true; });
  QCoreApplication::processEvents();
  EXPECT_TRUE(timerRan);
  waitForThumbnails();
  EXPECT_EQ(frame->listView()->count(), 12);
  EXPECT_EQ(frame->listView()->progressDialog()->windowTitle(), "Loading thumbnails 12 / 12 ...");
  EXPECT_EQ(frame->listView()->progressDialog()->progressBar()->value(), 100);
}

TEST_F(PagingTest, ANewListingDropsThumbnailsOfTheOldOne) {
  writeUnreadableImages(temp.path(), 40, "old");
  testing_support::TempDir other;
  writeUnreadableImages(other.path(), 3, "new");
  doc->SetDirectory(QString::fromStdString(temp.path()));
  doc->ResetPaging();
  doc->SetDirectory(QString::fromStdString(other.path()));
  doc->ResetPaging();
  waitForThumbnails();
  QTest::qWait(50);
  ASSERT_EQ(frame->listView()->count(), 3);
  EXPECT_EQ(frame->listView()->item(0)->text(), "new000.jpg");
}

TEST(DisplayName, NameWithExtensionOrStatus3WhenTooLong) {
  QString name;
  EXPECT_EQ(CFolimDoc::GetDisplayName("/photos/Summer.Trip.JPG", name), 0);
  EXPECT_EQ(name, "Summer.Trip.JPG");
  EXPECT_EQ(CFolimDoc::GetDisplayName("/photos/noext", name), 0);
  EXPECT_EQ(name, "noext");
  EXPECT_EQ(CFolimDoc::GetDisplayName("/d/" + QString(250, 'a') + ".jpeg", name), 0);
  EXPECT_EQ(name.size(), 255);
  EXPECT_EQ(CFolimDoc::GetDisplayName("/d/" + QString(256, 'a') + "." + QString(10, 'b'), name), 3);
  EXPECT_TRUE(name.isEmpty());
}

}  // namespace
}  // namespace shell_testing
