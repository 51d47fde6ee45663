#include "shell_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>
#include <QThread>
#include <cstdlib>

#include "codec/rim_codec.h"
#include "shell/folim_app.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/original_image.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
#include "shell/translations.h"
#include "shell/tree_view_ex.h"

namespace shell_testing {

namespace {

// The application lives from before the first test to after the last, and
// goes while the program still runs (not among the static destructors, where
// Qt's own globals may be gone already).
class ApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ensureApplication(); }
  void TearDown() override {
    application().reset();
    settingsDir().reset();
  }

  static std::unique_ptr<CFolimApp>& application() {
    static std::unique_ptr<CFolimApp> app;
    return app;
  }
  static std::unique_ptr<testing_support::TempDir>& settingsDir() {
    static std::unique_ptr<testing_support::TempDir> dir;
    return dir;
  }
};

::testing::Environment* const environment =
    ::testing::AddGlobalTestEnvironment(new ApplicationEnvironment);

}  // namespace

void ensureApplication() {
  auto& app = ApplicationEnvironment::application();
  if (app) return;
  auto& settingsDir = ApplicationEnvironment::settingsDir();
  settingsDir = std::make_unique<testing_support::TempDir>();
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                     QString::fromStdString(settingsDir->path()));
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope,
                     QString::fromStdString(settingsDir->path()));
  // The signature index and thumbnail cache of the tests stay out of the
  // home folder; set before any thread runs.
  ::setenv("XDG_CACHE_HOME", (settingsDir->path() + "/cache").c_str(), 1);
  static int argc = 1;
  static char name[] = "shell_tests";
  static char* argv[] = {name, nullptr};
  app = std::make_unique<CFolimApp>(argc, argv);
  // The tests read English captions whatever the machine's language.
  installTranslations(QLocale(QLocale::English));
}

void writeImage(const std::string& path, int width, int height) {
  QImage image(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      image.setPixel(
          x, y, qRgb((x * 255) / std::max(width - 1, 1), (y * 255) / std::max(height - 1, 1), 90));
    }
  }
  ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG")) << path;
}

void writeRimFile(const std::string& path, int width, int height, bool ica) {
  QImage picture(width, height, QImage::Format_RGB32);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Texture with structure in every direction, so that learning has
      // something to find.
      picture.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * x + y) % 256, (x * y) % 256));
    }
  }
  CImage raster;
  ASSERT_TRUE(raster.Create(width, height, 24));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const QRgb c = picture.pixel(x, y);
      raster.SetPixel(x, y, makeColorWord(qRed(c), qGreen(c), qBlue(c)));
    }
  }
  CommonParameters common;
  LearningParameters learning;
  CompressionParameters compression;
  setDefaultParameters(common, learning, compression);
  learning.MaxIterations = ica ? 20 : 0;
  testing_support::TraceCapture quiet;
  CRIMCodec codec;
  ASSERT_EQ(codec.setParameters(&common, &learning, &compression), 0);
  ASSERT_EQ(codec.encodeFile(path, raster, nullptr), 0) << path;
}

void ShellTest::SetUp() {
  ensureApplication();
  // Each test starts from no settings: what one window remembered (its
  // place, the last folder) is no other test's start.
  QSettings().clear();
  previousMessages_ = setMessageHandler([this](const QString& text) {
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
      ++messagesOffWindowThread;
      return;
    }
    messages << text;
  });
  previousDialogs_ = setFileDialogHandler([this](FileDialogKind, const QString& startDir) {
    ++dialogsShown;
    dialogStartDirs << startDir;
    return dialogAnswers.isEmpty() ? QString() : dialogAnswers.takeFirst();
  });
  previousFolderDialogs_ =
      setFolderDialogHandler([this](const QString& title, const QString& startDir) {
        folderTitles << title;
        dialogStartDirs << startDir;
        return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
      });
  previousQuestions_ = setQuestionHandler([this](const QString& text) {
    questions << text;
    return questionAnswer;
  });
  doc = std::make_unique<CFolimDoc>();
  frame = std::make_unique<CMainFrame>(*doc);
  frame->resize(1000, 700);
  frame->show();
}

void ShellTest::TearDown() {
  frame.reset();
  doc.reset();
  setMessageHandler(previousMessages_);
  setFileDialogHandler(previousDialogs_);
  setFolderDialogHandler(previousFolderDialogs_);
  setQuestionHandler(previousQuestions_);
}

void ShellTest::waitForThumbnails() {
  ASSERT_TRUE(waitUntil([&] { return !doc->IsLoadingThumbnails(); }, 20000))
      << "thumbnails still loading";
}

void ShellTest::chooseFolder(const std::string& dir) {
  frame->treeView()->SelectFolder(QString::fromStdString(dir));
  waitForThumbnails();
}

void ShellTest::saveAs(const std::string& path) {
  dialogAnswers << QString::fromStdString(path);
  testing_support::TraceCapture quiet;
  frame->OnFileSave();
}

CListViewEx* ShellTest::list() { return frame->listView(); }
COriginalImage* ShellTest::fullSize() { return list()->fullSizeWindow(); }
CRetrievalView* ShellTest::retrievalForm() { return frame->tabView()->retrievalView(); }

}  // namespace shell_testing
