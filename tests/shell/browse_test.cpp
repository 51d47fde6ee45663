// Finding one's way in a folder and knowing what a picture is: every format
// listed, the list sorted and filtered and paged in that order, dates taken
// read only when asked, the information panel, long names cut in the middle.
#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStandardItemModel>
#include <filesystem>
#include <utility>

#include "shell/folim_doc.h"
#include "shell/image_info.h"
#include "shell/info_panel.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/sort_bar.h"
#include "shell_fixture.h"
#include "support/exif_tags.h"

namespace shell_testing {
namespace {

std::vector<std::string> fileNames(const CFolimDoc& doc) {
  std::vector<std::string> names;
  for (const ImageEntry& e : doc.entries())
    names.push_back(std::filesystem::path(e.path).filename().string());
  return names;
}

class BrowseTest : public ShellTest {
 protected:
  // The order chosen stays with these tests, not the next ones.
  void TearDown() override {
    QSettings().remove(QStringLiteral("browse"));
    ShellTest::TearDown();
  }
  // A small picture followed by extra bytes (which readers pass over), so
  // that file sizes are known.
  void writeSized(const std::string& name, int extraBytes) {
    const std::string path = temp.file(name);
    writeImage(path, 12, 8);
    testing_support::writeFileBytes(
        path, testing_support::readFileBytes(path) + std::string(extraBytes, '\0'));
  }
  void setOrder(SortKey key, bool descending = false, const char* filter = "") {
    ListOrder order;
    order.key = key;
    order.descending = descending;
    order.filter = QString::fromUtf8(filter);
    ASSERT_TRUE(doc->SetOrder(order));
    ASSERT_TRUE(waitUntil([this] { return !doc->IsReadingDates(); }));
    waitForThumbnails();
  }
  // A copy of an example photograph with the EXIF a camera would write.
  void writePhotograph(const std::string& name, const char* taken) {
    const std::string path = temp.file(name);
    // Written again, without the EXIF the example came with.
    const QImage photo(QString::fromStdString(testing_support::examplesPath("dune.jpg")));
    ASSERT_TRUE(photo.save(QString::fromStdString(path), "JPEG", 90));
    testing_support::writeExifTags(path, {{"Exif.Image.Make", "NIKON CORPORATION"},
                                          {"Exif.Image.Model", "NIKON D750"},
                                          {"Exif.Photo.DateTimeOriginal", taken},
                                          {"Exif.Photo.ExposureTime", "1/250"},
                                          {"Exif.Photo.ISOSpeedRatings", "400"}});
  }
};

TEST_F(BrowseTest, EveryFormatQtReadsIsListedWithRim) {
  const QImage picture(QString::fromStdString(testing_support::examplesPath("dune.jpg")));
  for (const char* format : {"webp", "tiff", "png", "bmp", "jpg"}) {
    const std::string path = temp.file(std::string("picture.") + format);
    ASSERT_TRUE(picture.scaledToWidth(120).save(QString::fromStdString(path), format)) << format;
  }
  // Qt reads GIF but does not write it.
  std::filesystem::copy_file(testing_support::examplesPath("yellowflower.gif"),
                             temp.file("picture.gif"));
  writeRimFile(temp.file("picture.rim"), 40, 32, false);
  testing_support::writeFileBytes(temp.file("notes.txt"), "not listed");
  chooseFolder(temp.path());
  EXPECT_EQ(fileNames(*doc),
            (std::vector<std::string>{"picture.bmp", "picture.gif", "picture.jpg", "picture.png",
                                      "picture.rim", "picture.tiff", "picture.webp"}));
  // Each has its thumbnail.
  EXPECT_EQ(list()->count(), 7);
  EXPECT_TRUE(messages.isEmpty()) << messages.join(QLatin1Char('|')).toStdString();
}

TEST_F(BrowseTest, NamesSortNaturallyAndPagesFollowTheOrder) {
  // 60 pictures whose sizes run against their names.
  for (int i = 1; i <= 60; ++i) {
    writeSized("img" + std::to_string(i) + ".png", (60 - i) * 100);
  }
  chooseFolder(temp.path());
  ASSERT_EQ(doc->entries().size(), 60u);
  EXPECT_EQ(fileNames(*doc)[1], "img2.png");
  EXPECT_EQ(fileNames(*doc)[9], "img10.png");
  EXPECT_EQ(fileNames(*doc)[59], "img60.png");
  EXPECT_EQ(doc->paging().pageCount, 2);

  setOrder(SortKey::Size, true);
  // The largest files first; the first page holds the 50 largest.
  std::vector<std::uintmax_t> sizes;
  for (const ImageEntry& e : doc->entries()) sizes.push_back(std::filesystem::file_size(e.path));
  EXPECT_TRUE(std::is_sorted(sizes.rbegin(), sizes.rend()));
  EXPECT_EQ(doc->paging().page, 0);
  EXPECT_EQ(list()->count(), 50);
  EXPECT_EQ(list()->item(0)->text(), QStringLiteral("img1.png"));

  // A filter keeps the order and pages what passes it.
  setOrder(SortKey::Name, true, "IMG1");
  EXPECT_EQ(fileNames(*doc),
            (std::vector<std::string>{"img19.png", "img18.png", "img17.png", "img16.png",
                                      "img15.png", "img14.png", "img13.png", "img12.png",
                                      "img11.png", "img10.png", "img1.png"}));
  EXPECT_EQ(doc->paging().pageCount, 1);
  EXPECT_EQ(list()->count(), 11);
  // The listing itself stays whole.
  EXPECT_EQ(doc->listing().size(), 60u);
}

TEST_F(BrowseTest, TheScoreIsThereToSortByOnlyWhileARankingIsShown) {
  for (const char* name : {"x.png", "y.png"}) writeImage(temp.file(name), 20, 20);
  chooseFolder(temp.path());
  const CSortBar* bar = frame->sortBar();
  auto* keys = qobject_cast<QStandardItemModel*>(bar->sortCombo()->model());
  ASSERT_NE(keys, nullptr);
  EXPECT_FALSE(bar->sortActions().last()->isEnabled());
  EXPECT_FALSE(keys->item(4)->isEnabled());

  std::vector<ImageEntry> ranking = doc->listing();
  ranking[0].score = 0.2;
  ranking[1].score = 0.9;
  std::swap(ranking[0], ranking[1]);  // best first
  doc->ShowRanking(ranking);
  waitForThumbnails();
  EXPECT_EQ(bar->sortCombo()->currentText(), QStringLiteral("Score"));
  EXPECT_TRUE(bar->sortActions().last()->isEnabled());
  EXPECT_TRUE(bar->sortActions().last()->isChecked());
  EXPECT_TRUE(keys->item(4)->isEnabled());
  EXPECT_EQ(list()->item(0)->text(), QStringLiteral("y.png\n#1  0.900"));

  doc->SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_EQ(bar->sortCombo()->currentText(), QStringLiteral("Name"));
  EXPECT_FALSE(bar->sortActions().last()->isEnabled());
}
TEST_F(BrowseTest, TheSortBarHandsTheChoiceToTheDocumentAndRemembersIt) {
  for (int i = 0; i < 4; ++i) writeSized("s" + std::to_string(i) + ".png", i * 100);
  chooseFolder(temp.path());
  CSortBar* bar = frame->sortBar();
  bar->sortCombo()->setCurrentIndex(3);  // Size
  emit bar->sortCombo()->activated(3);
  ASSERT_TRUE(waitUntil([this] { return doc->order().key == SortKey::Size; }));
  bar->descendingAction()->trigger();
  EXPECT_TRUE(doc->order().descending);
  EXPECT_EQ(fileNames(*doc).front(), "s3.png");
  EXPECT_EQ(QSettings().value(QStringLiteral("browse/sort")).toInt(), 3);
  EXPECT_TRUE(QSettings().value(QStringLiteral("browse/descending")).toBool());

  bar->filterEdit()->setText(QStringLiteral("s1"));
  emit bar->filterEdit()->returnPressed();
  EXPECT_EQ(fileNames(*doc), (std::vector<std::string>{"s1.png"}));
  EXPECT_EQ(bar->countLabel()->text(), QStringLiteral("1 of 4 pictures"));
  bar->filterEdit()->clear();
  ASSERT_TRUE(waitUntil([this] { return doc->entries().size() == 4; }));
  EXPECT_EQ(bar->countLabel()->text(), QStringLiteral("4 pictures"));

  // A new window starts in the order last chosen.
  CMainFrame again(*doc, nullptr);
  EXPECT_EQ(again.sortBar()->sortCombo()->currentIndex(), 3);
  EXPECT_TRUE(again.sortBar()->descendingAction()->isChecked());
}

TEST_F(BrowseTest, ThePanelShowsTheDateTakenAndCameraOfThePhotograph) {
  writePhotograph("photo.jpg", "2021:07:14 09:30:05");
  writeRimFile(temp.file("coded.rim"), 40, 32, true);
  chooseFolder(temp.path());
  CInfoPanel* panel = frame->infoPanel();
  frame->show();
  ASSERT_FALSE(panel->isVisible());
  // Nothing is read while the panel is hidden.
  doc->SelectImage(QString::fromStdString(temp.file("photo.jpg")));
  EXPECT_TRUE(panel->info()->rows().isEmpty());

  panel->toggleViewAction()->trigger();
  ASSERT_TRUE(waitUntil([panel] { return panel->isVisible(); }));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Date taken")), QStringLiteral("2021-07-14 09:30:05"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Camera")), QStringLiteral("NIKON D750"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Exposure time")), QStringLiteral("1/250 s"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("ISO")), QStringLiteral("400"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Name")), QStringLiteral("photo.jpg"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Format")), QStringLiteral("JPEG"));

  doc->SelectImage(QString::fromStdString(temp.file("coded.rim")));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Format")), QStringLiteral("RIM"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Bases")), QStringLiteral("ICA"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Dimensions")),
            QStringLiteral("40 × 32 pixels (0.0013 megapixels)"));
  EXPECT_EQ(panel->valueOf(QStringLiteral("Date taken")), QString());
  EXPECT_NE(panel->valueOf(QStringLiteral("Coefficients section")), QString());
}

TEST(Captions, LongNamesAreCutInTheMiddle) {
  ensureApplication();
  const QFontMetrics metrics{QFont()};
  const QString name = QStringLiteral("holiday-in-the-mountains-with-everyone-day-3-0042");
  const int width = metrics.horizontalAdvance(QStringLiteral("holiday-in-the-mo"));
  const QString shown = ElideCaption(name + QStringLiteral("\n#1  0.950"), metrics, width);
  const QStringList lines = shown.split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 2);
  EXPECT_LE(metrics.horizontalAdvance(lines[0]), width);
  // Both ends stay: where the name starts and the part that tells it apart.
  EXPECT_TRUE(lines[0].startsWith(QStringLiteral("holi"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].endsWith(QStringLiteral("042"))) << lines[0].toStdString();
  EXPECT_TRUE(lines[0].contains(QChar(0x2026)));
  EXPECT_EQ(lines[1], QStringLiteral("#1  0.950"));
  // A name that fits is left whole.
  EXPECT_EQ(ElideCaption(QStringLiteral("p1"), metrics, width), QStringLiteral("p1"));
}

}  // namespace
}  // namespace shell_testing
