// What a photo viewer is expected to do: start where the user left off or at
// a named file, step and zoom through the listing at full size, list the
// folder again, start dialogs where the user is, and show read-only fields
// as such.
#include <QAction>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

#include "shell/convert2rim_view.h"
#include "shell/file_dialogs.h"
#include "shell/folim_app.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class ViewerTest : public ShellTest {
 protected:
  // n small pictures pic000.png ... in the temporary folder.
  void writePictures(int n) {
    for (int i = 0; i < n; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "pic%03d.png", i);
      writeImage(temp.file(name), 24 + i % 5, 16);
    }
  }
  void press(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
  }
};

TEST_F(ViewerTest, StartingWithAFileShowsItSelectedAndFullSize) {
  writePictures(55);
  const QString file = QString::fromStdString(temp.file("pic052.png"));
  EXPECT_TRUE(CFolimApp::OpenAtStart(*doc, *frame, file));
  waitForThumbnails();
  EXPECT_EQ(doc->currentDir().toStdString(), temp.path());
  EXPECT_EQ(doc->currentPath(), file);
  // Its page, its thumbnail selected, the picture at full size.
  EXPECT_EQ(doc->paging().page, 1);
  ASSERT_NE(list()->currentItem(), nullptr);
  EXPECT_EQ(list()->currentRow(), 2);
  EXPECT_TRUE(fullSize()->isVisible());
  EXPECT_EQ(fullSize()->windowTitle(), file);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ViewerTest, StartingWithAMissingPathSaysSoAndOpensNothing) {
  const QString missing = QString::fromStdString(temp.file("gone.png"));
  EXPECT_FALSE(CFolimApp::OpenAtStart(*doc, *frame, missing));
  EXPECT_EQ(messages, QStringList{missing + "\nThis file cannot be found."});
  EXPECT_TRUE(doc->currentDir().isEmpty());
  EXPECT_TRUE(frame->isVisible());
}

TEST_F(ViewerTest, StartingWithoutAPathOpensTheLastFolder) {
  writePictures(3);
  chooseFolder(temp.path());
  EXPECT_EQ(QSettings().value("lastFolder").toString().toStdString(), temp.path());
  CFolimDoc next;
  CMainFrame again(next);
  EXPECT_TRUE(CFolimApp::OpenAtStart(next, again, QString()));
  EXPECT_EQ(next.currentDir().toStdString(), temp.path());
  EXPECT_EQ(next.entries().size(), 3u);
  // A last folder that has gone opens nothing.
  QSettings().setValue("lastFolder", QString::fromStdString(temp.file("gone")));
  CFolimDoc third;
  CMainFrame empty(third);
  EXPECT_FALSE(CFolimApp::OpenAtStart(third, empty, QString()));
}

TEST_F(ViewerTest, WindowLayoutIsKeptBetweenSessions) {
  frame->resize(900, 640);
  frame->saveLayout();
  CFolimDoc next;
  CMainFrame again(next);
  EXPECT_TRUE(again.restoreLayout());
  EXPECT_EQ(again.size(), QSize(900, 640));
}

TEST_F(ViewerTest, FullSizeWindowStepsThroughTheListing) {
  writePictures(4);
  chooseFolder(temp.path());
  list()->setCurrentRow(1);
  list()->ShowFullSizeImage();
  ASSERT_TRUE(fullSize()->isVisible());
  struct Step {
    int key;
    const char* shown;
  };
  const Step steps[] = {{Qt::Key_Right, "pic002.png"},
                        {Qt::Key_Space, "pic003.png"},
                        {Qt::Key_Right, "pic003.png"},  // the last one stays
                        {Qt::Key_Left, "pic002.png"},
                        {Qt::Key_Backspace, "pic001.png"}};
  for (const Step& step : steps) {
    press(fullSize(), step.key);
    EXPECT_EQ(doc->currentPath().toStdString(), temp.file(step.shown)) << step.key;
    EXPECT_EQ(fullSize()->windowTitle().toStdString(), temp.file(step.shown));
    // The thumbnail list follows the picture shown.
    EXPECT_EQ(list()->currentItem()->text().toStdString(), step.shown);
  }
}

TEST_F(ViewerTest, FullSizeWindowZoomsAndFitsAgain) {
  writeImage(temp.file("big.png"), 300, 200);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  // Fitted to the window at first.
  EXPECT_EQ(fullSize()->zoom(), 0.0);
  press(fullSize(), Qt::Key_Plus);
  const double in = fullSize()->zoom();
  EXPECT_GT(in, 1.0);
  press(fullSize(), Qt::Key_Minus);
  EXPECT_LT(fullSize()->zoom(), in);
  press(fullSize(), Qt::Key_0);
  EXPECT_EQ(fullSize()->zoom(), 0.0);

  QWheelEvent up(QPointF(5, 5), fullSize()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                 Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(fullSize(), &up);
  EXPECT_GT(fullSize()->zoom(), 1.0);
  // Without Ctrl the wheel does not zoom.
  const double before = fullSize()->zoom();
  QWheelEvent plain(QPointF(5, 5), fullSize()->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, 120),
                    Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
  QCoreApplication::sendEvent(fullSize(), &plain);
  EXPECT_EQ(fullSize()->zoom(), before);
}

TEST_F(ViewerTest, RefreshAndSavingIntoTheFolderListItAgain) {
  writePictures(2);
  chooseFolder(temp.path());
  writePictures(3);
  frame->refreshAction()->trigger();
  waitForThumbnails();
  EXPECT_EQ(doc->entries().size(), 3u);
  EXPECT_EQ(list()->count(), 3);

  list()->setCurrentRow(0);
  dialogAnswers << QString::fromStdString(temp.file("copy.bmp"));
  frame->saveAction()->trigger();
  waitForThumbnails();
  EXPECT_EQ(doc->entries().size(), 4u);
  EXPECT_EQ(list()->count(), 4);
}

TEST_F(ViewerTest, DialogsStartWhereTheUserIs) {
  writePictures(1);
  chooseFolder(temp.path());
  // Open and Save in the listed folder.
  frame->openAction()->trigger();
  list()->setCurrentRow(0);
  frame->saveAction()->trigger();
  ASSERT_EQ(dialogStartDirs.size(), 2);
  EXPECT_EQ(dialogStartDirs[0].toStdString(), temp.path());
  EXPECT_EQ(dialogStartDirs[1].toStdString(), temp.path());
  // The folder pickers at the folder in their field.
  frame->tabView()->setCurrentIndex(CTabView::kConvertToRim);
  CConvert2RIMView* rim = frame->tabView()->convert2RimView();
  rim->saveDirEdit()->setText("/tmp");
  QTest::mouseClick(rim->browseSaveButton(), Qt::LeftButton);
  EXPECT_EQ(dialogStartDirs.last(), "/tmp");
  QTest::mouseClick(rim->browseTargetButton(), Qt::LeftButton);
  EXPECT_EQ(dialogStartDirs.last().toStdString(), temp.path());
}

TEST(FileFilter, AllImagesComeFirstWithEveryReadableExtension) {
  ensureApplication();
  const QStringList filters = imageFileFilter().split(";;");
  ASSERT_GE(filters.size(), 7);
  const QString all = filters.first();
  EXPECT_TRUE(all.startsWith("All images ("));
  for (const char* pattern :
       {"*.jpg ", "*.jpeg ", "*.png ", "*.bmp ", "*.tif ", "*.tiff ", "*.rim"})
    EXPECT_TRUE(all.contains(pattern)) << pattern;
  EXPECT_TRUE(filters.contains(rimFileFilter()));
  EXPECT_EQ(filters.last(), "All Files (*)");
}

TEST_F(ViewerTest, ReadOnlyFieldsLookReadOnly) {
  CRetrievalView* form = frame->tabView()->retrievalView();
  for (QLineEdit* edit : {form->pageEdit(), form->colorPercentEdit(), form->targetDirEdit()}) {
    ASSERT_TRUE(edit->isReadOnly());
    EXPECT_EQ(edit->palette().color(QPalette::Base), edit->palette().color(QPalette::Window))
        << edit->objectName().toStdString();
  }
  QLineEdit* writable = frame->tabView()->convert2RimView()->saveDirEdit();
  EXPECT_NE(writable->palette().color(QPalette::Base), writable->palette().color(QPalette::Window));
}

}  // namespace
}  // namespace shell_testing
