// Where the window starts, and what an empty list tells the user to do.
#include <gtest/gtest.h>

#include <QDir>
#include <memory>
#include <string>

#include "core_application.h"
#include "shell/folim_doc.h"
#include "shell/start_folder.h"
#include "support/qt_events.h"
#include "support/test_support.h"

namespace {

enum class Last { None, Exists, Gone };

struct StartCase {
  const char* name;
  Last last;
  bool picturesExists;
  const char* chosen;  // "last", "pictures" or "home"
};

const StartCase kStarts[] = {
    {"last session's folder", Last::Exists, true, "last"},
    {"first start", Last::None, true, "pictures"},
    {"last folder gone", Last::Gone, true, "pictures"},
    {"no pictures folder", Last::None, false, "home"},
    {"last folder gone, no pictures folder", Last::Gone, false, "home"},
    {"last folder without pictures folder", Last::Exists, false, "last"},
};

TEST(StartFolderTest, LastFolderElsePicturesElseHome) {
  for (const StartCase& c : kStarts) {
    SCOPED_TRACE(c.name);
    testing_support::TempDir temp;
    const QString home = QString::fromStdString(temp.path());
    const QString last = home + "/last";
    const QString pictures = home + "/Pictures";
    if (c.last == Last::Exists) QDir().mkpath(last);
    if (c.picturesExists) QDir().mkpath(pictures);
    const std::string chosen = c.chosen;
    const QString expected = chosen == "last" ? last : chosen == "pictures" ? pictures : home;
    EXPECT_EQ(ChooseStartFolder(c.last == Last::None ? QString() : last, pictures, home), expected);
  }
  EXPECT_NE(StartFolder(QString()), "/");
  EXPECT_FALSE(StartFolder(QString()).isEmpty());
}

TEST(EmptyListHintTest, SaysWhatToDoForEachEmptyList) {
  testing_support::TempDir empty;
  testing_support::TempDir pictures;
  testing_support::writeUnreadableImages(pictures.path(), 2, "img");
  const QString emptyDir = QString::fromStdString(empty.path());
  CFolimDoc doc;
  // Nothing listed yet: choose, drop, search.
  const QString start = doc.EmptyListHint();
  EXPECT_TRUE(start.contains("folder")) << start.toStdString();
  EXPECT_TRUE(start.contains("drop")) << start.toStdString();
  EXPECT_TRUE(start.contains("Search")) << start.toStdString();
  // A folder without pictures is named, and sub-folders are offered.
  doc.ListFolder(emptyDir);
  const QString none = doc.EmptyListHint();
  EXPECT_TRUE(none.contains(QDir::toNativeSeparators(emptyDir))) << none.toStdString();
  EXPECT_TRUE(none.contains("sub-folders")) << none.toStdString();
  EXPECT_NE(none, start);
  doc.SetIncludeSubDirs(true);
  EXPECT_NE(doc.EmptyListHint(), none);
  EXPECT_TRUE(doc.EmptyListHint().contains(QDir::toNativeSeparators(emptyDir)));
  // A listed picture needs no hint.
  doc.ListFolder(QString::fromStdString(pictures.path()));
  EXPECT_TRUE(doc.EmptyListHint().isEmpty());
  ASSERT_TRUE(testing_support::waitUntil([&] { return !doc.IsLoadingThumbnails(); }));
  // An empty ranking says so.
  doc.ShowRanking({});
  EXPECT_TRUE(doc.EmptyListHint().contains("search again"));
}

}  // namespace
