#include "imageio/file_kind.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(FileKind, EveryExtensionOfTheTable) {
  const std::pair<const char*, int> table[] = {
      {"a.bmp", 1},  {"a.gif", 2},  {"a.jpg", 3},  {"a.jpeg", 3}, {"a.png", 4},  {"a.ico", 5},
      {"a.tif", 6},  {"a.tiff", 6}, {"a.tga", 7},  {"a.pcx", 8},  {"a.wmf", 10}, {"a.emf", 10},
      {"a.j2k", 11}, {"a.jp2", 11}, {"a.j2c", 12}, {"a.jpc", 12}, {"a.pgx", 13}, {"a.pnm", 14},
      {"a.pgm", 14}, {"a.ppm", 14}, {"a.ras", 15}, {"a.rim", 16}, {"a.webp", 0}, {"a.xpm", 0},
  };
  for (const auto& [name, kind] : table) EXPECT_EQ(GetFileKind(name), kind) << name;
}

TEST(FileKind, CaseIsIgnoredAndNoDotIsNeeded) {
  EXPECT_EQ(GetFileKind("Photo.JPG"), 3);
  EXPECT_EQ(GetFileKind("x.jpeg"), 3);
  EXPECT_EQ(GetFileKind("scan.TIFF"), 6);
  EXPECT_EQ(GetFileKind("IMAGE.RiM"), 16);
  // Only the last letters count.
  EXPECT_EQ(GetFileKind("a.wbmp"), 1);
  EXPECT_EQ(GetFileKind("trim"), 16);
  EXPECT_EQ(GetFileKind("/some/dir.rim/readme.txt"), 0);
  EXPECT_EQ(GetFileKind("photo.jpeg.bak"), 0);
}

TEST(FileKind, ShortNamesAreComparedWhole) {
  EXPECT_EQ(GetFileKind(""), 0);
  EXPECT_EQ(GetFileKind("a"), 0);
  EXPECT_EQ(GetFileKind("im"), 0);
  EXPECT_EQ(GetFileKind("readme.txt"), 0);
  // Exactly three letters is a whole-name match.
  EXPECT_EQ(GetFileKind("png"), 4);
  EXPECT_EQ(GetFileKind("peg"), 0);
}

TEST(FileKind, TheWindowListsEveryFormatQtReadsAndRim) {
  const std::vector<std::string>& readable = readableImageExtensions();
  for (const char* extension : {"webp", "tif", "tiff", "gif", "png", "bmp", "jpg", "jpeg"})
    EXPECT_NE(std::find(readable.begin(), readable.end(), extension), readable.end()) << extension;
  // Lower case, sorted, each once: looked up by binary search.
  EXPECT_TRUE(std::is_sorted(readable.begin(), readable.end()));
  EXPECT_EQ(std::adjacent_find(readable.begin(), readable.end()), readable.end());
  const std::pair<const char*, bool> table[] = {
      {"a.webp", true}, {"A.WEBP", true},      {"a.TIFF", true}, {"a.gif", true},
      {"a.png", true},  {"a.bmp", true},       {"a.jpeg", true}, {"a.Jpg", true},
      {"a.rim", true},  {"a.pcx", true},       {"a.txt", false}, {"webp", false},
      {"a.", false},    {"a.webp.bak", false}, {"notes", false}, {"", false},
  };
  for (const auto& [name, listed] : table) EXPECT_EQ(IsImageFileName(name), listed) << name;
}
