// The document's logic without any window: a QCoreApplication, the
// document's commands and the signals it answers with.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QSignalSpy>
#include <memory>
#include <string>

#include "core_application.h"
#include "shell/folim_doc.h"
#include "shell/job_runner.h"
#include "support/qt_events.h"
#include "support/test_support.h"

using testing_support::waitUntil;
using testing_support::writeUnreadableImages;

namespace {

class DocumentTest : public ::testing::Test {
 protected:
  QString folder(const testing_support::TempDir& dir) const {
    return QString::fromStdString(dir.path());
  }
  void waitForPage() {
    ASSERT_TRUE(waitUntil([&] { return !doc.IsLoadingThumbnails(); })) << "page still loading";
  }
  // The captions of the thumbnails added, by row.
  QStringList captionsOf(const QSignalSpy& added) const {
    QStringList captions;
    for (const QList<QVariant>& call : added) captions << call.at(1).toString();
    return captions;
  }

  CFolimDoc doc;
  testing_support::TempDir temp;
};

TEST_F(DocumentTest, ListingAFolderSignalsItsPagingAndThumbnailsInOrder) {
  writeUnreadableImages(temp.path(), 51, "img");
  QSignalSpy folder(&doc, &CFolimDoc::folderChanged);
  QSignalSpy paging(&doc, &CFolimDoc::pagingChanged);
  QSignalSpy cleared(&doc, &CFolimDoc::thumbnailsCleared);
  QSignalSpy added(&doc, &CFolimDoc::thumbnailAdded);
  QSignalSpy loaded(&doc, &CFolimDoc::thumbnailsLoaded);
  doc.ListFolder(this->folder(temp));
  waitForPage();

  ASSERT_EQ(folder.count(), 1);
  EXPECT_EQ(folder.at(0).at(0).toString().toStdString(), temp.path());
  ASSERT_EQ(paging.count(), 1);
  EXPECT_EQ(paging.at(0).at(0).toInt(), 0);
  EXPECT_EQ(paging.at(0).at(1).toInt(), 2);
  EXPECT_EQ(cleared.count(), 1);
  ASSERT_EQ(added.count(), 50);
  for (int row = 0; row < 50; ++row) EXPECT_EQ(added.at(row).at(0).toInt(), row);
  EXPECT_EQ(added.at(49).at(1).toString(), "img049.jpg");
  EXPECT_EQ(added.at(0).at(2).value<QImage>().size(), QSize(96, 96));
  EXPECT_EQ(loaded.count(), 1);

  doc.ChoosePage(1);
  waitForPage();
  ASSERT_EQ(added.count(), 51);
  EXPECT_EQ(added.at(50).at(1).toString(), "img050.jpg");
  EXPECT_EQ(paging.last().at(0).toInt(), 1);
  // The entry count and the page count stay as the listing left them.
  EXPECT_EQ(doc.paging().entryCount, 51u);
  EXPECT_EQ(doc.paging().pageCount, 2);
}

TEST_F(DocumentTest, ARowOfTheSecondPageSelectsItsEntry) {
  writeUnreadableImages(temp.path(), 60, "img");
  doc.ListFolder(folder(temp));
  doc.ChoosePage(1);
  waitForPage();
  QSignalSpy current(&doc, &CFolimDoc::currentImageChanged);
  doc.SelectRow(2);
  ASSERT_EQ(current.count(), 1);
  EXPECT_EQ(doc.currentPath().toStdString(), temp.file("img052.jpg"));
  EXPECT_EQ(doc.CurrentEntry(), 52);
  // A row past the page selects nothing.
  doc.SelectRow(10);
  EXPECT_EQ(current.count(), 1);
}

TEST_F(DocumentTest, ThumbnailsOfAnAbandonedListingNeverArrive) {
  writeUnreadableImages(temp.path(), 40, "old");
  testing_support::TempDir other;
  writeUnreadableImages(other.path(), 3, "new");
  QSignalSpy added(&doc, &CFolimDoc::thumbnailAdded);
  doc.ListFolder(folder(temp));
  doc.ListFolder(folder(other));
  waitForPage();
  // Give stale results every chance to come in.
  QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
  EXPECT_EQ(captionsOf(added), (QStringList{"new000.jpg", "new001.jpg", "new002.jpg"}));
}

TEST_F(DocumentTest, ARankingReplacesTheListAndShowsRankAndScore) {
  writeUnreadableImages(temp.path(), 5, "img");
  doc.ListFolder(folder(temp));
  waitForPage();
  std::vector<ImageEntry> ranking(2);
  ranking[0].name = "img003.jpg";
  ranking[0].path = temp.file("img003.jpg");
  ranking[0].edgeSimilarity = 0.5;
  ranking[0].colorSimilarity = 1.0;
  ranking[0].score = 0.85;
  ranking[1].name = "img001.jpg";
  ranking[1].path = temp.file("img001.jpg");
  ranking[1].score = 0.25;
  QSignalSpy paging(&doc, &CFolimDoc::pagingChanged);
  QSignalSpy added(&doc, &CFolimDoc::thumbnailAdded);
  doc.ShowRanking(ranking);
  waitForPage();
  EXPECT_EQ(doc.entries().size(), 2u);
  EXPECT_EQ(doc.paging().entryCount, 2u);
  EXPECT_EQ(paging.count(), 1);
  EXPECT_EQ(captionsOf(added), (QStringList{"img003.jpg\n#1  0.850", "img001.jpg\n#2  0.250"}));
  EXPECT_EQ(added.at(0).at(3).toString().toStdString(),
            temp.file("img003.jpg") + "\nEdge 0.500000, colour 1.000000, total 0.850000");
}

TEST_F(DocumentTest, StepsThroughTheListingAcrossPages) {
  writeUnreadableImages(temp.path(), 52, "img");
  doc.ListFolder(folder(temp));
  waitForPage();
  doc.SelectRow(49);
  QSignalSpy paging(&doc, &CFolimDoc::pagingChanged);
  EXPECT_TRUE(doc.StepImage(1));
  EXPECT_EQ(doc.CurrentEntry(), 50);
  // The thumbnails follow onto the page of the image shown.
  EXPECT_EQ(doc.paging().page, 1);
  EXPECT_EQ(paging.count(), 1);
  EXPECT_TRUE(doc.StepImage(1));
  EXPECT_FALSE(doc.StepImage(1));
  EXPECT_EQ(doc.CurrentEntry(), 51);
  EXPECT_TRUE(doc.StepImage(-1));
  EXPECT_EQ(doc.currentPath().toStdString(), temp.file("img050.jpg"));
}

TEST_F(DocumentTest, RefreshListsTheFolderAgain) {
  writeUnreadableImages(temp.path(), 2, "img");
  doc.ListFolder(folder(temp));
  waitForPage();
  writeUnreadableImages(temp.path(), 3, "img");
  doc.Refresh();
  waitForPage();
  EXPECT_EQ(doc.entries().size(), 3u);
}

TEST_F(DocumentTest, TheWorkListIsTheListingUntilReleased) {
  writeUnreadableImages(temp.path(), 2, "img");
  doc.ListFolder(folder(temp));
  const std::vector<ListedImage> items = doc.TakeWorkList();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[1].path, temp.file("img001.jpg"));
  EXPECT_EQ(doc.convertNames(), (QStringList{"img000.jpg", "img001.jpg"}));
  doc.ReleaseWorkList();
  EXPECT_TRUE(doc.convertPaths().isEmpty());
}

TEST_F(DocumentTest, ThumbnailsOfThreadedLoadingKeepListOrder) {
  // Real pictures of different sizes: made at different speeds, shown in
  // list order all the same.
  for (int i = 0; i < 8; ++i) {
    QImage picture(40 + (7 - i) * 60, 30 + i * 20, QImage::Format_RGB32);
    picture.fill(qRgb(20 * i, 100, 200));
    ASSERT_TRUE(picture.save(QString::fromStdString(temp.file("p" + std::to_string(i) + ".png"))));
  }
  QSignalSpy added(&doc, &CFolimDoc::thumbnailAdded);
  doc.ListFolder(folder(temp));
  waitForPage();
  QStringList expected;
  for (int i = 0; i < 8; ++i) expected << QStringLiteral("p%1.png").arg(i);
  EXPECT_EQ(captionsOf(added), expected);
}

// --- The job runner

TEST(JobRunnerTest, ReportsInOrderThenEndsOnce) {
  CJobRunner runner;
  QSignalSpy running(&runner, &CJobRunner::runningChanged);
  QSignalSpy progress(&runner, &CJobRunner::progress);
  int ended = 0;
  bool wasCancelled = true;
  ASSERT_TRUE(runner.start(
      [](const CJobRunner::Control& control) {
        for (int i = 0; i < 5; ++i) control.report(i, 5, QString::number(i));
      },
      &runner,
      [&](bool cancelled) {
        ++ended;
        wasCancelled = cancelled;
      }));
  // One job at a time.
  EXPECT_FALSE(runner.start([](const CJobRunner::Control&) {}, &runner, [](bool) {}));
  ASSERT_TRUE(waitUntil([&] { return ended > 0; }));
  EXPECT_EQ(ended, 1);
  EXPECT_FALSE(wasCancelled);
  ASSERT_EQ(progress.count(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(progress.at(i).at(2).toString(), QString::number(i));
  ASSERT_EQ(running.count(), 2);
  EXPECT_TRUE(running.at(0).at(0).toBool());
  EXPECT_FALSE(running.at(1).at(0).toBool());
  EXPECT_FALSE(runner.isRunning());
}

TEST(JobRunnerTest, CancelStopsTheJobAndWaitingCallsItsEndOnce) {
  CJobRunner runner;
  std::atomic<int> steps{0};
  int ended = 0;
  bool wasCancelled = false;
  ASSERT_TRUE(runner.start(
      [&steps](const CJobRunner::Control& control) {
        while (!control.isCancelled()) {
          ++steps;
          QThread::msleep(2);
        }
      },
      &runner,
      [&](bool cancelled) {
        ++ended;
        wasCancelled = cancelled;
      }));
  ASSERT_TRUE(waitUntil([&] { return steps > 0; }));
  runner.cancel();
  runner.waitForDone();
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(wasCancelled);
  EXPECT_FALSE(runner.isRunning());
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(ended, 1);
}

TEST(JobRunnerTest, AbandonedJobEndsWithoutItsCompletion) {
  CJobRunner runner;
  int ended = 0;
  ASSERT_TRUE(runner.start(
      [](const CJobRunner::Control& control) {
        while (!control.isCancelled()) QThread::msleep(2);
      },
      &runner, [&](bool) { ++ended; }));
  runner.abandon();
  QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(ended, 0);
  EXPECT_FALSE(runner.isRunning());
}

TEST_F(DocumentTest, BusyWhileAJobRuns) {
  QSignalSpy busy(&doc, &CFolimDoc::busyChanged);
  bool ended = false;
  doc.jobs().start([](const CJobRunner::Control&) {}, &doc, [&](bool) { ended = true; });
  EXPECT_TRUE(doc.IsBusy());
  ASSERT_TRUE(waitUntil([&] { return ended; }));
  EXPECT_FALSE(doc.IsBusy());
  ASSERT_EQ(busy.count(), 2);
}

}  // namespace
