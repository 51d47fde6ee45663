// RIM files through the shell's loader, the export functions and the batch
// conversions, with the real codec.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>

#include "codec/parameters.h"
#include "imageio/batch_convert.h"
#include "imageio/export.h"
#include "imageio/image_ex.h"
#include "imageio/library_io.h"
#include "imageio/listing.h"
#include "support/rim_files.h"
#include "support/test_support.h"

using testing_support::corpusPath;
using testing_support::learningMethodOf;
using testing_support::patternImage;
using testing_support::readFileBytes;
using testing_support::TempDir;
using testing_support::TraceCapture;
using testing_support::writeFileBytes;
using testing_support::writeRimFile;

namespace {

// The default config.ini with one line replaced.
std::string configWith(const std::string& from, const std::string& to) {
  std::string text = defaultConfigText();
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

}  // namespace

TEST(RimThumbnail, PreviewUnlessItIsSmallInBothDirections) {
  TraceCapture quiet;
  TempDir dir;
  struct Case {
    int width, height;  // image size; previews are a eighth of it
    int shownWidth, shownHeight;
  };
  const Case cases[] = {
      {536, 536, 536, 536},  // preview 67 x 67: below 67.2 both ways, fully decoded
      {544, 80, 68, 10},     // preview 68 x 10: kept
      {80, 544, 10, 68},     // preview 10 x 68: kept
      {100, 60, 100, 60},    // preview 13 x 8: fully decoded
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const std::string path = dir.file("p.rim");
    ASSERT_EQ(writeRimFile(path, patternImage(c.width, c.height)), 0);
    CImageEx thumb;
    ASSERT_TRUE(thumb.LoadImageFile(path, true));
    EXPECT_EQ(thumb.GetWidth(), c.shownWidth);
    EXPECT_EQ(thumb.GetHeight(), c.shownHeight);
    EXPECT_EQ(thumb.m_nBaseType, kBaseTypePCA);
    // Opened as an image, it is always decoded in full.
    CImageEx full;
    ASSERT_TRUE(full.LoadImageFile(path, false));
    EXPECT_EQ(full.GetWidth(), c.width);
    EXPECT_EQ(full.GetHeight(), c.height);
    EXPECT_EQ(full.GetBPP(), 24);
  }
}

TEST(RimThumbnail, BaseTypeComesFromTheHeader) {
  TraceCapture quiet;
  TempDir dir;
  CImageEx photo;
  ASSERT_TRUE(LoadWithImageLibrary(corpusPath("storm.jpg"), photo));
  ASSERT_EQ(writeRimFile(dir.file("ica.rim"), photo, 0, 5), 0);
  ASSERT_EQ(writeRimFile(dir.file("pca.rim"), photo, 0, 0), 0);
  for (bool thumbnail : {true, false}) {
    CImageEx ica, pca;
    ASSERT_TRUE(ica.LoadImageFile(dir.file("ica.rim"), thumbnail));
    ASSERT_TRUE(pca.LoadImageFile(dir.file("pca.rim"), thumbnail));
    EXPECT_EQ(ica.m_nBaseType, kBaseTypeICA);
    EXPECT_EQ(pca.m_nBaseType, kBaseTypePCA);
  }
  // The thumbnail of a preview of 50 x 34 pixels shows the ICA colour where
  // the image leaves room: the decoded 400 x 267 image fits as 96 x 64.
  CImageEx ica;
  ASSERT_TRUE(ica.LoadImageFile(dir.file("ica.rim"), true));
  ica.FitInto(96, 96);
  QImage bitmap;
  ASSERT_TRUE(ica.MakeThumbnail(bitmap));
  EXPECT_EQ(bitmap.pixel(0, 0), qRgb(0, 0, 127));
  EXPECT_EQ(bitmap.pixel(95, 95), qRgb(0, 0, 127));
}

TEST(Export, LoadForExportDecodesRimSourcesAndReportsFailures) {
  TraceCapture quiet;
  TempDir dir;
  ASSERT_EQ(writeRimFile(dir.file("a.rim"), patternImage(40, 30)), 0);
  writeFileBytes(dir.file("bad.rim"), "not a RIM file");
  std::vector<std::string> messages;
  const MessageFunction collect = [&](const std::string& text) { messages.push_back(text); };

  CImageEx image;
  LoadForExport(dir.file("a.rim"), kBaseTypePCA, image, collect);
  EXPECT_EQ(image.GetWidth(), 40);
  EXPECT_TRUE(messages.empty());
  LoadForExport(corpusPath("dune.jpg"), kBaseTypeOther, image, collect);
  EXPECT_EQ(image.GetWidth(), 400);
  EXPECT_TRUE(messages.empty());
  CImageEx failed;
  LoadForExport(dir.file("bad.rim"), kBaseTypeICA, failed, collect);
  EXPECT_EQ(messages, (std::vector<std::string>{"FILE_WRITE_FAILED"}));
  EXPECT_TRUE(failed.IsNull());
}

TEST(Export, ExportToRimUsesTheConfigAsItStands) {
  TraceCapture trace;
  TempDir dir;
  writeFileBytes(dir.file("ica.ini"), configWith("MaxIterations=0", "MaxIterations=3"));
  writeFileBytes(dir.file("bad.ini"),
                 configWith("DimensionReduction=96", "DimensionReduction=500"));
  std::vector<std::string> messages;
  const MessageFunction collect = [&](const std::string& text) { messages.push_back(text); };

  EXPECT_EQ(ExportToRim(corpusPath("dune.jpg"), kBaseTypeOther, dir.file("a.rim"), collect,
                        dir.file("ica.ini")),
            0);
  EXPECT_EQ(learningMethodOf(dir.file("a.rim")), 1);
  // A RIM source is decoded and encoded again.
  EXPECT_EQ(ExportToRim(dir.file("a.rim"), kBaseTypeICA, dir.file("b.rim"), collect,
                        dir.file("missing.ini")),
            0);
  EXPECT_EQ(learningMethodOf(dir.file("b.rim")), 0);
  // A source that gives no image: the encoder's status for a missing image.
  EXPECT_EQ(ExportToRim(dir.file("nothing.png"), kBaseTypeOther, dir.file("c.rim"), collect,
                        dir.file("ica.ini")),
            22);
  EXPECT_FALSE(std::filesystem::exists(dir.file("c.rim")));
  // Parameters the codec refuses end the export before anything is coded.
  EXPECT_EQ(ExportToRim(corpusPath("dune.jpg"), kBaseTypeOther, dir.file("d.rim"), collect,
                        dir.file("bad.ini")),
            17);
  EXPECT_FALSE(std::filesystem::exists(dir.file("d.rim")));
  EXPECT_TRUE(messages.empty());
}

TEST(BatchRimWithCodec, ConvertsEveryImageAndListsTheFailures) {
  TraceCapture trace;
  TempDir src, save;
  std::filesystem::copy_file(corpusPath("aqua.jpg"), src.file("Photo.JPG"));  // keeps its case
  std::filesystem::copy_file(corpusPath("ladybird.png"), src.file("scan.png"));
  std::filesystem::copy_file(corpusPath("garden.tiff"), src.file("image.tiff"));
  writeFileBytes(src.file("broken.bmp"), "BM but nothing else");
  ASSERT_EQ(writeRimFile(src.file("old.rim"), patternImage(16, 16)), 0);

  const std::vector<ListedImage> items = listImageFiles(src.path(), false);
  ASSERT_EQ(items.size(), 5u);
  RimConversionOptions options;
  options.configFile = src.file("missing.ini");
  const BatchReport report = convertToRim(items, save.path() + "/", options);
  EXPECT_EQ(report.message,
            "Failed conversion of these images!\n" + src.file("broken.bmp") +
                ": the file is damaged: its image data is cut short\n" + src.file("old.rim") +
                ": the source cannot be read as an image: Unsupported image format\n");
  EXPECT_EQ(report.failedCount(), 2u);
  for (const char* name : {"Photo.rim", "scan.rim", "image.trim"})
    EXPECT_EQ(learningMethodOf(save.file(name)), 0) << name;
  EXPECT_FALSE(std::filesystem::exists(save.file("broken.rim")));
  EXPECT_FALSE(std::filesystem::exists(save.file("old.rim")));
}

TEST(BatchRimWithCodec, TheMethodChoiceSetsMaxIterations) {
  TempDir src, save;
  CImage small;
  {
    CImageEx photo;
    ASSERT_TRUE(LoadWithImageLibrary(corpusPath("wood.jpg"), photo));
    small = photo;
  }
  ASSERT_TRUE(SaveByExtension(small, src.file("w.png")));
  writeFileBytes(src.file("zero.ini"), defaultConfigText());
  writeFileBytes(src.file("fifty.ini"), configWith("MaxIterations=0", "MaxIterations=50"));
  const std::vector<ListedImage> items = {{"w.png", src.file("w.png")}};
  struct Case {
    const char* method;
    const char* config;
    const char* iterations;
    std::uint16_t learningMethod;
  };
  const Case cases[] = {{"ICA", "zero.ini", "  Iteration = 100\n", 1},
                        {"ICA", "fifty.ini", "  Iteration = 50\n", 1},
                        {"PCA", "fifty.ini", "  Iteration = 0\n", 0}};
  for (const Case& c : cases) {
    TraceCapture trace;
    RimConversionOptions options;
    options.method = c.method;
    options.configFile = src.file(c.config);
    const BatchReport report = convertToRim(items, save.path(), options);
    EXPECT_EQ(report.message, "finished conversion to RIM images!");
    EXPECT_NE(trace.text().find(c.iterations), std::string::npos) << c.method << c.config;
    EXPECT_EQ(learningMethodOf(save.file("w.rim")), c.learningMethod);
  }
}

TEST(BatchBmpWithCodec, DecodesRimFilesAndNeverReplacesAnotherSource) {
  TraceCapture trace;
  TempDir dir;
  ASSERT_EQ(writeRimFile(dir.file("a.rim"), patternImage(40, 24)), 0);
  ASSERT_EQ(writeRimFile(dir.file("c.rim"), patternImage(8, 8)), 0);
  writeFileBytes(dir.file("c.bmp"), "the user's own bitmap");
  std::filesystem::create_directory(dir.file("out"));

  // Into another folder: a.rim and c.rim decode, c.bmp is no RIM file.
  std::vector<ListedImage> items = listImageFiles(dir.path(), false);
  BatchReport report = convertToBmp(items, dir.file("out"), {});
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + dir.file("c.bmp") +
                                ": cannot decode: Failed in reading file.\n");
  const QImage a(QString::fromStdString(dir.file("out/a.bmp")));
  EXPECT_EQ(a.width(), 40);
  EXPECT_EQ(a.height(), 24);
  EXPECT_TRUE(std::filesystem::exists(dir.file("out/c.bmp")));

  // A name cut into an extension no writer knows still gets a BMP file.
  ASSERT_EQ(writeRimFile(dir.file("out/image.trim"), patternImage(16, 8)), 0);
  report = convertToBmp({{"image.trim", dir.file("out/image.trim")}}, dir.file("out"), {});
  EXPECT_EQ(report.message, "Finished converting to BMP images!");
  EXPECT_EQ(readFileBytes(dir.file("out/image.tbmp")).substr(0, 2), "BM");

  // Into the source folder: c.rim would replace the listed c.bmp.
  report = convertToBmp(items, dir.path(), {});
  EXPECT_EQ(report.message, "Failed conversion of these files!\n" + dir.file("c.bmp") +
                                ": the output would overwrite a listed source file\n" +
                                dir.file("c.rim") +
                                ": the output would overwrite a listed source file\n");
  EXPECT_EQ(readFileBytes(dir.file("c.bmp")), "the user's own bitmap");
  EXPECT_TRUE(std::filesystem::exists(dir.file("a.bmp")));
}
