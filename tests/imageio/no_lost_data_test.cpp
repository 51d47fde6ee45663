// No data is lost: a batch conversion into its own source folder never
// writes over a listed source, and every file the system writes (RIM files,
// bases files, BMP and other images) appears whole or not at all, leaving
// neither a partial target nor a temporary file when writing fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "codec/parameters.h"
#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/batch_convert.h"
#include "imageio/library_io.h"
#include "imageio/listing.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::patternImage;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeRimFile;

namespace {

std::size_t entriesIn(const std::string& dir) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++n;
  }
  return n;
}

// A folder where the target name is taken by a non-empty folder: the
// writer's final rename must fail.
void blockWithFolder(const std::string& path) {
  std::filesystem::create_directories(path + "/inside");
}

}  // namespace

TEST(NoLostData, RimJobIntoItsSourceFolderKeepsEverySource) {
  TraceCapture trace;
  TempDir dir;
  ASSERT_EQ(writeRimFile(dir.file("a.rim"), patternImage(24, 16)), 0);
  ASSERT_TRUE(SaveByExtension(patternImage(20, 12), dir.file("a.png")));
  ASSERT_TRUE(SaveByExtension(patternImage(20, 12), dir.file("b.png")));
  const std::string rimBefore = readFileBytes(dir.file("a.rim"));
  const std::string pngBefore = readFileBytes(dir.file("a.png"));

  // a.png and a.rim both lead to a.rim, a listed source; b.png is free.
  const std::vector<ListedImage> items = listImageFiles(dir.path(), false);
  ASSERT_EQ(items.size(), 3u);
  const BatchReport report = convertToRim(items, dir.path(), {});
  EXPECT_EQ(report.message, "Failed conversion of these images!\n" + dir.file("a.png") +
                                ": the output would overwrite a listed source file\n" +
                                dir.file("a.rim") +
                                ": the output would overwrite a listed source file\n");
  EXPECT_EQ(readFileBytes(dir.file("a.rim")), rimBefore);
  EXPECT_EQ(readFileBytes(dir.file("a.png")), pngBefore);
  CRIMCodec codec;
  std::uint16_t method = 9;
  EXPECT_EQ(codec.readLearningMethod(dir.file("b.rim"), method), 0);
  EXPECT_EQ(entriesIn(dir.path()), 4u);  // a.rim, a.png, b.png, b.rim: no temporaries
}

TEST(NoLostData, BmpJobIntoItsSourceFolderKeepsEverySource) {
  TraceCapture trace;
  TempDir dir;
  ASSERT_TRUE(SaveByExtension(patternImage(20, 12), dir.file("a.bmp")));
  ASSERT_EQ(writeRimFile(dir.file("a.rim"), patternImage(24, 16)), 0);
  ASSERT_EQ(writeRimFile(dir.file("c.rim"), patternImage(16, 16)), 0);
  const std::string bmpBefore = readFileBytes(dir.file("a.bmp"));

  // a.bmp -> a.bmp and a.rim -> a.bmp would both replace the listed a.bmp.
  const std::vector<ListedImage> items = listImageFiles(dir.path(), false);
  ASSERT_EQ(items.size(), 3u);
  const BatchReport report = convertToBmp(items, dir.path(), {});
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + dir.file("a.bmp") +
                                ": the output would overwrite a listed source file\n" +
                                dir.file("a.rim") +
                                ": the output would overwrite a listed source file\n");
  for (const ConversionResult& r : report.files) {
    if (!r.ok) {
      EXPECT_EQ(r.reason, "the output would overwrite a listed source file") << r.name;
    }
  }
  EXPECT_EQ(readFileBytes(dir.file("a.bmp")), bmpBefore);
  EXPECT_EQ(readFileBytes(dir.file("c.bmp")).substr(0, 2), "BM");
  EXPECT_EQ(entriesIn(dir.path()), 4u);
}

TEST(NoLostData, FailedWritesLeaveNothingBehind) {
  TraceCapture trace;
  TempDir dir;
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  const CImage image = patternImage(24, 16);

  // A RIM file whose name is taken by a folder.
  blockWithFolder(dir.file("taken.rim"));
  {
    CRIMCodec codec;
    ASSERT_EQ(codec.setParameters(&common, &learning, &compression), 0);
    EXPECT_EQ(codec.encodeFile(dir.file("taken.rim"), image), status::WriteFailed);
  }
  // A bases file whose name is taken by a folder: learned, then not written.
  blockWithFolder(dir.file("taken.bases"));
  {
    CRIMCodec codec;
    ASSERT_EQ(codec.setParameters(&common, &learning, &compression), 0);
    const std::string bases = dir.file("taken.bases");
    EXPECT_EQ(codec.encodeFile(dir.file("out.rim"), image, bases.c_str()), status::WriteFailed);
  }
  // Images through the image library.
  blockWithFolder(dir.file("taken.bmp"));
  EXPECT_FALSE(SaveByExtension(image, dir.file("taken.bmp")));
  EXPECT_FALSE(SaveWithFormat(image, dir.file("taken.bmp"), "bmp"));

  // Only the three blocking folders remain: no partial file, no temporary.
  EXPECT_EQ(entriesIn(dir.path()), 3u);
  for (const char* name : {"taken.rim", "taken.bases", "taken.bmp"})
    EXPECT_TRUE(std::filesystem::is_directory(dir.file(name))) << name;
  EXPECT_FALSE(std::filesystem::exists(dir.file("out.rim")));
}

TEST(NoLostData, BmpJobWhoseOutputsCannotBeWrittenListsThem) {
  TraceCapture trace;
  TempDir src;
  TempDir save;
  ASSERT_EQ(writeRimFile(src.file("a.rim"), patternImage(24, 16)), 0);
  ASSERT_EQ(writeRimFile(src.file("b.rim"), patternImage(16, 16)), 0);
  blockWithFolder(save.file("a.bmp"));
  const BatchReport report = convertToBmp(listImageFiles(src.path(), false), save.path(), {});
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + src.file("a.rim") +
                                ": cannot write: Is a directory\n");
  EXPECT_EQ(readFileBytes(save.file("b.bmp")).substr(0, 2), "BM");  // the others are kept
  EXPECT_EQ(entriesIn(save.path()), 2u);
}

namespace {

// A save folder may name the source folder in another way than the listing
// did; the outputs must still be recognised as the listed sources. "@" stands
// for the absolute path of the folder the test runs in.
struct FolderSpelling {
  const char* name;
  const char* source;
  const char* save;
};

class SameFolderSpelledDifferently : public testing::TestWithParam<FolderSpelling> {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(root_.file("d"));
    std::filesystem::create_directory_symlink("d", root_.file("link"));
    previous_ = std::filesystem::current_path();
    std::filesystem::current_path(root_.path());
    ASSERT_TRUE(SaveByExtension(patternImage(20, 12), "d/x.bmp"));
    ASSERT_EQ(writeRimFile("d/x.rim", patternImage(24, 16)), 0);
  }
  void TearDown() override { std::filesystem::current_path(previous_); }

  std::string spelled(const char* path) const {
    return path[0] == '@' ? root_.path() + (path + 1) : path;
  }
  // Both listed files fail as would-be overwrites, and the folder holds
  // nothing new.
  void expectBothRefused(const BatchReport& report) {
    ASSERT_EQ(report.files.size(), 2u);
    for (const ConversionResult& r : report.files) {
      EXPECT_FALSE(r.ok) << r.name;
      EXPECT_EQ(r.reason, "the output would overwrite a listed source file") << r.name;
    }
    EXPECT_EQ(entriesIn(root_.file("d")), 2u);
  }

  TraceCapture trace_;
  TempDir root_;
  std::filesystem::path previous_;
};

TEST_P(SameFolderSpelledDifferently, RimJobKeepsTheListedRim) {
  const std::string before = readFileBytes("d/x.rim");
  const std::vector<ListedImage> items = listImageFiles(spelled(GetParam().source), false);
  ASSERT_EQ(items.size(), 2u);
  expectBothRefused(convertToRim(items, spelled(GetParam().save), {}));
  EXPECT_EQ(readFileBytes("d/x.rim"), before);
}

TEST_P(SameFolderSpelledDifferently, BmpJobKeepsTheListedBitmap) {
  const std::string before = readFileBytes("d/x.bmp");
  const std::vector<ListedImage> items = listImageFiles(spelled(GetParam().source), false);
  ASSERT_EQ(items.size(), 2u);
  expectBothRefused(convertToBmp(items, spelled(GetParam().save), {}));
  EXPECT_EQ(readFileBytes("d/x.bmp"), before);
}

INSTANTIATE_TEST_SUITE_P(NoLostData, SameFolderSpelledDifferently,
                         testing::Values(FolderSpelling{"DotSlashTrailingSlash", "d", "./d/"},
                                         FolderSpelling{"AbsoluteSave", "d", "@/d"},
                                         FolderSpelling{"AbsoluteSource", "@/d", "d/"},
                                         FolderSpelling{"SymlinkSave", "d", "link"},
                                         FolderSpelling{"SymlinkSource", "link/", "./d"}),
                         [](const testing::TestParamInfo<FolderSpelling>& c) {
                           return c.param.name;
                         });

}  // namespace
