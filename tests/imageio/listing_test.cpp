#include "imageio/listing.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace {

std::vector<std::string> names(const std::vector<ListedImage>& list) {
  std::vector<std::string> out;
  for (const ListedImage& item : list) out.push_back(item.name);
  return out;
}

}  // namespace

TEST(Listing, ImageNamesOnlyInCaseInsensitiveOrderLowerCased) {
  TempDir dir;
  for (const char* name : {"b.PNG", "A.jpg", "c.txt", "readme", "Z.rim", "trim", "d.Tiff"})
    writeFileBytes(dir.file(name), "x");
  std::filesystem::create_directory(dir.file("folder.jpg"));  // a folder is never an image
  const std::vector<ListedImage> list = listImageFiles(dir.path(), false);
  EXPECT_EQ(names(list), (std::vector<std::string>{"a.jpg", "b.png", "d.tiff", "trim", "z.rim"}));
  // The path keeps the name as found on disk.
  ASSERT_EQ(list.size(), 5u);
  EXPECT_EQ(list[0].path, dir.file("A.jpg"));
  EXPECT_EQ(list[4].path, dir.file("Z.rim"));
}

TEST(Listing, RecursiveListsSubfoldersDepthFirstWhereTheyStand) {
  TempDir dir;
  std::filesystem::create_directories(dir.file("m/inner"));
  writeFileBytes(dir.file("a.bmp"), "x");
  writeFileBytes(dir.file("z.bmp"), "x");
  writeFileBytes(dir.file("m/b.bmp"), "x");
  writeFileBytes(dir.file("m/inner/a.bmp"), "x");
  writeFileBytes(dir.file("m/n.gif"), "x");
  EXPECT_EQ(names(listImageFiles(dir.path(), false)), (std::vector<std::string>{"a.bmp", "z.bmp"}));
  const std::vector<ListedImage> all = listImageFiles(dir.path(), true);
  EXPECT_EQ(names(all), (std::vector<std::string>{"a.bmp", "b.bmp", "a.bmp", "n.gif", "z.bmp"}));
  EXPECT_EQ(all[2].path, dir.file("m/inner/a.bmp"));
}

TEST(Listing, SymbolicLinkLoopsEndAndMissingFoldersListNothing) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("sub"));
  writeFileBytes(dir.file("sub/a.png"), "x");
  std::filesystem::create_directory_symlink(dir.path(), dir.file("sub/loop"));
  const std::vector<ListedImage> all = listImageFiles(dir.path(), true);
  EXPECT_EQ(names(all), (std::vector<std::string>{"a.png"}));
  EXPECT_TRUE(listImageFiles(dir.file("missing"), true).empty());
  EXPECT_TRUE(listImageFiles(dir.file("sub/a.png"), false).empty());
}

TEST(Listing, TheWindowListsEveryReadableFormatTheBatchJobsTheirKindsOnly) {
  TempDir dir;
  for (const char* name : {"a.webp", "b.tif", "c.gif", "d.png", "e.bmp", "f.JPG", "g.rim", "h.txt"})
    writeFileBytes(dir.file(name), "x");
  EXPECT_EQ(
      names(listImageFiles(dir.path(), false, nullptr, ListedNames::Readable)),
      (std::vector<std::string>{"a.webp", "b.tif", "c.gif", "d.png", "e.bmp", "f.jpg", "g.rim"}));
  // What the conversions take stays as it was: WebP is not one of the kinds.
  EXPECT_EQ(names(listImageFiles(dir.path(), false)),
            (std::vector<std::string>{"b.tif", "c.gif", "d.png", "e.bmp", "f.jpg", "g.rim"}));
  const std::vector<ImageEntry> entries =
      listImageEntries(dir.path(), false, ListedNames::Readable);
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[0].path, dir.file("a.webp"));
}
