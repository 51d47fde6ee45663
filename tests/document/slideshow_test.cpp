// The slideshow without a window: the listed pictures in list order, one
// each interval, from the current one to the last, then it stops; a pause
// holds the picture; the interval is remembered.
#include <gtest/gtest.h>

#include <QImage>
#include <QSettings>
#include <QSignalSpy>
#include <string>

#include "core_application.h"
#include "shell/folim_doc.h"
#include "shell/slideshow.h"
#include "support/test_support.h"

using document_testing::waitUntil;

namespace {

class SlideshowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // No interval remembered from an earlier test.
    QSettings().clear();
    for (int i = 1; i <= 4; ++i) {
      QImage picture(16, 12, QImage::Format_RGB32);
      picture.fill(QColor(40 * i, 20, 20));
      ASSERT_TRUE(picture.save(path(i)));
    }
    doc.ListFolder(QString::fromStdString(temp.path()));
    ASSERT_TRUE(waitUntil([&] { return !doc.IsLoadingThumbnails(); }));
    ASSERT_EQ(doc.entries().size(), 4u);
  }
  QString path(int i) const {
    return QString::fromStdString(temp.file("pic" + std::to_string(i) + ".png"));
  }
  // The pictures shown while the slideshow ran to its end.
  QStringList runToTheEnd(CSlideshow& show) {
    QStringList shown;
    QObject::connect(&show, &CSlideshow::pictureChanged,
                     [&] { shown << doc.currentPath().section('/', -1); });
    show.SetInterval(1);
    EXPECT_TRUE(show.Start());
    EXPECT_TRUE(waitUntil([&] { return !show.IsActive(); }, 10000));
    return shown;
  }

  testing_support::TempDir temp;
  CFolimDoc doc;
};

TEST_F(SlideshowTest, AdvancesInListOrderFromTheCurrentPictureAndStopsAfterTheLast) {
  struct Case {
    int current;  // 0: none chosen
    QStringList shown;
  };
  const Case cases[] = {
      {0, {"pic1.png", "pic2.png", "pic3.png", "pic4.png"}},
      {2, {"pic2.png", "pic3.png", "pic4.png"}},
      {4, {"pic4.png"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.current);
    if (c.current > 0) doc.SelectImage(path(c.current));
    CSlideshow show(doc);
    QSignalSpy states(&show, &CSlideshow::stateChanged);
    EXPECT_EQ(runToTheEnd(show), c.shown);
    EXPECT_EQ(show.state(), CSlideshow::State::Stopped);
    ASSERT_EQ(states.count(), 2);
    EXPECT_EQ(states.at(0).at(0).value<CSlideshow::State>(), CSlideshow::State::Running);
    EXPECT_EQ(states.at(1).at(0).value<CSlideshow::State>(), CSlideshow::State::Stopped);
  }
}

TEST_F(SlideshowTest, APauseHoldsThePictureAndTheKeyGoesOn) {
  doc.SelectImage(path(1));
  CSlideshow show(doc);
  show.SetInterval(20);
  ASSERT_TRUE(show.Start());
  ASSERT_TRUE(waitUntil([&] { return doc.currentPath() == path(2); }, 10000));
  show.Pause();
  EXPECT_EQ(show.state(), CSlideshow::State::Paused);
  const QString held = doc.currentPath();
  // Several intervals later the picture is the same.
  waitUntil([] { return false; }, 150);
  EXPECT_EQ(doc.currentPath(), held);
  // The slideshow key: on again, then paused, then on.
  show.Toggle();
  EXPECT_EQ(show.state(), CSlideshow::State::Running);
  show.Toggle();
  EXPECT_EQ(show.state(), CSlideshow::State::Paused);
  show.Toggle();
  ASSERT_TRUE(waitUntil([&] { return !show.IsActive(); }, 10000));
  EXPECT_EQ(doc.currentPath(), path(4));
  // Stopped, the key starts it again.
  show.Toggle();
  EXPECT_EQ(show.state(), CSlideshow::State::Running);
  show.Stop();
  EXPECT_EQ(show.state(), CSlideshow::State::Stopped);
}

TEST_F(SlideshowTest, NothingListedStartsNothing) {
  CFolimDoc empty;
  CSlideshow show(empty);
  QSignalSpy pictures(&show, &CSlideshow::pictureChanged);
  EXPECT_FALSE(show.Start());
  EXPECT_EQ(show.state(), CSlideshow::State::Stopped);
  EXPECT_EQ(pictures.count(), 0);
}

TEST_F(SlideshowTest, TheIntervalIsRememberedForTheNextSlideshow) {
  {
    CSlideshow show(doc);
    EXPECT_EQ(show.interval(), CSlideshow::kDefaultIntervalMs);
    show.SetInterval(10000);
    show.SetInterval(-5);  // at least a millisecond
    EXPECT_EQ(show.interval(), 1);
    show.SetInterval(5000);
  }
  CSlideshow next(doc);
  EXPECT_EQ(next.interval(), 5000);
  next.SetInterval(CSlideshow::kDefaultIntervalMs);
}

}  // namespace
