// The full-size window as the user drives it: panning a zoomed photograph
// to each of its corners (keys, dragging, scroll bars), Ctrl+wheel zooming
// about the cursor with its percentage shown, full screen, the slideshow,
// turning and saving turned, and a window that keeps its size and place.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTest>
#include <QTransform>

#include "imageio/image_ex.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell/picture_view.h"
#include "shell/rotation_model.h"
#include "shell/slideshow.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;
constexpr int kMark = 48;  // the side of the white square in each corner
const QSize kClient(1000, 700);

class FullSizeWindowTest : public ShellTest {
 protected:
  // A 12-megapixel photograph: a colour to each quarter, a white square in
  // each corner.
  QString writePhotograph(const std::string& name) {
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int y = 0; y < kHeight; ++y) {
      auto* line = reinterpret_cast<QRgb*>(picture.scanLine(y));
      for (int x = 0; x < kWidth; ++x) {
        const bool corner =
            (x < kMark || x >= kWidth - kMark) && (y < kMark || y >= kHeight - kMark);
        if (!corner) line[x] = quarterColour(x >= kWidth / 2, y >= kHeight / 2);
      }
    }
    const QString path = QString::fromStdString(temp.file(name));
    EXPECT_TRUE(picture.save(path, "JPEG", 95));
    return path;
  }
  static QRgb quarterColour(bool right, bool bottom) {
    return right ? (bottom ? qRgb(230, 230, 0) : qRgb(0, 200, 0))
                 : (bottom ? qRgb(0, 0, 230) : qRgb(230, 0, 0));
  }
  static bool near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 40 && std::abs(qGreen(a) - qGreen(b)) < 40 &&
           std::abs(qBlue(a) - qBlue(b)) < 40;
  }

  // The photograph open at 100 % in a window of kClient.
  void openAtActualSize() {
    doc->OpenImage(writePhotograph("photo.jpg"));
    ASSERT_TRUE(fullSize()->isVisible());
    fullSize()->resize(kClient);
    press(Qt::Key_1);
    ASSERT_EQ(fullSize()->zoom(), 1.0);
  }
  void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QTest::keyClick(fullSize(), static_cast<Qt::Key>(key), modifiers);
  }
  CPictureView* view() { return fullSize()->view(); }
  const ZoomPan& zoomPan() { return view()->zoomPan(); }
  QImage shownPicture() { return view()->viewport()->grab().toImage(); }
  // Presses key until the pan stops moving; how many presses that took.
  int panToTheEnd(int key) {
    int presses = 0;
    for (QPoint last(-1, -1); zoomPan().offset() != last && presses < 200; ++presses) {
      last = zoomPan().offset();
      press(key);
    }
    return presses;
  }
  // The window's corner pixel and one well inside it show the photograph's
  // corner: white, then the colour of its quarter.
  void expectCorner(bool right, bool bottom) {
    const QImage shown = shownPicture();
    const int x = right ? shown.width() - 1 : 0;
    const int y = bottom ? shown.height() - 1 : 0;
    const int in = right ? -2 * kMark : 2 * kMark;
    const int down = bottom ? -2 * kMark : 2 * kMark;
    EXPECT_TRUE(near(shown.pixel(x, y), qRgb(255, 255, 255)))
        << std::hex << shown.pixel(x, y) << " at " << std::dec << x << "," << y;
    EXPECT_TRUE(near(shown.pixel(x + in, y + down), quarterColour(right, bottom)))
        << std::hex << shown.pixel(x + in, y + down);
  }
};

TEST_F(FullSizeWindowTest, ArrowKeysPanAZoomedPhotographToEveryCorner) {
  openAtActualSize();
  // 100 % is shown in the corner.
  EXPECT_TRUE(view()->zoomLabel()->isVisible());
  EXPECT_EQ(view()->zoomLabel()->text(), "100 %");
  const QPoint most = zoomPan().maxOffset();
  ASSERT_GT(most.x(), 0);
  ASSERT_GT(most.y(), 0);
  struct Leg {
    int key;
    bool right, bottom;  // the side the pan reaches
    bool atCorner;       // and a corner with it
  };
  // From the middle to the top-left, then round the picture clockwise.
  const Leg legs[] = {{Qt::Key_Up, false, false, false},  {Qt::Key_Left, false, false, true},
                      {Qt::Key_Right, true, false, true}, {Qt::Key_Down, true, true, true},
                      {Qt::Key_Left, false, true, true},  {Qt::Key_Up, false, false, true}};
  const QString photo = doc->currentPath();
  for (const Leg& leg : legs) {
    SCOPED_TRACE(leg.key);
    panToTheEnd(leg.key);
    // Panning never steps to another picture.
    EXPECT_EQ(doc->currentPath(), photo);
    const QPoint offset = zoomPan().offset();
    if (leg.key == Qt::Key_Left || leg.key == Qt::Key_Right) {
      EXPECT_EQ(offset.x(), leg.right ? most.x() : 0);
    } else {
      EXPECT_EQ(offset.y(), leg.bottom ? most.y() : 0);
    }
    // The scroll bars follow.
    EXPECT_EQ(view()->horizontalScrollBar()->value(), offset.x());
    EXPECT_EQ(view()->verticalScrollBar()->value(), offset.y());
    if (leg.atCorner) {
      EXPECT_EQ(offset, QPoint(leg.right ? most.x() : 0, leg.bottom ? most.y() : 0));
      expectCorner(leg.right, leg.bottom);
    }
  }
}

TEST_F(FullSizeWindowTest, DraggingAndScrollBarsPanToo) {
  openAtActualSize();
  QWidget* picture = view()->viewport();
  const QPoint before = zoomPan().offset();
  // The picture follows the hand: dragging up-left shows more of the
  // bottom-right.
  QTest::mousePress(picture, Qt::LeftButton, Qt::NoModifier, QPoint(600, 500));
  QMouseEvent move(QEvent::MouseMove, QPointF(400, 350), picture->mapToGlobal(QPointF(400, 350)),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(picture, &move);
  QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, QPoint(400, 350));
  EXPECT_EQ(zoomPan().offset(), before + QPoint(200, 150));

  view()->horizontalScrollBar()->setValue(view()->horizontalScrollBar()->maximum());
  view()->verticalScrollBar()->setValue(view()->verticalScrollBar()->maximum());
  EXPECT_EQ(zoomPan().offset(), zoomPan().maxOffset());
  expectCorner(true, true);
  view()->horizontalScrollBar()->setValue(0);
  view()->verticalScrollBar()->setValue(0);
  expectCorner(false, false);
}

TEST_F(FullSizeWindowTest, LeftAndRightStepThroughPicturesThatFit) {
  writeImage(temp.file("a.png"), 60, 40);
  writeImage(temp.file("b.png"), 60, 40);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  press(Qt::Key_Right);
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("b.png"));
  // Zoomed past the window, Left pans (here: nothing left to pan) rather
  // than stepping back; zoomed to fit again, it steps.
  for (int i = 0; i < 12; ++i) press(Qt::Key_Plus);
  ASSERT_TRUE(zoomPan().canPanHorizontally());
  press(Qt::Key_Left);
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("b.png"));
  press(Qt::Key_0);
  press(Qt::Key_Left);
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("a.png"));
}

TEST_F(FullSizeWindowTest, CtrlWheelZoomsAboutTheCursorAndShowsThePercentage) {
  openAtActualSize();
  press(Qt::Key_0);
  EXPECT_TRUE(zoomPan().isFitted());
  const QString fitted = QString("%1 %").arg(zoomPan().percent());
  EXPECT_EQ(view()->zoomLabel()->text(), fitted);
  struct Turn {
    QPointF at;
    int delta;
  };
  const Turn turns[] = {{{300, 200}, 120},
                        {{300, 200}, 120},
                        {{700, 500}, 120},
                        {{700, 500}, 120},
                        {{150, 600}, -120}};
  for (const Turn& turn : turns) {
    const QPointF under = (turn.at - zoomPan().pictureRect().topLeft()) / zoomPan().scale();
    const double before = zoomPan().scale();
    QWheelEvent wheel(turn.at, view()->viewport()->mapToGlobal(turn.at), QPoint(),
                      QPoint(0, turn.delta), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                      false);
    QCoreApplication::sendEvent(view()->viewport(), &wheel);
    EXPECT_NEAR(zoomPan().scale(), turn.delta > 0 ? before * 1.25 : before / 1.25, 1e-9);
    const QPointF now = (turn.at - zoomPan().pictureRect().topLeft()) / zoomPan().scale();
    // The picture point under the cursor stays under it.
    EXPECT_NEAR(now.x(), under.x(), 2.0 / zoomPan().scale());
    EXPECT_NEAR(now.y(), under.y(), 2.0 / zoomPan().scale());
    EXPECT_EQ(view()->zoomLabel()->text(), QString("%1 %").arg(zoomPan().percent()));
  }
  EXPECT_NE(view()->zoomLabel()->text(), fitted);
}

TEST_F(FullSizeWindowTest, FullScreenByKeyAndDoubleClickAndEscLeavesIt) {
  writeImage(temp.file("pic.png"), 300, 200);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  const QRect normal = fullSize()->geometry();
  press(Qt::Key_F11);
  EXPECT_TRUE(fullSize()->isFullScreen());
  EXPECT_TRUE(fullSize()->fullScreenAction()->isChecked());
  press(Qt::Key_Escape);
  EXPECT_FALSE(fullSize()->isFullScreen());
  EXPECT_TRUE(fullSize()->isVisible());
  EXPECT_FALSE(fullSize()->fullScreenAction()->isChecked());
  QTest::mouseDClick(view()->viewport(), Qt::LeftButton);
  EXPECT_TRUE(fullSize()->isFullScreen());
  press(Qt::Key_F11);
  EXPECT_FALSE(fullSize()->isFullScreen());
  EXPECT_EQ(fullSize()->geometry(), normal);
  // From the main window's menu with the window closed: it opens full
  // screen on the current picture.
  fullSize()->close();
  fullSize()->fullScreenAction()->trigger();
  EXPECT_TRUE(fullSize()->isVisible());
  EXPECT_TRUE(fullSize()->isFullScreen());
}

TEST_F(FullSizeWindowTest, SlideshowAdvancesPausesOnAnyKeyAndStops) {
  for (const char* name : {"s1.png", "s2.png", "s3.png"}) writeImage(temp.file(name), 80, 60);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  CSlideshow& show = fullSize()->slideshow();
  // Long enough that a loaded machine cannot step past s2 unseen.
  show.SetInterval(500);
  press(Qt::Key_F5, Qt::ShiftModifier);
  EXPECT_EQ(show.state(), CSlideshow::State::Running);
  // It shows full screen while it runs.
  EXPECT_TRUE(fullSize()->isFullScreen());
  ASSERT_TRUE(waitUntil([&] { return doc->currentPath().endsWith("s2.png"); }, 10000));
  EXPECT_EQ(fullSize()->windowTitle(), doc->currentPath());
  // Any key pauses it, and says so.
  QKeyEvent key(QEvent::ShortcutOverride, Qt::Key_A, Qt::NoModifier, "a");
  QCoreApplication::sendEvent(view(), &key);
  EXPECT_EQ(show.state(), CSlideshow::State::Paused);
  EXPECT_TRUE(view()->zoomLabel()->text().startsWith("Slideshow paused"));
  const QString held = doc->currentPath();
  waitUntil([] { return false; }, 150);
  EXPECT_EQ(doc->currentPath(), held);
  // The slideshow key goes on, to the last picture, then it stops and
  // leaves full screen.
  show.SetInterval(30);
  press(Qt::Key_F5, Qt::ShiftModifier);
  EXPECT_EQ(show.state(), CSlideshow::State::Running);
  ASSERT_TRUE(waitUntil([&] { return !show.IsActive(); }, 10000));
  EXPECT_TRUE(doc->currentPath().endsWith("s3.png"));
  EXPECT_FALSE(fullSize()->isFullScreen());
  EXPECT_TRUE(fullSize()->isVisible());
  // Esc stops a running slideshow, then closes the window.
  list()->setCurrentRow(0);
  press(Qt::Key_F5, Qt::ShiftModifier);
  press(Qt::Key_Escape);
  EXPECT_EQ(show.state(), CSlideshow::State::Stopped);
  EXPECT_TRUE(fullSize()->isVisible());
  press(Qt::Key_Escape);
  EXPECT_FALSE(fullSize()->isVisible());
}

TEST_F(FullSizeWindowTest, ARotatedJpegShowsTurnedAndIsSavedWithoutReencoding) {
  // A photograph taller than wide once turned: its left half red.
  QImage picture(160, 100, QImage::Format_RGB32);
  picture.fill(qRgb(0, 0, 230));
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 80; ++x) picture.setPixel(x, y, qRgb(230, 0, 0));
  const QString path = QString::fromStdString(temp.file("turn.jpg"));
  ASSERT_TRUE(picture.save(path, "JPEG", 95));
  writeImage(temp.file("zz.png"), 40, 30);
  const QImage before = QImage(path).convertToFormat(QImage::Format_RGB32);
  const QByteArray original = [&] {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
  }();
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  fullSize()->resize(400, 400);

  press(Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(view()->turns(), 1);
  // Shown at once: a quarter clockwise puts the red half on top.
  const QImage shown = shownPicture();
  const QRect placed = zoomPan().pictureRect().toRect();
  EXPECT_LT(placed.width(), placed.height());
  EXPECT_TRUE(near(shown.pixel(placed.center().x(), placed.top() + 10), qRgb(230, 0, 0)));
  EXPECT_TRUE(near(shown.pixel(placed.center().x(), placed.bottom() - 10), qRgb(0, 0, 230)));
  press(Qt::Key_L, Qt::ControlModifier);
  press(Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(view()->turns(), 3);
  EXPECT_TRUE(questions.isEmpty());

  // Leaving the picture asks; saying yes writes the turn in the background.
  press(Qt::Key_Space);
  ASSERT_EQ(questions.size(), 1);
  EXPECT_TRUE(questions[0].contains(path));
  ASSERT_TRUE(waitUntil([&] { return !fullSize()->rotation().IsSaving(); }));
  EXPECT_TRUE(messages.isEmpty()) << messages.join('\n').toStdString();
  QImageReader reader(path);
  reader.setAutoTransform(true);
  EXPECT_EQ(reader.read().convertToFormat(QImage::Format_RGB32),
            before.transformed(QTransform().rotate(270)));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray now = file.readAll();
  EXPECT_EQ(now.mid(now.indexOf("\xFF\xDA")), original.mid(original.indexOf("\xFF\xDA")));
  // The next picture starts upright and asks nothing.
  EXPECT_EQ(view()->turns(), 0);
  press(Qt::Key_Backspace);
  EXPECT_EQ(questions.size(), 1);

  // Said no, the file stays as it is.
  press(Qt::Key_R, Qt::ControlModifier);
  questionAnswer = false;
  press(Qt::Key_Space);
  EXPECT_EQ(questions.size(), 2);
  QFile again(path);
  ASSERT_TRUE(again.open(QIODevice::ReadOnly));
  EXPECT_EQ(again.readAll(), now);
}

TEST_F(FullSizeWindowTest, TheWindowKeepsItsPlaceBetweenPicturesAndSessionsWithinTheScreen) {
  writeImage(temp.file("a.png"), 300, 200);
  writeImage(temp.file("b.png"), 120, 500);
  chooseFolder(temp.path());
  list()->setCurrentRow(0);
  list()->ShowFullSizeImage();
  const QRect area = fullSize()->workArea();
  fullSize()->setGeometry(area.left() + 40, area.top() + 30, 500, 350);
  const QRect chosen = fullSize()->geometry();
  press(Qt::Key_Right);
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("b.png"));
  EXPECT_EQ(fullSize()->geometry(), chosen);
  fullSize()->close();

  // The next session opens where this one left it.
  frame.reset();
  doc = std::make_unique<CFolimDoc>();
  frame = std::make_unique<CMainFrame>(*doc);
  doc->OpenImage(QString::fromStdString(temp.file("a.png")));
  EXPECT_EQ(fullSize()->geometry(), chosen);
  fullSize()->close();

  // A place remembered larger than the screen comes back inside it.
  frame.reset();
  QSettings().setValue("fullSizeWindow/geometry", QRect(area.left() - 300, area.top() - 200,
                                                        area.width() * 2, area.height() * 3));
  doc = std::make_unique<CFolimDoc>();
  frame = std::make_unique<CMainFrame>(*doc);
  doc->OpenImage(QString::fromStdString(temp.file("a.png")));
  const QMargins m = fullSize()->frameExtents();
  EXPECT_TRUE(area.contains(fullSize()->geometry().marginsAdded(m)))
      << fullSize()->geometry().x() << "," << fullSize()->geometry().y() << " "
      << fullSize()->geometry().width() << "x" << fullSize()->geometry().height();
}

TEST_F(FullSizeWindowTest, ThePictureMenuHoldsTheWindowsActions) {
  const QList<QAction*> top = frame->menuBar()->actions();
  ASSERT_EQ(top.size(), 5);
  QMenu* picture = top[3]->menu();
  const QList<QAction*> items = picture->actions();
  EXPECT_TRUE(items.contains(fullSize()->fullScreenAction()));
  EXPECT_TRUE(items.contains(fullSize()->slideshowAction()));
  EXPECT_TRUE(items.contains(fullSize()->intervalMenu()->menuAction()));
  EXPECT_TRUE(items.contains(fullSize()->rotateLeftAction()));
  EXPECT_TRUE(items.contains(fullSize()->rotateRightAction()));
  // Choosing an interval sets the slideshow's.
  const QList<QAction*> intervals = fullSize()->intervalMenu()->actions();
  ASSERT_EQ(intervals.size(), CSlideshow::IntervalChoices().size());
  intervals.last()->trigger();
  EXPECT_EQ(fullSize()->slideshow().interval(), CSlideshow::IntervalChoices().last() * 1000);
  EXPECT_TRUE(intervals.last()->isChecked());
}

}  // namespace
}  // namespace shell_testing
