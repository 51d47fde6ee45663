// The application, document and main window that the shell tests drive,
// offscreen, with messages and file dialogs answered without modal boxes.
#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <ostream>
#include <string>

#include "shell/file_dialogs.h"
#include "shell/messages.h"
#include "support/qt_events.h"
#include "support/test_support.h"

class CFolimDoc;
class CListViewEx;
class CMainFrame;
class COriginalImage;
class CRetrievalView;

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
  *os << '"' << text.toStdString() << '"';
}

namespace shell_testing {

using testing_support::waitUntil;
using testing_support::writeUnreadableImages;

// The one application object of the test program (settings kept in a
// temporary folder).
void ensureApplication();

// Writes a w x h PNG image (a colour gradient) at path.
void writeImage(const std::string& path, int width, int height);
// Writes a RIM file of a w x h image with PCA (ica = false) or ICA bases.
void writeRimFile(const std::string& path, int width, int height, bool ica);

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Processes events until the current page is loaded (fails after 20 s).
  void waitForThumbnails();
  // Lists dir as if it was chosen in the tree, and waits for its first page.
  void chooseFolder(const std::string& dir);
  // Answers the next file dialog with path and saves the current image
  // there (path "" cancels).
  void saveAs(const std::string& path);

  CListViewEx* list();
  COriginalImage* fullSize();
  CRetrievalView* retrievalForm();

  std::unique_ptr<CFolimDoc> doc;
  std::unique_ptr<CMainFrame> frame;
  QStringList messages;
  // What the next file dialogs answer, in order (an empty text is Cancel).
  QStringList dialogAnswers;
  int dialogsShown = 0;
  // What the next folder pickers answer, and the titles they were shown with.
  QStringList folderAnswers;
  QStringList folderTitles;
  // Where the file dialogs and folder pickers started, in order.
  QStringList dialogStartDirs;
  // Questions asked, and the answer every one gets.
  QStringList questions;
  bool questionAnswer = true;
  // Messages that arrived on a thread other than the windows' own.
  std::atomic<int> messagesOffWindowThread{0};
  testing_support::TempDir temp;

 private:
  MessageHandler previousMessages_;
  FileDialogHandler previousDialogs_;
  FolderDialogHandler previousFolderDialogs_;
  QuestionHandler previousQuestions_;
};

}  // namespace shell_testing
