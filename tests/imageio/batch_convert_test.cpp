// The batch conversions' rules that need no codec at work: names, checks,
// messages and the protection of source files.
#include "imageio/batch_convert.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/test_support.h"

using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::writeFileBytes;

TEST(BatchNames, ThreeCharactersAreCutWhateverTheExtension) {
  EXPECT_EQ(batchOutputPath("/out", "photo.jpg", "rim"), "/out/photo.rim");
  EXPECT_EQ(batchOutputPath("/out/", "scan.png", "rim"), "/out/scan.rim");
  EXPECT_EQ(batchOutputPath("/out", "photo.jpeg", "rim"), "/out/photo.jrim");
  EXPECT_EQ(batchOutputPath("/out", "image.tiff", "rim"), "/out/image.trim");
  EXPECT_EQ(batchOutputPath("/out", "a.rim", "bmp"), "/out/a.bmp");
  EXPECT_EQ(progressCounterText(2, 12), "3/12");
}

TEST(BatchRim, ChecksBeforeStarting) {
  TempDir dir;
  writeFileBytes(dir.file("plain"), "x");
  EXPECT_EQ(checkRimConversionStart(dir.file("missing"), 3), kMsgSaveDirMissing);
  EXPECT_EQ(checkRimConversionStart(dir.file("plain"), 3), kMsgSaveDirMissing);
  EXPECT_EQ(checkRimConversionStart("", 3), kMsgSaveDirMissing);
  EXPECT_EQ(checkRimConversionStart(dir.path(), 0), kMsgNoFiles);
  EXPECT_EQ(checkRimConversionStart(dir.path() + "/", 1), "");

  const std::vector<ListedImage> items = {{"a.bmp", dir.file("a.bmp")}};
  BatchReport report = convertToRim(items, dir.file("missing"), {});
  EXPECT_TRUE(report.refused);
  EXPECT_EQ(report.message,
            "Specified destination dir isn't exist. Please specify a destination dir.");
  EXPECT_TRUE(report.files.empty());
  report = convertToRim({}, dir.path(), {});
  EXPECT_TRUE(report.refused);
  EXPECT_EQ(report.message, "there's no file in target directory");
}

TEST(BatchRim, NeverWritesOverAListedSource) {
  TempDir dir;
  // A PNG under a RIM name converted into its own folder would replace itself.
  std::filesystem::copy_file(testing_support::corpusPath("ladybird.png"), dir.file("a.rim"));
  const std::string before = readFileBytes(dir.file("a.rim"));
  int progressCalls = 0;
  RimConversionOptions options;
  options.progress = [&](std::size_t index, std::size_t total, const ListedImage& item) {
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(total, 1u);
    EXPECT_EQ(item.name, "a.rim");
    ++progressCalls;
  };
  const BatchReport report = convertToRim({{"a.rim", dir.file("a.rim")}}, dir.path(), options);
  EXPECT_EQ(progressCalls, 1);
  ASSERT_EQ(report.files.size(), 1u);
  EXPECT_FALSE(report.files[0].ok);
  EXPECT_EQ(report.message, "Failed conversion of these images!\n" + dir.file("a.rim") +
                                ": the output would overwrite a listed source file\n");
  EXPECT_EQ(readFileBytes(dir.file("a.rim")), before);
}

TEST(BatchBmp, MissingSaveFolderFailsEveryFile) {
  TempDir dir;
  const std::vector<ListedImage> items = {{"a.rim", dir.file("a.rim")},
                                          {"b.rim", dir.file("b.rim")}};
  const BatchReport report = convertToBmp(items, dir.file("missing"), {});
  EXPECT_FALSE(report.succeeded());
  EXPECT_EQ(report.failedCount(), 2u);
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + dir.file("a.rim") +
                                ": the save folder does not exist\n" + dir.file("b.rim") +
                                ": the save folder does not exist\n");
  EXPECT_FALSE(std::filesystem::exists(dir.file("missing")));
}

TEST(BatchBmp, NonRimFilesFailAndSourcesAreNeverReplaced) {
  TempDir dir;
  writeFileBytes(dir.file("b.bmp"), "an original bitmap");
  writeFileBytes(dir.file("b.rim"), "not really a RIM file");
  const std::vector<ListedImage> items = {{"b.bmp", dir.file("b.bmp")},
                                          {"b.rim", dir.file("b.rim")}};
  std::vector<std::string> counters;
  BmpConversionOptions options;
  options.progress = [&](std::size_t index, std::size_t total, const ListedImage&) {
    counters.push_back(progressCounterText(index, total));
  };
  const BatchReport report = convertToBmp(items, dir.path(), options);
  EXPECT_EQ(counters, (std::vector<std::string>{"1/2", "2/2"}));
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + dir.file("b.bmp") +
                                ": the output would overwrite a listed source file\n" +
                                dir.file("b.rim") +
                                ": the output would overwrite a listed source file\n");
  EXPECT_EQ(readFileBytes(dir.file("b.bmp")), "an original bitmap");
}

TEST(BatchBmp, EmptyListingSucceedsAndCancellingFailsTheRest) {
  TempDir dir;
  EXPECT_EQ(convertToBmp({}, dir.path(), {}).message, "Finished converting to BMP images!");
  std::atomic<bool> cancel{true};
  BmpConversionOptions options;
  options.cancel = &cancel;
  const BatchReport report = convertToBmp({{"a.rim", dir.file("a.rim")}}, dir.path(), options);
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + dir.file("a.rim") +
                                ": the conversion was cancelled\n");
}
