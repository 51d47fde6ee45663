// A large photograph at full size: shown fitted from a reduced decode, the
// whole picture decoded when the zoom needs it, and saved whole whatever is
// on show.
#include <QFile>
#include <QImage>
#include <QScreen>
#include <QTest>

#include "imageio/image_ex.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

class LargePhotographTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    // Red on the left half, blue on the right: what is shown can be told.
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    picture.fill(qRgb(0, 0, 230));
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth / 2; ++x) picture.setPixel(x, y, qRgb(230, 0, 0));
    path = QString::fromStdString(temp.file("photo.jpg"));
    ASSERT_TRUE(picture.save(path, "JPEG", 92));
  }

  const CImageEx& shown() const { return doc->fullSizeImage(); }

  void press(int key) { QTest::keyClick(fullSize(), static_cast<Qt::Key>(key)); }

  QString path;
};

TEST_F(LargePhotographTest, OpensFittedFromAReducedDecode) {
  doc->OpenImage(path);
  ASSERT_TRUE(fullSize()->isVisible());
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(shown().FullWidth(), kWidth);
  EXPECT_EQ(shown().FullHeight(), kHeight);
  EXPECT_TRUE(shown().IsReduced());
  EXPECT_LT(shown().GetWidth(), kWidth);
  // Fitted to the work area, aspect ratio kept.
  const QSize client = fullSize()->size();
  const QRect area = fullSize()->workArea();
  EXPECT_LE(client.width(), area.width());
  EXPECT_LE(client.height(), area.height());
  EXPECT_NEAR(client.width() * kHeight, client.height() * kWidth, kWidth);
  // The pixels held cover the window, and at most twice its size each way.
  EXPECT_GE(shown().GetWidth(), client.width());
  EXPECT_GE(shown().GetHeight(), client.height());
  EXPECT_LT(shown().GetWidth(), 2 * client.width());
  EXPECT_LT(shown().GetHeight(), 2 * client.height());
  // The query box's picture is no larger than the screen's.
  EXPECT_TRUE(doc->currentImage().IsReduced());
  // The whole picture is shown: red left, blue right.
  const QImage grab = fullSize()->grab().toImage();
  EXPECT_GT(grab.pixelColor(client.width() / 4, client.height() / 2).red(), 180);
  EXPECT_GT(grab.pixelColor(client.width() * 3 / 4, client.height() / 2).blue(), 180);
}

TEST_F(LargePhotographTest, ActualSizeShowsTheWholePicture) {
  doc->OpenImage(path);
  ASSERT_TRUE(shown().IsReduced());
  press(Qt::Key_1);
  EXPECT_EQ(fullSize()->zoom(), 1.0);
  EXPECT_FALSE(shown().IsReduced());
  EXPECT_EQ(shown().GetWidth(), kWidth);
  EXPECT_EQ(shown().GetHeight(), kHeight);
  // At 100 % the middle of the picture fills the window: the two halves
  // meet in the middle.
  const QImage grab = fullSize()->grab().toImage();
  const int w = grab.width(), h = grab.height();
  EXPECT_GT(grab.pixelColor(w / 2 - 20, h / 2).red(), 180);
  EXPECT_GT(grab.pixelColor(w / 2 + 20, h / 2).blue(), 180);
  // Back to fitting keeps the window's size.
  press(Qt::Key_0);
  EXPECT_EQ(fullSize()->zoom(), 0.0);
}

TEST_F(LargePhotographTest, ZoomingInStepByStepDecodesWholePastTheReducedScale) {
  doc->OpenImage(path);
  ASSERT_TRUE(shown().IsReduced());
  const double covered = static_cast<double>(shown().GetWidth()) / kWidth;
  for (int i = 0; i < 20 && fullSize()->zoom() <= covered; ++i) {
    EXPECT_TRUE(shown().IsReduced()) << fullSize()->zoom();
    press(Qt::Key_Plus);
  }
  ASSERT_GT(fullSize()->zoom(), covered);
  EXPECT_FALSE(shown().IsReduced());
  EXPECT_EQ(shown().GetWidth(), kWidth);
}

TEST_F(LargePhotographTest, APictureGoneBeforeTheZoomStaysReducedAndSaysSo) {
  doc->OpenImage(path);
  ASSERT_TRUE(shown().IsReduced());
  const int width = shown().GetWidth();
  ASSERT_TRUE(QFile::remove(path));
  press(Qt::Key_1);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith("Cannot open " + path)) << messages[0].toStdString();
  EXPECT_TRUE(shown().IsReduced());
  EXPECT_EQ(shown().GetWidth(), width);
}

TEST_F(LargePhotographTest, SavingWritesTheWholePicture) {
  doc->OpenImage(path);
  ASSERT_TRUE(doc->currentImage().IsReduced());
  for (const char* name : {"copy.png", "copy.bmp"}) {
    SCOPED_TRACE(name);
    const QString target = QString::fromStdString(temp.file(name));
    dialogAnswers << target;
    frame->OnFileSave();
    EXPECT_TRUE(messages.isEmpty());
    const QImage saved(target);
    EXPECT_EQ(saved.size(), QSize(kWidth, kHeight));
  }
}

TEST_F(LargePhotographTest, AWiderWindowThanTheSelectionCoversIsReadAgain) {
  // The selection was read for a small screen; the window on a larger one
  // reads the picture as far as its own size needs.
  doc->SetScreenSize(QSize(400, 300));
  doc->SelectImage(path);
  ASSERT_EQ(doc->currentImage().GetWidth(), 500);
  CImageEx& image = doc->PrepareFullSizeImage(1800, 1350);
  EXPECT_EQ(image.GetWidth(), 2000);
  EXPECT_EQ(image.FullWidth(), kWidth);
  // One the selection covers takes its pixels.
  EXPECT_EQ(doc->PrepareFullSizeImage(300, 300).GetWidth(), 500);
}

}  // namespace
}  // namespace shell_testing
