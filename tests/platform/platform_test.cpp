#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/atomic_file.h"
#include "platform/clock.h"
#include "platform/directory.h"
#include "platform/ini.h"
#include "platform/paths.h"
#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

TEST(Ini, StringReaderCutsToTheBuffer) {
  TempDir dir;
  writeFileBytes(dir.file("a.ini"), "[S]\nkey = abcdef\n");
  EXPECT_EQ(platform::iniGetString("s", "KEY", "ERR", 4, dir.file("a.ini")), "abc");
  EXPECT_EQ(platform::iniGetString("S", "missing", "ERR", 4, dir.file("a.ini")), "ERR");
  EXPECT_EQ(platform::iniGetString("S", "missing", "ERR", 3, dir.file("a.ini")), "ER");
  EXPECT_EQ(platform::iniGetString("S", "key", "ERR", 100, "/nonexistent.ini"), "ERR");
}

TEST(Ini, IntegerReaderLikeTheWindowsOne) {
  TempDir dir;
  writeFileBytes(dir.file("a.ini"),
                 "[N]\nplain=42\nneg=-7\nlead=12abc\ntext=abc\nempty=\nbig=4294967297\n"
                 "[N]\nplain=99\n");
  const std::string p = dir.file("a.ini");
  EXPECT_EQ(platform::iniGetInt("N", "plain", -1, p), 42);  // first occurrence wins
  EXPECT_EQ(platform::iniGetInt("N", "neg", -1, p), -7);
  EXPECT_EQ(platform::iniGetInt("N", "lead", -1, p), 12);
  EXPECT_EQ(platform::iniGetInt("N", "text", -1, p), 0);
  EXPECT_EQ(platform::iniGetInt("N", "empty", -1, p), 0);
  EXPECT_EQ(platform::iniGetInt("N", "big", -1, p), 1);  // wraps like a C conversion
  EXPECT_EQ(platform::iniGetInt("N", "none", -1, p), -1);
  EXPECT_EQ(platform::iniGetInt("Other", "plain", 5, p), 5);
}

TEST(Ini, BlanksAroundNamesAndValuesAreTrimmed) {
  TempDir dir;
  // Tabs and spaces around section names, keys and values, as hand-edited
  // files have them, with Windows line ends.
  writeFileBytes(dir.file("a.ini"),
                 "[ Learning\t]\r\n\tMaxIterations\t= 25\t \r\n name =\t x y\t\r\n");
  const std::string p = dir.file("a.ini");
  EXPECT_EQ(platform::iniGetInt("learning", "maxiterations", -1, p), 25);
  EXPECT_EQ(platform::iniGetString("Learning", "name", "ERR", 100, p), "x y");
}

// A key is looked for in its own section only: one that section lacks is
// missing, whatever the sections after it hold.
TEST(Ini, AKeyMissingFromItsSectionIsNotTakenFromALaterOne) {
  TempDir dir;
  writeFileBytes(dir.file("a.ini"), "[A]\nx=1\n[B]\ny=2\n[a]\nz=3\n[C]\nw=4\n");
  const std::string p = dir.file("a.ini");
  EXPECT_EQ(platform::iniGetInt("A", "y", -1, p), -1);
  EXPECT_EQ(platform::iniGetInt("A", "w", -1, p), -1);
  EXPECT_EQ(platform::iniGetInt("B", "w", -1, p), -1);
  EXPECT_EQ(platform::iniGetInt("A", "z", -1, p), 3);  // the section again, by another case
  EXPECT_EQ(platform::iniGetInt("C", "x", -1, p), -1);
}

TEST(Directory, ListsCaseInsensitivelyByName) {
  TempDir dir;
  writeFileBytes(dir.file("b.jpg"), "x");
  writeFileBytes(dir.file("A.png"), "x");
  writeFileBytes(dir.file("C.rim"), "x");
  std::filesystem::create_directory(dir.file("a-sub"));
  const auto entries = platform::listDirectory(dir.path());
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].name, "a-sub");  // '-' sorts before '.'
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_EQ(entries[1].name, "A.png");
  EXPECT_EQ(entries[2].name, "b.jpg");
  EXPECT_EQ(entries[3].name, "C.rim");
  EXPECT_EQ(entries[3].path, dir.path() + "/C.rim");
  EXPECT_TRUE(platform::listDirectory(dir.file("missing")).empty());
  EXPECT_EQ(platform::joinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(platform::joinPath("/a", "b"), "/a/b");
}

TEST(AtomicFile, AppearsWholeOrNotAtAll) {
  TempDir dir;
  const std::string target = dir.file("out.bin");
  writeFileBytes(target, "old");
  {
    platform::AtomicFile f(target);
    ASSERT_TRUE(f.open());
    std::fputs("new contents", f.file());
    EXPECT_EQ(readFileBytes(target), "old");  // untouched until committed
    // Dropped without commit: the old file stays, no temporary is left.
  }
  EXPECT_EQ(readFileBytes(target), "old");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
  {
    platform::AtomicFile f(target);
    ASSERT_TRUE(f.open());
    std::fputs("new contents", f.file());
    EXPECT_TRUE(f.commit());
  }
  EXPECT_EQ(readFileBytes(target), "new contents");
  struct stat st {};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRUSR, 0u);

  platform::AtomicFile missingFolder(dir.file("no/such/folder/x.bin"));
  EXPECT_FALSE(missingFolder.open());
}

TEST(Clock, MonotonicCounter) {
  EXPECT_GT(platform::counterFrequency(), 0);
  const std::int64_t a = platform::counterNow();
  const std::int64_t b = platform::counterNow();
  EXPECT_LE(a, b);
  EXPECT_GE(platform::secondsSince(a), 0.0);
}

TEST(Paths, ProgramAndWorkingDirectories) {
  EXPECT_FALSE(platform::programDirectory().empty());
  EXPECT_EQ(platform::currentDirectory(), std::filesystem::current_path().string());
}
