// What the document decides about files without any window: saving the
// current image (the refusal, each target's outcome, the file counted as
// used and listed), the full-size image that cannot be read, and the
// listing with sub-folders.
#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <filesystem>
#include <string>

#include "core_application.h"
#include "shell/folim_doc.h"
#include "support/test_support.h"

namespace {

using document_testing::waitUntil;

void writePicture(const std::string& path, int width, int height) {
  QImage picture(width, height, QImage::Format_RGB32);
  picture.fill(qRgb(40, 120, 200));
  ASSERT_TRUE(picture.save(QString::fromStdString(path), "PNG")) << path;
}

class DocumentFiles : public ::testing::Test {
 protected:
  void list() {
    doc.ListFolder(QString::fromStdString(temp.path()));
    ASSERT_TRUE(waitUntil([&] { return !doc.IsLoadingThumbnails(); }));
  }

  CFolimDoc doc;
  testing_support::TempDir temp;
};

TEST_F(DocumentFiles, SavingAsksForACurrentImageFirst) {
  EXPECT_EQ(doc.SaveRefusal(), "please select item");
  writePicture(temp.file("pic.png"), 32, 24);
  doc.SelectImage(QString::fromStdString(temp.file("pic.png")));
  EXPECT_TRUE(doc.SaveRefusal().isEmpty());
}

struct SaveCase {
  const char* target;   // in the temporary folder
  const char* failure;  // after "Cannot save <target>: ", or "" when saved
};

class SavingTargets : public DocumentFiles, public ::testing::WithParamInterface<SaveCase> {};

TEST_P(SavingTargets, AreWrittenOrNamedWithTheirCause) {
  const SaveCase& c = GetParam();
  writePicture(temp.file("pic.png"), 32, 24);
  list();
  doc.SelectImage(QString::fromStdString(temp.file("pic.png")));
  QSignalSpy used(&doc, &CFolimDoc::fileUsed);
  const std::string target = temp.file(c.target);
  testing_support::TraceCapture quiet;
  const QString failure = doc.SaveCurrentImage(QString::fromStdString(target));
  const bool saved = *c.failure == '\0';
  if (saved) {
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
  } else {
    EXPECT_EQ(failure.toStdString(), "Cannot save " + target + ": " + c.failure);
  }
  EXPECT_EQ(std::filesystem::exists(target), saved);
  ASSERT_EQ(used.count(), saved ? 1 : 0);
  if (saved) {
    EXPECT_EQ(used.at(0).at(0).toString().toStdString(), target);
  }
  // A file saved into the listed folder shows up there.
  ASSERT_TRUE(waitUntil([&] { return !doc.IsLoadingThumbnails(); }));
  EXPECT_EQ(doc.entries().size(), saved ? 2u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, SavingTargets,
    ::testing::Values(SaveCase{"copy.png", ""}, SaveCase{"copy.RIM", ""},
                      SaveCase{"copy.xyz", "no image format for the extension '.xyz'"},
                      SaveCase{"missing/x.rim", "cannot write: No such file or directory"}));

TEST_F(DocumentFiles, AFullSizeImageThatCannotBeReadSaysWhy) {
  const QString gone = QString::fromStdString(temp.file("gone.png"));
  doc.SelectImage(gone);
  QString failure;
  const CImageEx& image = doc.PrepareFullSizeImage(200, 100, &failure);
  EXPECT_TRUE(image.IsNull());
  EXPECT_TRUE(failure.startsWith("Cannot open " + gone + ": ")) << failure.toStdString();

  writePicture(temp.file("here.png"), 40, 20);
  doc.SelectImage(QString::fromStdString(temp.file("here.png")));
  failure.clear();
  EXPECT_EQ(doc.PrepareFullSizeImage(200, 100, &failure).GetWidth(), 40);
  EXPECT_TRUE(failure.isEmpty());
  EXPECT_TRUE(doc.LoadFullSizePixels(&failure));
  EXPECT_TRUE(failure.isEmpty());
}

TEST_F(DocumentFiles, SubFoldersAreListedOnlyWhenIncluded) {
  std::filesystem::create_directories(temp.file("inner"));
  testing_support::writeFileBytes(temp.file("a.jpg"), "");
  testing_support::writeFileBytes(temp.file("inner/b.jpg"), "");
  list();
  EXPECT_FALSE(doc.includeSubDirs());
  ASSERT_EQ(doc.entries().size(), 1u);
  QSignalSpy added(&doc, &CFolimDoc::thumbnailAdded);
  doc.SetIncludeSubDirs(true);
  ASSERT_TRUE(waitUntil([&] { return !doc.IsLoadingThumbnails(); }));
  EXPECT_TRUE(doc.includeSubDirs());
  ASSERT_EQ(doc.entries().size(), 2u);
  // The caption tells the sub-folder a picture lies in.
  ASSERT_EQ(added.count(), 2);
  EXPECT_EQ(added.at(1).at(1).toString(), "b.jpg\ninner");
  doc.SetIncludeSubDirs(false);
  EXPECT_EQ(doc.entries().size(), 1u);
}

}  // namespace
