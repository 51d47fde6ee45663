// The turns of the picture shown: counted at once, written to the file
// only when saved (in the background), offered again when saving fails.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSignalSpy>
#include <QThread>
#include <QTransform>
#include <atomic>
#include <string>

#include "codec/base_type.h"
#include "core_application.h"
#include "shell/folim_doc.h"
#include "shell/rotation_model.h"
#include "support/test_support.h"

using document_testing::waitUntil;
using testing_support::corpusPath;
using testing_support::readFileBytes;
using testing_support::writeFileBytes;

namespace {

class RotationModelTest : public ::testing::Test {
 protected:
  QString copyOf(const std::string& photo, const std::string& name) {
    writeFileBytes(temp.file(name), readFileBytes(corpusPath(photo)));
    return QString::fromStdString(temp.file(name));
  }
  static QImage shown(const QString& path) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    return reader.read().convertToFormat(QImage::Format_RGB32);
  }

  testing_support::TempDir temp;
  CFolimDoc doc;
  CRotationModel rotation{doc};
};

TEST_F(RotationModelTest, TurnsAddUpInQuartersAndOnlyUnsavedOnesAreOffered) {
  struct Step {
    int quarters;
    int turns;
  };
  const Step steps[] = {{1, 1}, {1, 2}, {-1, 1}, {-1, 0}, {-1, 3}, {2, 1}, {4, 1}, {-5, 0}};
  rotation.Reset(QStringLiteral("/some/picture.jpg"), kBaseTypeOther);
  QSignalSpy turned(&rotation, &CRotationModel::turned);
  for (const Step& step : steps) {
    rotation.Turn(step.quarters);
    EXPECT_EQ(rotation.turns(), step.turns) << step.quarters;
    EXPECT_EQ(rotation.HasUnsavedTurn(), step.turns != 0);
    EXPECT_EQ(turned.takeLast().at(0).toInt(), step.turns);
  }
  rotation.Turn(1);
  rotation.Discard();
  EXPECT_EQ(rotation.turns(), 1);
  EXPECT_FALSE(rotation.HasUnsavedTurn());
  rotation.Turn(1);
  EXPECT_EQ(rotation.unsavedTurns(), 1);
  EXPECT_TRUE(rotation.SaveQuestion().contains("/some/picture.jpg"));
  // Another picture starts upright.
  rotation.Reset(QStringLiteral("/some/other.png"), kBaseTypeOther);
  EXPECT_EQ(rotation.turns(), 0);
  EXPECT_FALSE(rotation.HasUnsavedTurn());
  // Without a picture there is nothing to turn.
  rotation.Reset(QString(), kBaseTypeOther);
  rotation.Turn(1);
  EXPECT_EQ(rotation.turns(), 0);
  EXPECT_FALSE(rotation.Save());
}

TEST_F(RotationModelTest, SavingAJpegTurnsItsFileWithoutReencoding) {
  const QString path = copyOf("ladybird.jpg", "photo.jpg");
  const QImage upright = shown(path);
  const std::string original = readFileBytes(path.toStdString());
  doc.SelectImage(path);
  rotation.Reset(path, kBaseTypeOther);
  rotation.Turn(-1);
  QSignalSpy saved(&rotation, &CRotationModel::saved);
  ASSERT_TRUE(rotation.Save());
  EXPECT_TRUE(rotation.IsSaving());
  ASSERT_TRUE(waitUntil([&] { return saved.count() == 1; }));
  EXPECT_FALSE(rotation.IsSaving());
  EXPECT_FALSE(rotation.HasUnsavedTurn());
  EXPECT_EQ(shown(path), upright.transformed(QTransform().rotate(270)));
  // The compressed picture is the same: from its scan on, the files agree.
  const std::string now = readFileBytes(path.toStdString());
  EXPECT_EQ(now.substr(now.find("\xFF\xDA")), original.substr(original.find("\xFF\xDA")));
  // The current image was read again, turned.
  EXPECT_EQ(doc.currentImage().GetWidth(), upright.height());
}

TEST_F(RotationModelTest, AFailedSaveSaysWhyAndOffersTheTurnAgain) {
  const QString path = copyOf("dune.jpg", "gone.jpg");
  rotation.Reset(path, kBaseTypeOther);
  rotation.Turn(2);
  ASSERT_TRUE(QFile::remove(path));
  QSignalSpy messages(&rotation, &CRotationModel::messageRaised);
  ASSERT_TRUE(rotation.Save());
  ASSERT_TRUE(waitUntil([&] { return !rotation.IsSaving(); }));
  ASSERT_EQ(messages.count(), 1);
  EXPECT_TRUE(messages.at(0).at(0).toString().startsWith("Cannot save " + path + " turned: "));
  EXPECT_EQ(rotation.unsavedTurns(), 2);
}

TEST_F(RotationModelTest, SavingWhileAnotherJobRunsIsRefusedAndSaysSo) {
  const QString path = copyOf("dune.jpg", "busy.jpg");
  rotation.Reset(path, kBaseTypeOther);
  rotation.Turn(1);
  std::atomic<bool> release{false};
  ASSERT_TRUE(doc.jobs().start(
      [&](const CJobRunner::Control&) {
        while (!release) QThread::msleep(1);
      },
      &doc, [](bool) {}));
  QSignalSpy messages(&rotation, &CRotationModel::messageRaised);
  EXPECT_FALSE(rotation.Save());
  release = true;
  doc.jobs().waitForDone();
  ASSERT_EQ(messages.count(), 1);
  EXPECT_TRUE(rotation.HasUnsavedTurn());
  EXPECT_EQ(readFileBytes(path.toStdString()), readFileBytes(corpusPath("dune.jpg")));
}

}  // namespace
