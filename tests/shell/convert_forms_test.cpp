// The two conversion forms: their controls, the folder pickers, the
// conversion to RIM on its worker (checks, PCA/ICA, one job at a time, its
// final message on the window thread, quitting while it runs) and the
// conversion to BMP with its counter and bar.
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <filesystem>
#include <map>

#include "codec/rim_codec.h"
#include "imageio/batch_convert.h"
#include "imageio/listing.h"
#include "shell/convert2bmp_view.h"
#include "shell/convert2rim_view.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/tab_view.h"
#include "shell/tree_view_ex.h"
#include "shell_fixture.h"
#include "support/rim_files.h"

namespace shell_testing {
namespace {

namespace fs = std::filesystem;
using testing_support::learningMethodOf;

// A small photograph: a corner of one of the corpus pictures.
void writePhoto(const std::string& path, const std::string& corpusName, int size = 96) {
  const QImage photo(QString::fromStdString(testing_support::corpusPath(corpusName)));
  ASSERT_FALSE(photo.isNull()) << corpusName;
  ASSERT_TRUE(photo.copy(0, 0, size, size * 3 / 4).save(QString::fromStdString(path)));
}

class ConvertFormsTest : public ShellTest {
 protected:
  void SetUp() override {
    ShellTest::SetUp();
    fs::create_directories(source());
    fs::create_directories(save());
  }

  std::string source() const { return temp.file("source"); }
  std::string save() const { return temp.file("save"); }
  CConvert2RIMView* rim() { return frame->tabView()->convert2RimView(); }
  CConvert2BMPView* bmp() { return frame->tabView()->convert2BmpView(); }

  // Shows the RIM form on the listing of dir, saving into saveDir.
  void prepareRim(const std::string& dir, const std::string& saveDir) {
    frame->tabView()->setCurrentIndex(CTabView::kConvertToRim);
    chooseFolder(dir);
    rim()->saveDirEdit()->setText(QString::fromStdString(saveDir));
  }

  // Presses "Convert" on a form and waits for the job's final message.
  void convertAndWait(CConvertForm* form) {
    QSignalSpy finished(form, &CConvertForm::conversionFinished);
    QTest::mouseClick(form->convertButton(), Qt::LeftButton);
    if (!form->IsConverting()) return;  // refused at once
    ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; })) << "conversion still running";
  }
  void convertToRimAndWait() { convertAndWait(rim()); }
};

TEST_F(ConvertFormsTest, FormsCarryTheirControls) {
  auto text = [](QWidget* form, const char* name) {
    auto* label = form->findChild<QLabel*>(name);
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
  };
  EXPECT_EQ(text(rim(), "titleLabel"), "Convert to RIM format");
  EXPECT_EQ(text(bmp(), "titleLabel"), "Convert to BMP format");
  for (CConvertForm* form :
       {static_cast<CConvertForm*>(rim()), static_cast<CConvertForm*>(bmp())}) {
    EXPECT_EQ(text(form, "targetDirLabel"), "Target Directory");
    EXPECT_EQ(text(form, "saveDirLabel"), "Save Directory");
    EXPECT_EQ(text(form, "resultPageLabel"), "Result Page:");
    EXPECT_EQ(form->browseTargetButton()->text(), "Browse...");
    EXPECT_EQ(form->browseSaveButton()->text(), "Browse...");
    EXPECT_FALSE(form->cancelButton()->isEnabled());
    EXPECT_EQ(form->convertButton()->text(), "Convert");
    EXPECT_EQ(form->includeSubDirCheck()->text(), "Include Sub Directory");
    EXPECT_FALSE(form->targetDirEdit()->isReadOnly());
  }
  EXPECT_EQ(text(rim(), "basesLabel"), "Bases");
  QComboBox* bases = rim()->basesCombo();
  ASSERT_EQ(bases->count(), 2);
  EXPECT_EQ(bases->itemText(0), "PCA");
  EXPECT_EQ(bases->itemText(1), "ICA");
  EXPECT_EQ(bases->currentText(), "PCA");
  EXPECT_TRUE(bmp()->counterLabel()->text().isEmpty());
  EXPECT_EQ(bmp()->progressBar()->value(), 0);

  // File New resets the choice of bases.
  bases->setCurrentIndex(1);
  frame->OnFileNew();
  EXPECT_EQ(bases->currentText(), "PCA");
}

TEST_F(ConvertFormsTest, FolderPickersFillTheFieldsAndListTheTarget) {
  writeImage(temp.file("source/one.png"), 16, 16);
  writeImage(temp.file("source/two.png"), 16, 16);
  frame->tabView()->setCurrentIndex(CTabView::kConvertToBmp);

  // Cancel leaves everything as it was.
  QTest::mouseClick(bmp()->browseTargetButton(), Qt::LeftButton);
  EXPECT_EQ(folderTitles, QStringList{"Convert to BMP"});
  EXPECT_TRUE(bmp()->targetDirEdit()->text().isEmpty());

  // The target fills an empty save field, and is listed at once.
  folderAnswers << QString::fromStdString(source());
  QTest::mouseClick(bmp()->browseTargetButton(), Qt::LeftButton);
  waitForThumbnails();
  EXPECT_EQ(bmp()->targetDirEdit()->text().toStdString(), source());
  EXPECT_EQ(bmp()->saveDirEdit()->text().toStdString(), source());
  EXPECT_EQ(doc->currentDir().toStdString(), source());
  EXPECT_EQ(frame->listView()->count(), 2);

  folderAnswers << QString::fromStdString(save());
  QTest::mouseClick(bmp()->browseSaveButton(), Qt::LeftButton);
  EXPECT_EQ(bmp()->saveDirEdit()->text().toStdString(), save());

  // A save field already filled keeps its folder when the target changes.
  frame->tabView()->setCurrentIndex(CTabView::kConvertToRim);
  rim()->saveDirEdit()->setText(QString::fromStdString(save()));
  folderAnswers << QString::fromStdString(temp.path());
  QTest::mouseClick(rim()->browseTargetButton(), Qt::LeftButton);
  waitForThumbnails();
  EXPECT_EQ(rim()->saveDirEdit()->text().toStdString(), save());
  EXPECT_EQ(doc->currentDir().toStdString(), temp.path());
  EXPECT_EQ(folderTitles.last(), "Convert to RIM");
}

TEST_F(ConvertFormsTest, RimConversionRefusesAMissingSaveFolderOrAnEmptyListing) {
  writeImage(temp.file("source/a.png"), 16, 16);
  prepareRim(source(), temp.file("nowhere"));
  QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
  EXPECT_EQ(messages, QStringList{"Specified destination dir isn't exist. Please specify a "
                                  "destination dir."});
  // A plain file is no save folder either, nor is an empty field.
  testing_support::writeFileBytes(temp.file("plain"), "x");
  for (const std::string& bad : {temp.file("plain"), std::string()}) {
    messages.clear();
    rim()->saveDirEdit()->setText(QString::fromStdString(bad));
    QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
    EXPECT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.value(0).startsWith("Specified destination dir isn't exist."));
  }

  testing_support::TempDir empty;
  prepareRim(empty.path(), save());
  messages.clear();
  QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
  EXPECT_EQ(messages, QStringList{"there's no file in target directory"});
  EXPECT_FALSE(rim()->IsConverting());
  EXPECT_TRUE(doc->convertNames().isEmpty());
  EXPECT_TRUE(fs::is_empty(save()));
}

TEST_F(ConvertFormsTest, PcaAndIcaBasesAsChosenWithOneJobAtATime) {
  writePhoto(temp.file("source/photo.png"), "storm.jpg");
  writePhoto(temp.file("source/scan.jpeg"), "dune.jpg");
  prepareRim(source(), save() + "/");

  QSignalSpy finished(rim(), &CConvert2RIMView::conversionFinished);
  QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
  // The job starts at once; the form says so instead of a box to close.
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(rim()->jobStatusLabel()->text(), "Start converting images, please wait...");
  // While the worker runs, neither form starts another conversion.
  EXPECT_TRUE(rim()->IsConverting());
  EXPECT_TRUE(rim()->cancelButton()->isEnabled());
  EXPECT_FALSE(rim()->convertButton()->isEnabled());
  EXPECT_FALSE(bmp()->convertButton()->isEnabled());
  EXPECT_FALSE(rim()->targetDirEdit()->isEnabled());
  EXPECT_FALSE(rim()->includeSubDirCheck()->isEnabled());
  EXPECT_FALSE(rim()->basesCombo()->isEnabled());
  EXPECT_EQ(doc->convertNames(), (QStringList{"photo.png", "scan.jpeg"}));
  EXPECT_EQ(doc->convertPaths().size(), 2);
  bmp()->OnConvert();
  EXPECT_FALSE(bmp()->IsConverting());

  ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
  EXPECT_EQ(messages, (QStringList{"finished conversion to RIM images!"}));
  EXPECT_EQ(rim()->jobStatusLabel()->text(), "2 of 2 files converted.");
  EXPECT_FALSE(rim()->cancelButton()->isEnabled());
  EXPECT_EQ(messagesOffWindowThread, 0);
  EXPECT_TRUE(rim()->convertButton()->isEnabled());
  EXPECT_TRUE(bmp()->convertButton()->isEnabled());
  EXPECT_TRUE(rim()->targetDirEdit()->isEnabled());
  EXPECT_TRUE(doc->convertNames().isEmpty());
  EXPECT_TRUE(doc->convertPaths().isEmpty());
  EXPECT_EQ(rim()->m_saveDir.toStdString(), save() + "/");
  EXPECT_EQ(rim()->m_bases, "PCA");
  EXPECT_EQ(learningMethodOf(save() + "/photo.rim"), 0);
  // The name loses three characters whatever its extension.
  EXPECT_EQ(learningMethodOf(save() + "/scan.jrim"), 0);

  rim()->basesCombo()->setCurrentIndex(1);
  messages.clear();
  convertToRimAndWait();
  EXPECT_EQ(messages.last(), "finished conversion to RIM images!");
  EXPECT_EQ(learningMethodOf(save() + "/photo.rim"), 1);
  EXPECT_EQ(learningMethodOf(save() + "/scan.jrim"), 1);
  EXPECT_EQ(rim()->m_bases, "ICA");
}

// The quality combo starts at config.ini; a preset reaches the encoder, and
// a coarser preset gives a smaller file of the same photograph.
TEST_F(ConvertFormsTest, QualityPresetsReachTheEncoder) {
  QComboBox* quality = rim()->qualityCombo();
  ASSERT_EQ(quality->count(), 5);
  EXPECT_EQ(quality->itemText(0), "config.ini");
  EXPECT_EQ(quality->currentText(), "config.ini");
  const QLabel* label = rim()->findChild<QLabel*>("qualityLabel");
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), "Quality");

  writePhoto(temp.file("source/photo.png"), "wood.jpg", 160);
  std::map<std::string, std::uintmax_t> sizes;
  for (int index : {0, 1, 4}) {
    const std::string out = temp.file("save" + std::to_string(index));
    fs::create_directories(out);
    prepareRim(source(), out);
    quality->setCurrentIndex(index);
    convertToRimAndWait();
    EXPECT_EQ(messages.last(), "finished conversion to RIM images!");
    sizes[quality->currentText().toStdString()] = fs::file_size(out + "/photo.rim");
  }
  EXPECT_EQ(rim()->m_quality, "small");
  EXPECT_LT(sizes["small"], sizes["archive"]);
  EXPECT_LT(sizes["small"], sizes["config.ini"]);
  // The default keeps config.ini's own encoder: the file of the plain
  // conversion function.
  const std::string plain = temp.file("plain");
  fs::create_directories(plain);
  const BatchReport report = convertToRim(listImageFiles(source(), false), plain, {});
  ASSERT_TRUE(report.succeeded());
  EXPECT_EQ(testing_support::readFileBytes(plain + "/photo.rim"),
            testing_support::readFileBytes(temp.file("save0/photo.rim")));
}

TEST_F(ConvertFormsTest, RimConversionNamesTheSourcesThatFailedAndWhy) {
  writePhoto(temp.file("source/good.png"), "aqua.jpg");
  writeRimFile(temp.file("source/old.rim"), 32, 32, false);
  testing_support::writeFileBytes(temp.file("source/torn.jpg"), "not a picture");
  prepareRim(source(), save());
  convertToRimAndWait();
  EXPECT_EQ(messages.last(),
            QString::fromStdString("Failed conversion of these images!\n" + source() +
                                   "/old.rim: the source cannot be read as an image: Unsupported "
                                   "image format\n" +
                                   source() +
                                   "/torn.jpg: the source cannot be read as an image: Unable to "
                                   "read image data\n"));
  EXPECT_EQ(learningMethodOf(save() + "/good.rim"), 0);
  EXPECT_FALSE(fs::exists(save() + "/old.rim"));
}

TEST_F(ConvertFormsTest, WorkerKeepsItsListWhileTheFoldersChange) {
  for (const char* name : {"aqua.jpg", "blinds.jpg", "dune.jpg"})
    writePhoto(temp.file("source/") + name, name);
  testing_support::TempDir other;
  writeUnreadableImages(other.path(), 60);
  prepareRim(source(), save());
  QSignalSpy finished(rim(), &CConvert2RIMView::conversionFinished);
  QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
  ASSERT_TRUE(rim()->IsConverting());

  // The user goes on browsing on the other forms meanwhile.
  frame->tabView()->setCurrentIndex(CTabView::kRetrieval);
  frame->treeView()->SelectFolder(QString::fromStdString(other.path()));
  frame->tabView()->convert2BmpView()->includeSubDirCheck()->click();
  EXPECT_EQ(doc->convertNames().size(), 3);

  ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
  EXPECT_EQ(messages.last(), "finished conversion to RIM images!");
  for (const char* name : {"aqua.rim", "blinds.rim", "dune.rim"})
    EXPECT_EQ(learningMethodOf(save() + "/" + name), 0) << name;
  EXPECT_EQ(doc->entries().size(), 60u);
}

TEST_F(ConvertFormsTest, ConvertRefreshesTheThumbnailsOfTheTargetListing) {
  writeUnreadableImages(temp.file("source"), 60);
  testing_support::TempDir target;
  writePhoto(target.file("a.png"), "aqua.jpg");
  writePhoto(target.file("b.png"), "wood.jpg");
  prepareRim(source(), save());
  rim()->OnPageChosen(1);
  waitForThumbnails();
  ASSERT_EQ(frame->listView()->count(), 10);

  // The target field holds another folder than the one listed.
  rim()->targetDirEdit()->setText(QString::fromStdString(target.path()));
  convertToRimAndWait();
  EXPECT_EQ(doc->currentDir().toStdString(), target.path());
  EXPECT_EQ(doc->paging().entryCount, 2u);
  EXPECT_EQ(doc->paging().page, 0);
  EXPECT_EQ(rim()->pageCountLabel()->text(), "/ 1 pages");
  waitForThumbnails();
  EXPECT_EQ(frame->listView()->count(), 2);
  // What was converted is the listing the button was pressed on (files that
  // hold no picture, so every one of them failed).
  EXPECT_TRUE(messages.last().startsWith("Failed conversion of these images!\n"));
  EXPECT_TRUE(messages.last().contains(QString::fromStdString(source() + "/img059.jpg: ")));
  EXPECT_FALSE(messages.last().contains("a.rim"));
}

TEST_F(ConvertFormsTest, ClosingTheWindowWhileTheWorkerRunsEndsCleanly) {
  for (int i = 0; i < 12; ++i)
    writePhoto(temp.file("source/p" + std::to_string(100 + i) + ".png"), "garden.jpg", 160);
  prepareRim(source(), save());
  rim()->basesCombo()->setCurrentIndex(1);
  QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
  ASSERT_TRUE(rim()->IsConverting());
  frame.reset();
  // The worker stopped after the file in hand; the rest was never written.
  int written = 0;
  for (const auto& entry : fs::directory_iterator(save())) {
    (void)entry;
    ++written;
  }
  EXPECT_LT(written, 12);
  QCoreApplication::processEvents();
  EXPECT_TRUE(messages.isEmpty());
}

// Every file in folder is a whole RIM file (nothing half-written, no
// temporary file left); returns how many there are.
int wholeRimFiles(const std::string& folder) {
  int count = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string path = entry.path().string();
    EXPECT_EQ(entry.path().extension(), ".rim") << "left behind: " << path;
    CImage image;
    CRIMCodec codec;
    testing_support::TraceCapture quiet;
    EXPECT_EQ(codec.decodeFile(image, path), 0) << path;
    ++count;
  }
  return count;
}

class LongRimJobTest : public ConvertFormsTest {
 protected:
  // Twelve photographs, converted with ICA bases (slow enough to stop).
  void startLongJob() {
    for (int i = 0; i < 12; ++i)
      writePhoto(temp.file("source/p" + std::to_string(100 + i) + ".png"), "garden.jpg", 160);
    prepareRim(source(), save());
    rim()->basesCombo()->setCurrentIndex(1);
    QTest::mouseClick(rim()->convertButton(), Qt::LeftButton);
    ASSERT_TRUE(rim()->IsConverting());
    ASSERT_TRUE(doc->IsBusy());
    // Under way: the bar and the line show the file in hand.
    ASSERT_TRUE(waitUntil([&] { return rim()->progressBar()->value() >= 1; }));
    EXPECT_EQ(rim()->progressBar()->maximum(), 12);
    EXPECT_TRUE(rim()->jobStatusLabel()->text().startsWith("Converting "));
  }
};

TEST_F(LongRimJobTest, CancelStopsAfterTheFileInHandAndSaysHowManyWereConverted) {
  startLongJob();
  QSignalSpy finished(rim(), &CConvertForm::conversionFinished);
  QTest::mouseClick(rim()->cancelButton(), Qt::LeftButton);
  ASSERT_TRUE(waitUntil([&] { return finished.count() > 0; }));
  const int written = wholeRimFiles(save());
  EXPECT_GE(written, 1);
  EXPECT_LT(written, 12);
  const QString said =
      QStringLiteral("Conversion cancelled: %1 of 12 files converted.").arg(written);
  EXPECT_EQ(messages, QStringList{said});
  EXPECT_EQ(rim()->jobStatusLabel()->text(), said);
  EXPECT_FALSE(doc->IsBusy());
  EXPECT_TRUE(rim()->convertButton()->isEnabled());
  EXPECT_TRUE(doc->convertNames().isEmpty());
}

TEST_F(LongRimJobTest, ClosingDuringAJobAsksAndCancelsOnYes) {
  startLongJob();
  // No: the window stays and the job goes on.
  questionAnswer = false;
  EXPECT_FALSE(frame->close());
  EXPECT_EQ(questions.size(), 1);
  EXPECT_TRUE(frame->isVisible());
  EXPECT_TRUE(doc->IsBusy());
  // Yes: cancelled, the file in hand finished, the window closed.
  questionAnswer = true;
  EXPECT_TRUE(frame->close());
  EXPECT_EQ(questions.size(), 2);
  EXPECT_FALSE(frame->isVisible());
  EXPECT_FALSE(doc->IsBusy());
  EXPECT_LT(wholeRimFiles(save()), 12);
  QCoreApplication::processEvents();
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(ConvertFormsTest, ClosingWithoutAJobAsksNothing) {
  EXPECT_TRUE(frame->close());
  EXPECT_TRUE(questions.isEmpty());
}

TEST_F(ConvertFormsTest, BmpConversionCountsAndNamesTheFilesThatFailed) {
  writeRimFile(temp.file("source/a.rim"), 64, 48, false);
  writeRimFile(temp.file("source/c.rim"), 48, 64, true);
  writeImage(temp.file("source/b.bmp"), 16, 16);
  frame->tabView()->setCurrentIndex(CTabView::kConvertToBmp);
  chooseFolder(source());
  bmp()->saveDirEdit()->setText(QString::fromStdString(save()));

  QStringList shown;
  QObject::connect(bmp()->progressBar(), &QProgressBar::valueChanged, [&](int value) {
    shown << QStringLiteral("%1 %2").arg(bmp()->counterLabel()->text()).arg(value);
  });
  convertAndWait(bmp());
  EXPECT_EQ(messages,
            QStringList{QString::fromStdString("Failed conversion of these files!\n" + source() +
                                               "/b.bmp: cannot decode: Invalid file type.\n")});
  EXPECT_EQ(shown, (QStringList{"2/3 1", "3/3 2", " 0"}));
  EXPECT_EQ(bmp()->progressBar()->maximum(), 3);
  EXPECT_TRUE(bmp()->counterLabel()->text().isEmpty());
  EXPECT_TRUE(doc->convertNames().isEmpty());
  EXPECT_TRUE(bmp()->convertButton()->isEnabled());

  const QImage a(QString::fromStdString(save() + "/a.bmp"), "BMP");
  EXPECT_EQ(a.size(), QSize(64, 48));
  EXPECT_EQ(QImage(QString::fromStdString(save() + "/c.bmp"), "BMP").size(), QSize(48, 64));
  EXPECT_FALSE(fs::exists(save() + "/b.bmp"));
}

TEST_F(ConvertFormsTest, BmpConversionOfNothingOrIntoNowhere) {
  frame->tabView()->setCurrentIndex(CTabView::kConvertToBmp);
  chooseFolder(source());
  bmp()->saveDirEdit()->setText(QString::fromStdString(save()));
  convertAndWait(bmp());
  EXPECT_EQ(messages, QStringList{"Finished converting to BMP images!"});
  // No busy animation is left on the bar.
  EXPECT_GT(bmp()->progressBar()->maximum(), 0);

  // Without a save folder every file fails, and nothing lands anywhere else.
  writeRimFile(temp.file("source/a.rim"), 32, 32, false);
  chooseFolder(source());
  for (const std::string& bad : {temp.file("nowhere"), std::string()}) {
    messages.clear();
    bmp()->saveDirEdit()->setText(QString::fromStdString(bad));
    convertAndWait(bmp());
    EXPECT_EQ(messages,
              QStringList{QString::fromStdString("Failed conversion of these files!\n" + source() +
                                                 "/a.rim: the save folder does not exist\n")});
  }
  EXPECT_FALSE(fs::exists("/a.bmp"));
}

}  // namespace
}  // namespace shell_testing
