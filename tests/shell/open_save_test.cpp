// File Open and File Save: which branch writes what, and what the user is
// told.
#include <QFileInfo>
#include <QImage>

#include "imageio/image_ex.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class OpenSaveTest : public ShellTest {
 protected:
  void selectPicture() {
    writeImage(temp.file("pic.png"), 128, 96);
    chooseFolder(temp.path());
    frame->listView()->setCurrentRow(0);
    ASSERT_EQ(doc->currentPath().toStdString(), temp.file("pic.png"));
  }
};

TEST_F(OpenSaveTest, SaveWithoutSelectionAsksForOne) {
  frame->OnFileSave();
  EXPECT_EQ(messages, QStringList{"please select item"});
  EXPECT_EQ(dialogsShown, 0);
}

TEST_F(OpenSaveTest, CancelledSaveWritesNothing) {
  selectPicture();
  saveAs("");
  EXPECT_EQ(dialogsShown, 1);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OpenSaveTest, LowerCaseRimExtensionWritesARimFile) {
  selectPicture();
  saveAs(temp.file("x.rim"));
  EXPECT_TRUE(messages.isEmpty());
  CImageEx back;
  EXPECT_TRUE(back.LoadImageFile(temp.file("x.rim"), false));
  EXPECT_EQ(back.GetWidth(), 128);
  EXPECT_EQ(back.GetHeight(), 96);
  EXPECT_EQ(back.m_nBaseType, kBaseTypePCA);
}

TEST_F(OpenSaveTest, UpperCaseRimExtensionWritesARimFileToo) {
  selectPicture();
  saveAs(temp.file("x.RIM"));
  EXPECT_TRUE(messages.isEmpty());
  CImageEx back;
  EXPECT_TRUE(back.LoadImageFile(temp.file("x.RIM"), false));
  EXPECT_EQ(back.m_nBaseType, kBaseTypePCA);
}

TEST_F(OpenSaveTest, OtherExtensionsChooseTheirFormat) {
  selectPicture();
  saveAs(temp.file("copy.bmp"));
  const QImage bmp(QString::fromStdString(temp.file("copy.bmp")), "BMP");
  EXPECT_EQ(bmp.size(), QSize(128, 96));
  EXPECT_TRUE(messages.isEmpty());
  saveAs(temp.file("noextension"));
  EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(temp.file("noextension"))));
  EXPECT_EQ(messages.size(), 1);  // what it says is checked with the other failures
}

TEST_F(OpenSaveTest, FailingRimExportIsReported) {
  selectPicture();
  saveAs(temp.file("missing-folder/x.rim"));
  EXPECT_EQ(messages,
            QStringList{QString::fromStdString("Cannot save " + temp.file("missing-folder/x.rim") +
                                               ": cannot write: No such file or directory")});
}

TEST_F(OpenSaveTest, OpenSelectsTheFileAndShowsItAtFullSize) {
  writeImage(temp.file("open.png"), 30, 20);
  dialogAnswers << QString::fromStdString(temp.file("open.png"));
  frame->OnFileOpen();
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("open.png"));
  EXPECT_EQ(doc->currentImage().GetWidth(), 30);
  EXPECT_EQ(frame->windowTitle().toStdString(), "Folim - " + temp.file("open.png"));
  COriginalImage* window = frame->listView()->fullSizeWindow();
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle().toStdString(), temp.file("open.png"));
}

TEST_F(OpenSaveTest, CancelledOpenChangesNothing) {
  frame->OnFileOpen();
  EXPECT_EQ(dialogsShown, 1);
  EXPECT_TRUE(doc->currentPath().isEmpty());
  EXPECT_FALSE(frame->listView()->fullSizeWindow()->isVisible());
}

}  // namespace
}  // namespace shell_testing
