// The order and filter of the document's list without any window: the page
// of the current picture after sorting, dates taken read in the background
// only when that order is chosen, and a ranking's ranks kept in any order.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <filesystem>
#include <string>
#include <vector>

#include "core_application.h"
#include "shell/folim_doc.h"
#include "support/exif_tags.h"
#include "support/test_support.h"

using testing_support::waitUntil;

namespace {

class DocumentOrderTest : public ::testing::Test {
 protected:
  std::vector<std::string> fileNames() const {
    std::vector<std::string> names;
    for (const ImageEntry& e : doc.entries())
      names.push_back(std::filesystem::path(e.path).filename().string());
    return names;
  }
  void waitForPage() {
    ASSERT_TRUE(waitUntil([&] { return !doc.IsReadingDates() && !doc.IsLoadingThumbnails(); }));
  }
  // A small PNG followed by extra bytes (which readers pass over), so that
  // file sizes are known.
  void writeSized(const std::string& name, int extraBytes) {
    QImage picture(12, 8, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const std::string path = temp.file(name);
    ASSERT_TRUE(picture.save(QString::fromStdString(path), "PNG"));
    testing_support::writeFileBytes(
        path, testing_support::readFileBytes(path) + std::string(extraBytes, '\0'));
  }
  // An example photograph without EXIF of its own, then the camera's.
  void writePhotograph(const std::string& name, const char* taken) {
    const std::string path = temp.file(name);
    const QImage photo(QString::fromStdString(testing_support::examplesPath("dune.jpg")));
    ASSERT_TRUE(photo.save(QString::fromStdString(path), "JPEG", 90));
    testing_support::writeExifTags(path, {{"Exif.Photo.DateTimeOriginal", taken}});
  }
  static ListOrder orderBy(SortKey key, bool descending = false) {
    ListOrder order;
    order.key = key;
    order.descending = descending;
    return order;
  }

  CFolimDoc doc;
  testing_support::TempDir temp;
};

TEST_F(DocumentOrderTest, TheCurrentPicturesPageIsShownAfterSorting) {
  for (int i = 0; i < 60; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%02d.png", i);
    writeSized(name, i * 100);
  }
  doc.ListFolder(QString::fromStdString(temp.path()));
  waitForPage();
  doc.SelectImage(QString::fromStdString(temp.file("p03.png")));
  QSignalSpy paged(&doc, &CFolimDoc::pagingChanged);
  ASSERT_TRUE(doc.SetOrder(orderBy(SortKey::Size, true)));
  waitForPage();
  // p03 is the 57th largest: on the second page.
  EXPECT_EQ(doc.paging().page, 1);
  ASSERT_EQ(paged.size(), 1);
  EXPECT_EQ(paged.at(0).at(0).toInt(), 1);
  EXPECT_EQ(doc.currentPath().toStdString(), temp.file("p03.png"));
  EXPECT_EQ(doc.entries()[56].path, temp.file("p03.png"));
  EXPECT_EQ(doc.CurrentEntry(), 56);
  // Stepping follows the order shown.
  EXPECT_EQ(fileNames()[57], "p02.png");
}

TEST_F(DocumentOrderTest, DatesTakenAreReadOnlyWhenThatOrderIsChosen) {
  writePhotograph("a.jpg", "2021:05:01 10:00:00");
  writePhotograph("b.jpg", "2019:12:24 18:30:00");
  writePhotograph("c.jpg", "2020:06:15 07:45:00");
  doc.ListFolder(QString::fromStdString(temp.path()));
  EXPECT_FALSE(doc.IsReadingDates());
  waitForPage();
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"a.jpg", "b.jpg", "c.jpg"}));

  QSignalSpy listed(&doc, &CFolimDoc::listChanged);
  ASSERT_TRUE(doc.SetOrder(orderBy(SortKey::DateTaken)));
  // Read in the background; nothing is shown in a wrong order meanwhile.
  EXPECT_TRUE(doc.IsReadingDates());
  EXPECT_TRUE(doc.entries().empty());
  waitForPage();
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"b.jpg", "c.jpg", "a.jpg"}));
  ASSERT_EQ(listed.size(), 2);
  EXPECT_EQ(listed.at(0).at(0).toInt(), 0);
  EXPECT_EQ(listed.at(1).at(0).toInt(), 3);

  // Known dates are not read again: the next listing sorts at once...
  doc.SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_FALSE(doc.IsReadingDates());
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"b.jpg", "c.jpg", "a.jpg"}));
  // ...unless the file changed since.
  writePhotograph("b.jpg", "2022:01:01 00:00:00");
  std::filesystem::last_write_time(
      temp.file("b.jpg"),
      std::filesystem::last_write_time(temp.file("b.jpg")) + std::chrono::seconds(5));
  doc.SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_TRUE(doc.IsReadingDates());
  waitForPage();
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"c.jpg", "a.jpg", "b.jpg"}));
}

TEST_F(DocumentOrderTest, ARankingKeepsItsRanksInAnyOrderAndAFolderItsOwnOrder) {
  for (const char* name : {"x.png", "y.png", "z.png"}) writeSized(name, 0);
  doc.ListFolder(QString::fromStdString(temp.path()));
  waitForPage();
  ASSERT_TRUE(doc.SetOrder(orderBy(SortKey::Size, true)));
  EXPECT_FALSE(doc.SetOrder(orderBy(SortKey::Score, true)));  // no ranking yet

  std::vector<ImageEntry> ranking = doc.listing();
  ranking[0].score = 0.2;  // x
  ranking[1].score = 0.9;  // y
  ranking[2].score = 0.5;  // z
  std::swap(ranking[0], ranking[1]);
  std::swap(ranking[1], ranking[2]);
  doc.ShowRanking(ranking);
  waitForPage();
  EXPECT_EQ(doc.order().key, SortKey::Score);
  EXPECT_EQ(fileNames(), (std::vector<std::string>{"y.png", "z.png", "x.png"}));

  // Sorted otherwise (equal sizes: by name), each caption still tells its
  // rank in the ranking.
  QSignalSpy added(&doc, &CFolimDoc::thumbnailAdded);
  ASSERT_TRUE(doc.SetOrder(orderBy(SortKey::Size)));
  waitForPage();
  ASSERT_EQ(added.size(), 3);
  EXPECT_EQ(added.at(0).at(1).toString(), QStringLiteral("x.png\n#3  0.200"));
  EXPECT_EQ(added.at(1).at(1).toString(), QStringLiteral("y.png\n#1  0.900"));
  EXPECT_EQ(added.at(2).at(1).toString(), QStringLiteral("z.png\n#2  0.500"));

  // Listing the folder again leaves the score for the order last chosen.
  ASSERT_TRUE(doc.SetOrder(orderBy(SortKey::Score, true)));
  doc.SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_EQ(doc.order().key, SortKey::Size);
  EXPECT_FALSE(doc.order().descending);
  EXPECT_FALSE(doc.isRanking());
}

}  // namespace
