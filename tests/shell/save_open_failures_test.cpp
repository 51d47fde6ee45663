// Saving and opening in the window when it goes wrong: nothing is written,
// and the message names the file and the cause. Extensions are matched
// without regard to case.
#include <QFileInfo>
#include <QImage>
#include <filesystem>

#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell_fixture.h"
#include "support/non_regular_files.h"

namespace shell_testing {
namespace {

struct SaveCase {
  const char* target;   // under the temporary folder
  const char* message;  // what the message says after the file's path ("" none)
  bool written;
};

class SaveFailures : public ShellTest, public ::testing::WithParamInterface<SaveCase> {
 protected:
  void selectFile(const std::string& name) {
    chooseFolder(temp.path());
    for (int row = 0; row < frame->listView()->count(); ++row) {
      frame->listView()->setCurrentRow(row);
      if (doc->currentPath().toStdString() == temp.file(name)) return;
    }
    FAIL() << name << " is not listed";
  }
};

TEST_P(SaveFailures, SayWhatWentWrong) {
  const SaveCase& c = GetParam();
  writeImage(temp.file("pic.png"), 64, 48);
  selectFile("pic.png");
  const std::string target = temp.file(c.target);
  saveAs(target);
  EXPECT_EQ(std::filesystem::exists(target), c.written) << c.target;
  if (*c.message == '\0') {
    EXPECT_TRUE(messages.isEmpty()) << messages.join("|").toStdString();
  } else {
    EXPECT_EQ(messages,
              QStringList{QString::fromStdString("Cannot save " + target + ": " + c.message)});
  }
}

INSTANTIATE_TEST_SUITE_P(
    Targets, SaveFailures,
    ::testing::Values(SaveCase{"upper.RIM", "", true}, SaveCase{"upper.PNG", "", true},
                      SaveCase{"copy.xyz", "no image format for the extension '.xyz'", false},
                      SaveCase{"noextension", "no image format for the extension ''", false},
                      SaveCase{"missing/x.rim", "cannot write: No such file or directory", false},
                      SaveCase{"missing/x.bmp", "cannot write: No such file or directory", false}));

// A device, FIFO or socket at the chosen name is left as it is.
class SaveOverSpecialFile : public ShellTest,
                            public ::testing::WithParamInterface<testing_support::SpecialFile> {};

TEST_P(SaveOverSpecialFile, IsRefusedAndKept) {
  const std::string why = testing_support::cannotMake(GetParam());
  if (!why.empty()) GTEST_SKIP() << why;
  writeImage(temp.file("pic.png"), 64, 48);
  doc->SelectImage(QString::fromStdString(temp.file("pic.png")));
  for (const char* name : {"x.rim", "x.png", "x.bmp"}) {
    const std::string target = temp.file(name);
    ASSERT_TRUE(testing_support::makeSpecialFile(target, GetParam())) << name;
    messages.clear();
    dialogAnswers << QString::fromStdString(target);
    testing_support::TraceCapture quiet;
    frame->OnFileSave();
    waitForSaving();
    EXPECT_EQ(messages, QStringList{QString::fromStdString(
                            "Cannot save " + target + ": cannot write: is not a regular file")});
    EXPECT_TRUE(testing_support::isSpecialFile(target, GetParam())) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, SaveOverSpecialFile,
                         ::testing::ValuesIn(testing_support::kSpecialFiles),
                         testing_support::specialFileTestName);

TEST_F(SaveFailures, DamagedSourceIsNamedWithItsCause) {
  // A photograph cut short: the viewer shows what decodes, a save refuses.
  const std::string bytes =
      testing_support::readFileBytes(testing_support::examplesPath("aqua.jpg"));
  testing_support::writeFileBytes(temp.file("cut.jpg"), bytes.substr(0, bytes.size() / 2));
  selectFile("cut.jpg");
  saveAs(temp.file("cut.rim"));
  EXPECT_FALSE(std::filesystem::exists(temp.file("cut.rim")));
  EXPECT_EQ(messages, QStringList{QString::fromStdString(
                          "Cannot save " + temp.file("cut.rim") + ": " + temp.file("cut.jpg") +
                          ": the file is damaged: its image data is cut short")});
}

TEST_F(SaveFailures, DamagedRimSourceIsNamedWithItsCause) {
  writeRimFile(temp.file("whole.rim"), 64, 48, false);
  const std::string bytes = testing_support::readFileBytes(temp.file("whole.rim"));
  testing_support::writeFileBytes(temp.file("broken.rim"), bytes.substr(0, bytes.size() / 2));
  std::filesystem::remove(temp.file("whole.rim"));
  selectFile("broken.rim");
  saveAs(temp.file("copy.png"));
  EXPECT_FALSE(std::filesystem::exists(temp.file("copy.png")));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(
      messages[0].startsWith(QString::fromStdString("Cannot save " + temp.file("copy.png") + ": " +
                                                    temp.file("broken.rim") + ": cannot decode: ")))
      << messages[0].toStdString();
}

TEST_F(SaveFailures, OpeningADamagedFileSaysSo) {
  testing_support::writeFileBytes(temp.file("junk.png"), "not a picture at all");
  dialogAnswers << QString::fromStdString(temp.file("junk.png"));
  frame->OnFileOpen();
  ASSERT_EQ(messages.size(), 1) << messages.join("|").toStdString();
  EXPECT_TRUE(
      messages[0].startsWith(QString::fromStdString("Cannot open " + temp.file("junk.png") + ": ")))
      << messages[0].toStdString();
}

}  // namespace
}  // namespace shell_testing
