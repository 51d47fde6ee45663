// Which files of a folder the document lists, in which order, and with which
// names.
#include <filesystem>

#include "shell/folim_doc.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

class ListingTest : public ::testing::Test {
 protected:
  void SetUp() override { ensureApplication(); }

  std::vector<std::string> names() const {
    std::vector<std::string> r;
    for (const ImageEntry& e : doc.entries()) r.push_back(e.name);
    return r;
  }

  testing_support::TempDir temp;
  CFolimDoc doc;
};

TEST_F(ListingTest, ImageFilesOnlyWithLowerCaseNames) {
  for (const char* name : {"a.JPG", "b.rim", "notes.txt"}) {
    testing_support::writeFileBytes(temp.file(name), "x");
  }
  doc.SetDirectory(QString::fromStdString(temp.path()));
  ASSERT_EQ(doc.entries().size(), 2u);
  EXPECT_EQ(doc.entries()[0].name, "a.jpg");
  EXPECT_EQ(doc.entries()[0].path, temp.file("a.JPG"));
  EXPECT_EQ(doc.entries()[1].name, "b.rim");
  EXPECT_EQ(doc.entries()[1].path, temp.file("b.rim"));
  for (const ImageEntry& e : doc.entries()) {
    EXPECT_EQ(e.baseType, 99);
    EXPECT_EQ(e.edgeSimilarity, 0.0);
    EXPECT_EQ(e.colorSimilarity, 0.0);
    EXPECT_EQ(e.score, 0.0);
  }
  EXPECT_EQ(doc.currentDir().toStdString(), temp.path());
}

TEST_F(ListingTest, OrderIgnoresLetterCase) {
  for (const char* name : {"b.png", "C.bmp", "a.gif", "B2.tif"}) {
    testing_support::writeFileBytes(temp.file(name), "x");
  }
  doc.SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_EQ(names(), (std::vector<std::string>{"a.gif", "b.png", "b2.tif", "c.bmp"}));
}

TEST_F(ListingTest, SubfoldersOnlyWhenAsked) {
  std::filesystem::create_directories(temp.file("inner/deeper"));
  testing_support::writeFileBytes(temp.file("a.jpg"), "x");
  testing_support::writeFileBytes(temp.file("inner/b.jpg"), "x");
  testing_support::writeFileBytes(temp.file("inner/deeper/c.rim"), "x");
  testing_support::writeFileBytes(temp.file("z.png"), "x");

  doc.SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_EQ(names(), (std::vector<std::string>{"a.jpg", "z.png"}));

  doc.SetIncludeSubDirs(true);
  doc.SetDirectory(QString::fromStdString(temp.path()));
  // Depth first: a folder's whole subtree comes where the folder's name sorts.
  EXPECT_EQ(names(), (std::vector<std::string>{"a.jpg", "b.jpg", "c.rim", "z.png"}));
  EXPECT_EQ(doc.entries()[2].path, temp.file("inner/deeper/c.rim"));
}

TEST_F(ListingTest, SettingADirectoryReplacesTheListing) {
  testing_support::writeFileBytes(temp.file("a.jpg"), "x");
  doc.SetDirectory(QString::fromStdString(temp.path()));
  doc.SetDirectory(QString::fromStdString(temp.path()));
  EXPECT_EQ(doc.entries().size(), 1u);
  doc.SetDirectory(QString::fromStdString(temp.file("missing")));
  EXPECT_TRUE(doc.entries().empty());
}

}  // namespace
}  // namespace shell_testing
