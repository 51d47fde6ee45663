// The tab view and the state of the forms when the tab changes; the folder
// tree writing into the form shown.
#include <QCheckBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <filesystem>

#include "shell/convert2bmp_view.h"
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

using TabViewTest = ShellTest;

TEST_F(TabViewTest, TabsInOrderWithTheRetrievalFormFirst) {
  CTabView* tabs = frame->tabView();
  ASSERT_EQ(tabs->count(), 3);
  EXPECT_EQ(tabs->tabText(0), "Retrieval");
  EXPECT_EQ(tabs->tabText(1), "Convert to RIM");
  EXPECT_EQ(tabs->tabText(2), "Convert to BMP");
  EXPECT_EQ(tabs->currentForm(), tabs->retrievalView());
  EXPECT_EQ(tabs->formAt(7), tabs->retrievalView());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(tabs->formAt(i)->pageCountLabel()->text(), "/All Pages");
}

TEST_F(TabViewTest, ChangingTabCarriesFolderFlagAndPaging) {
  writeUnreadableImages(temp.path(), 75);
  chooseFolder(temp.path());
  CTabView* tabs = frame->tabView();
  EXPECT_EQ(tabs->retrievalView()->targetDirEdit()->text().toStdString(), temp.path());
  EXPECT_TRUE(tabs->convert2BmpView()->targetDirEdit()->text().isEmpty());

  doc->SetIncludeSubDirs(true);
  waitForThumbnails();
  tabs->setCurrentIndex(CTabView::kConvertToBmp);
  CJobForm* bmp = tabs->convert2BmpView();
  EXPECT_EQ(bmp->targetDirEdit()->text().toStdString(), temp.path());
  EXPECT_TRUE(bmp->includeSubDirCheck()->isChecked());
  EXPECT_EQ(bmp->pageSlider()->maximum(), 1);
  EXPECT_EQ(bmp->pageCountLabel()->text(), "/ 2 pages");
  EXPECT_EQ(bmp->pageEdit()->text(), "1");

  // A page chosen on this form shows on the next one (the folder listed
  // again without sub-folders first: that shows page 1).
  doc->SetIncludeSubDirs(false);
  waitForThumbnails();
  bmp->OnPageChosen(1);
  waitForThumbnails();
  tabs->setCurrentIndex(CTabView::kConvertToRim);
  CJobForm* rim = tabs->convert2RimView();
  EXPECT_EQ(rim->pageEdit()->text(), "2");
  EXPECT_EQ(rim->pageSlider()->value(), 1);
  EXPECT_FALSE(rim->includeSubDirCheck()->isChecked());
}

TEST_F(TabViewTest, IncludeSubDirectoryBoxListsTheFolderAgain) {
  std::filesystem::create_directories(temp.file("sub"));
  writeUnreadableImages(temp.path(), 2, "top");
  writeUnreadableImages(temp.file("sub"), 3, "sub");
  chooseFolder(temp.path());
  EXPECT_EQ(doc->entries().size(), 2u);
  QCheckBox* box = frame->tabView()->retrievalView()->includeSubDirCheck();
  box->click();
  waitForThumbnails();
  EXPECT_TRUE(doc->includeSubDirs());
  EXPECT_EQ(doc->entries().size(), 5u);
  EXPECT_EQ(frame->listView()->count(), 5);
  box->click();
  waitForThumbnails();
  EXPECT_EQ(doc->entries().size(), 2u);
}

TEST_F(TabViewTest, TargetFieldOfAConversionFormListsAnotherFolderWhenLeft) {
  writeUnreadableImages(temp.path(), 4);
  CTabView* tabs = frame->tabView();
  tabs->setCurrentIndex(CTabView::kConvertToRim);
  CJobForm* rim = tabs->convert2RimView();
  rim->targetDirEdit()->setText(QString::fromStdString(temp.path()));
  rim->OnTargetKillFocus();
  waitForThumbnails();
  EXPECT_EQ(doc->currentDir().toStdString(), temp.path());
  EXPECT_EQ(frame->listView()->count(), 4);
  // The same text again does not list anew.
  frame->listView()->clearThumbnails();
  rim->OnTargetKillFocus();
  EXPECT_EQ(frame->listView()->count(), 0);
}

TEST_F(TabViewTest, ChoosingAFolderInTheTreeListsItIntoTheFormShown) {
  writeImage(temp.file("only.png"), 8, 8);
  frame->tabView()->setCurrentIndex(CTabView::kConvertToBmp);
  frame->treeView()->selectPath(QString::fromStdString(temp.path()));
  waitForThumbnails();
  EXPECT_EQ(frame->treeView()->selectedPath.toStdString(), temp.path());
  EXPECT_EQ(frame->treeView()
                ->fileSystemModel()
                ->filePath(frame->treeView()->currentIndex())
                .toStdString(),
            temp.path());
  EXPECT_EQ(frame->tabView()->convert2BmpView()->targetDirEdit()->text().toStdString(),
            temp.path());
  EXPECT_EQ(frame->listView()->count(), 1);
  EXPECT_EQ(doc->paging().page, 0);
}

}  // namespace
}  // namespace shell_testing
