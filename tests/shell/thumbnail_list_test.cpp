// The thumbnail list: backgrounds by base type, the query box, activation,
// dropped files and the full-size window.
#include <QBuffer>
#include <QDropEvent>
#include <QMimeData>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/native_path.h"
#include "shell/original_image.h"
#include "shell/picture_view.h"
#include "shell/query_box.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell/thumbnail_loader.h"
#include "shell/tree_view_ex.h"
#include "shell_fixture.h"
#include "support/non_regular_files.h"

namespace shell_testing {
namespace {

QColor iconCorner(const QListWidgetItem* item) {
  return item->icon().pixmap(96, 96).toImage().pixelColor(0, 0);
}

class ThumbnailListTest : public ShellTest {
 protected:
  void drop(const QStringList& paths) {
    QList<QUrl> urls;
    for (const QString& p : paths) urls << QUrl::fromLocalFile(p);
    dropUrls(urls);
  }
  void dropUrls(const QList<QUrl>& urls, QWidget* target = nullptr) {
    if (target == nullptr) target = list()->viewport();
    QMimeData data;
    data.setUrls(urls);
    const QPointF at(10, 10);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
  }
};

TEST_F(ThumbnailListTest, BackgroundTellsPcaIcaAndOtherImagesApart) {
  // Wide pictures leave the top rows of the square to the background.
  writeRimFile(temp.file("a_pca.rim"), 192, 96, false);
  writeRimFile(temp.file("b_ica.rim"), 192, 96, true);
  writeImage(temp.file("c_plain.png"), 192, 96);
  testing_support::writeFileBytes(temp.file("d_broken.rim"), "not a rim file");
  chooseFolder(temp.path());
  ASSERT_EQ(list()->count(), 4);
  EXPECT_EQ(iconCorner(list()->item(0)), QColor(127, 0, 0));
  EXPECT_EQ(iconCorner(list()->item(1)), QColor(0, 0, 127));
  EXPECT_EQ(iconCorner(list()->item(2)), QColor(127, 127, 127));
  EXPECT_EQ(iconCorner(list()->item(3)), QColor(127, 127, 127));
  EXPECT_EQ(doc->entries()[0].baseType, 0);
  EXPECT_EQ(doc->entries()[1].baseType, 1);
  EXPECT_EQ(doc->entries()[2].baseType, 326);
  EXPECT_EQ(doc->entries()[3].baseType, 326);
  // The picture itself fills the middle of the square.
  EXPECT_NE(list()->item(2)->icon().pixmap(96, 96).toImage().pixelColor(48, 48),
            QColor(127, 127, 127));
}

// A JPEG photograph of w x h, red on its left half and blue on its right,
// whose EXIF orientation asks for a quarter turn clockwise when shown.
void writeTurnedPhotograph(const std::string& path, int w, int h) {
  QImage picture(w, h, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 230));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w / 2; ++x) picture.setPixel(x, y, qRgb(230, 0, 0));
  QByteArray jpeg;
  QBuffer buffer(&jpeg);
  buffer.open(QIODevice::WriteOnly);
  ASSERT_TRUE(picture.save(&buffer, "JPEG", 92));
  testing_support::writeFileBytes(path, jpeg.toStdString());
  testing_support::tagOrientation(path, 6);
}

TEST_F(ThumbnailListTest, LargePhotographsArriveInListOrderAndUpright) {
  for (int i = 0; i < 6; ++i)
    writeTurnedPhotograph(temp.file("photo" + std::to_string(i) + ".jpg"), 2400 - i * 200, 1200);
  chooseFolder(temp.path());
  ASSERT_EQ(list()->count(), 6);
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(list()->item(i)->text().toStdString(), "photo" + std::to_string(i) + ".jpg");
    const QImage icon = list()->item(i)->icon().pixmap(96, 96).toImage();
    // Turned upright: a portrait, the red half on top, the blue below, the
    // background beside it.
    EXPECT_EQ(icon.pixelColor(2, 48), QColor(127, 127, 127));
    const QColor top = icon.pixelColor(48, 20);
    const QColor bottom = icon.pixelColor(48, 76);
    EXPECT_GT(top.red(), 180);
    EXPECT_LT(top.blue(), 60);
    EXPECT_GT(bottom.blue(), 180);
    EXPECT_LT(bottom.red(), 60);
  }
}

TEST_F(ThumbnailListTest, AFileThatCannotBeReadShowsABrokenPicture) {
  testing_support::writeFileBytes(temp.file("a_torn.jpg"), "not a picture");
  testing_support::writeFileBytes(temp.file("b_broken.rim"), "not a rim file");
  writeImage(temp.file("c_fine.png"), 96, 96);
  chooseFolder(temp.path());
  ASSERT_EQ(list()->count(), 3);
  for (int row : {0, 1}) {
    const QImage icon = list()->item(row)->icon().pixmap(96, 96).toImage();
    EXPECT_EQ(icon.pixelColor(0, 0), QColor(127, 127, 127)) << row;
    EXPECT_EQ(icon.pixelColor(48, 48), brokenImageMark()) << row;
  }
  EXPECT_NE(list()->item(2)->icon().pixmap(96, 96).toImage().pixelColor(48, 48), brokenImageMark());
}

TEST_F(ThumbnailListTest, FifosAndSocketsUnderPictureNamesShowABrokenPictureAtOnce) {
  // A FIFO named like a picture once held a thumbnail worker for good: the
  // first page never completed.
  const std::vector<std::string> fifos = {temp.file("a_pipe.jpg"), temp.file("c_pipe.rim")};
  for (const std::string& fifo : fifos) ASSERT_TRUE(testing_support::makeFifo(fifo));
  ASSERT_TRUE(testing_support::makeSocket(temp.file("b_socket.png")));
  writeImage(temp.file("d_fine.png"), 96, 96);
  {
    // Lets a blocked worker go after 5 s, so that a fault fails the test
    // instead of hanging it.
    testing_support::FifoWatchdog watchdog(fifos, 5000);
    frame->treeView()->SelectFolder(QString::fromStdString(temp.path()));
    EXPECT_TRUE(waitUntil([&] { return !doc->IsLoadingThumbnails(); }, 10000));
    EXPECT_FALSE(watchdog.stop()) << "a thumbnail worker blocked";
  }
  ASSERT_EQ(list()->count(), 4);
  for (int row : {0, 1, 2}) {
    EXPECT_EQ(list()->item(row)->icon().pixmap(96, 96).toImage().pixelColor(48, 48),
              brokenImageMark())
        << row;
  }
  EXPECT_NE(list()->item(3)->icon().pixmap(96, 96).toImage().pixelColor(48, 48), brokenImageMark());

  // Opened in the window: a message naming it, at once.
  testing_support::FifoWatchdog watchdog(fifos, 5000);
  doc->OpenImage(QString::fromStdString(fifos[0]));
  EXPECT_FALSE(watchdog.stop()) << "opening blocked";
  EXPECT_EQ(messages, QStringList{QString::fromStdString("Cannot open " + fifos[0] +
                                                         ": is not a regular file")});
}

TEST_F(ThumbnailListTest, QueryBoxShowsTheSelectionOnItsBaseTypeColour) {
  writeRimFile(temp.file("ica.rim"), 192, 96, true);
  writeImage(temp.file("plain.png"), 192, 96);
  chooseFolder(temp.path());
  CQueryBox* box = frame->tabView()->retrievalView()->queryBox();
  const QPoint corner = box->contentsRect().topLeft() + QPoint(2, 2);

  list()->setCurrentRow(0);
  EXPECT_EQ(doc->currentImage().m_nBaseType, 1);
  EXPECT_EQ(box->grab().toImage().pixelColor(corner), QColor(0, 0, 127));
  list()->setCurrentRow(1);
  EXPECT_EQ(box->grab().toImage().pixelColor(corner), QColor(127, 127, 127));
  EXPECT_NE(box->grab().toImage().pixelColor(box->contentsRect().center()), QColor(127, 127, 127));
}

TEST_F(ThumbnailListTest, ActivationOpensAndDoubleClickTogglesFullScreen) {
  writeImage(temp.file("pic.png"), 40, 30);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  EXPECT_FALSE(fullSize()->isVisible());
  emit list()->itemActivated(list()->item(0));
  ASSERT_TRUE(fullSize()->isVisible());
  EXPECT_EQ(fullSize()->windowTitle().toStdString(), temp.file("pic.png"));
  // On the picture, where the user double-clicks.
  QWidget* picture = fullSize()->view()->viewport();
  QTest::mouseDClick(picture, Qt::LeftButton);
  EXPECT_TRUE(fullSize()->isFullScreen());
  QTest::mouseDClick(picture, Qt::LeftButton);
  EXPECT_FALSE(fullSize()->isFullScreen());
  EXPECT_TRUE(fullSize()->isVisible());
  // Esc closes the window that is not full screen.
  QTest::keyClick(fullSize(), Qt::Key_Escape);
  EXPECT_FALSE(fullSize()->isVisible());
}

TEST_F(ThumbnailListTest, SmallImageOpensAtItsSizeCentredInTheWorkArea) {
  writeImage(temp.file("small.png"), 200, 120);
  doc->OpenImage(QString::fromStdString(temp.file("small.png")));
  const QRect area = fullSize()->workArea();
  ASSERT_TRUE(area.isValid());
  EXPECT_EQ(fullSize()->size(), QSize(200, 120));
  const QMargins m = fullSize()->frameExtents();
  const int windowWidth = 200 + m.left() + m.right();
  const int windowHeight = 120 + m.top() + m.bottom();
  EXPECT_EQ(fullSize()->pos(), QPoint(area.left() + (area.width() - windowWidth) / 2,
                                      area.top() + (area.height() - windowHeight) / 2));
}

TEST_F(ThumbnailListTest, LargeImageIsFittedAndPlacedAtTheWorkAreaCorner) {
  const QRect screen = frame->screen()->availableGeometry();
  const int width = screen.width() * 2;
  const int height = screen.height();
  writeImage(temp.file("large.png"), width, height);
  doc->OpenImage(QString::fromStdString(temp.file("large.png")));
  const QRect area = fullSize()->workArea();
  EXPECT_EQ(fullSize()->pos(), area.topLeft());
  const QSize client = fullSize()->size();
  EXPECT_LE(client.width(), area.width());
  EXPECT_LE(client.height(), area.height());
  // Limited by the width, aspect ratio kept (2 : 1).
  const QMargins m = fullSize()->frameExtents();
  EXPECT_EQ(client.width(), area.width() - m.left() - m.right());
  EXPECT_NEAR(client.height(), client.width() / 2, 1);
}

TEST_F(ThumbnailListTest, FullSizeWindowKeepsItsOwnPicture) {
  writeImage(temp.file("first.png"), 60, 40);
  writeImage(temp.file("second.png"), 30, 90);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  // A new selection replaces the current picture; the window's copy stays.
  list()->setCurrentRow(1);
  EXPECT_EQ(doc->currentImage().GetWidth(), 30);
  EXPECT_EQ(doc->fullSizeImage().GetWidth(), 60);
  EXPECT_EQ(doc->fullSizeImage().GetHeight(), 40);
  EXPECT_NE(doc->fullSizeImage().GetBits(), doc->currentImage().GetBits());
  const QImage shown = fullSize()->grab().toImage();
  EXPECT_EQ(shown.size(), QSize(60, 40));
}

TEST_F(ThumbnailListTest, DroppingOneImageSelectsAndOpensIt) {
  writeImage(temp.file("dropped.png"), 20, 20);
  drop({QString::fromStdString(temp.file("dropped.png"))});
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("dropped.png"));
  EXPECT_EQ(doc->currentImage().GetWidth(), 20);
  EXPECT_TRUE(fullSize()->isVisible());
}

// A name that is no UTF-8 is listed with its picture, opens when selected,
// and opens when dropped as a URL with the byte escaped.
TEST_F(ThumbnailListTest, NamesThatAreNotUtf8AreListedAndOpened) {
  const std::string latin1 = temp.file("caf\xe9.rim");
  writeRimFile(latin1, 192, 96, false);
  chooseFolder(temp.path());
  ASSERT_EQ(list()->count(), 1);
  EXPECT_EQ(iconCorner(list()->item(0)), QColor(127, 0, 0));
  EXPECT_EQ(doc->entries()[0].baseType, 0);
  list()->setCurrentRow(0);
  EXPECT_EQ(toNativePath(doc->currentPath()), latin1);
  EXPECT_EQ(doc->currentImage().GetWidth(), 192);

  doc->SelectImage(QString());
  dropUrls({QUrl::fromEncoded(QByteArray::fromStdString("file://" + temp.path() + "/caf%E9.rim"))});
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  EXPECT_EQ(toNativePath(doc->currentPath()), latin1);
  EXPECT_EQ(doc->currentImage().GetWidth(), 192);
}

TEST_F(ThumbnailListTest, DroppingOtherFilesOnlyExplains) {
  testing_support::writeFileBytes(temp.file("notes.txt"), "text");
  writeImage(temp.file("a.png"), 4, 4);
  writeImage(temp.file("b.png"), 4, 4);
  drop({QString::fromStdString(temp.file("notes.txt"))});
  drop({QString::fromStdString(temp.file("a.png")), QString::fromStdString(temp.file("b.png"))});
  EXPECT_EQ(messages,
            (QStringList{"This is not a image file!", "You can drop one image file only."}));
  EXPECT_TRUE(doc->currentPath().isEmpty());
  EXPECT_FALSE(fullSize()->isVisible());
}

// A file dropped on the query box becomes the query, without opening the
// full-size window; other drops explain and leave the query as it was.
TEST_F(ThumbnailListTest, DroppingOnTheQueryBoxMakesTheQuery) {
  writeImage(temp.file("first.png"), 20, 20);
  writeImage(temp.file("query.png"), 30, 10);
  testing_support::writeFileBytes(temp.file("notes.txt"), "text");
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  ASSERT_EQ(doc->currentPath().toStdString(), temp.file("first.png"));
  fullSize()->hide();
  QWidget* box = retrievalForm()->queryBox();
  const auto dropOnBox = [&](std::initializer_list<const char*> names) {
    QList<QUrl> urls;
    for (const char* name : names)
      urls << QUrl::fromLocalFile(QString::fromStdString(temp.file(name)));
    dropUrls(urls, box);
  };

  dropOnBox({"notes.txt"});
  dropOnBox({"query.png", "first.png"});
  EXPECT_EQ(messages,
            (QStringList{"This is not a image file!", "You can drop one image file only."}));
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("first.png"));

  messages.clear();
  dropOnBox({"query.png"});
  EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("query.png"));
  EXPECT_EQ(doc->currentImage().GetWidth(), 30);
  EXPECT_FALSE(fullSize()->isVisible());
  // The box draws it: the wide picture leaves the background above it.
  const QImage drawn = box->grab().toImage();
  const QPoint middle(drawn.width() / 2, drawn.height() / 2);
  EXPECT_NE(drawn.pixelColor(middle), QColor(127, 127, 127));
}

TEST_F(ThumbnailListTest, NarrowerListWrapsRowsWithoutHorizontalScrolling) {
  writeUnreadableImages(temp.path(), 6);
  chooseFolder(temp.path());
  list()->resize(900, 300);
  QCoreApplication::processEvents();
  EXPECT_EQ(list()->visualItemRect(list()->item(5)).top(),
            list()->visualItemRect(list()->item(0)).top());
  list()->resize(260, 300);
  QCoreApplication::processEvents();
  EXPECT_GT(list()->visualItemRect(list()->item(2)).top(),
            list()->visualItemRect(list()->item(0)).top());
  EXPECT_EQ(list()->visualItemRect(list()->item(0)).top(),
            list()->visualItemRect(list()->item(1)).top());
  EXPECT_FALSE(list()->horizontalScrollBar()->isVisible());
  EXPECT_EQ(list()->item(0)->icon().availableSizes().value(0), QSize(96, 96));
}

}  // namespace
}  // namespace shell_testing
