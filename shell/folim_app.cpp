#include "shell/folim_app.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <algorithm>

#include "shell/about_dialog.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/messages.h"
#include "shell/recent_files.h"
#include "shell/tree_view_ex.h"

void applyFormFont(QApplication& app) {
  const QString family = QStringLiteral("IPAPGothic");
  if (QFontDatabase::families().contains(family)) {
    QFont font(family);
    font.setPointSize(9);
    app.setFont(font);
  }
}

CFolimApp::CFolimApp(int& argc, char** argv) : QApplication(argc, argv) {
  setOrganizationName(QStringLiteral("Folim"));
  setApplicationName(QStringLiteral("Folim"));
  setApplicationDisplayName(QString());
  setWindowIcon(folimIcon());
  applyFormFont(*this);
}

CFolimApp::~CFolimApp() {
  // Windows before the document they register in.
  frame_.reset();
  doc_.reset();
}

bool CFolimApp::InitInstance() {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Folim: image viewer with search by similarity"));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("FOLDER"), QStringLiteral("folder to list at start"));
  const QCommandLineOption screenshot(
      QStringLiteral("screenshot"),
      QStringLiteral("once the first page is loaded, select its first thumbnail, save a picture "
                     "of the main window to FILE and quit"),
      QStringLiteral("FILE"));
  parser.addOption(screenshot);
  parser.process(arguments());

  recent_ = std::make_unique<CRecentFileList>();
  doc_ = std::make_unique<CFolimDoc>();
  frame_ = std::make_unique<CMainFrame>(recent_.get());
  connect(doc_.get(), &CFolimDoc::fileUsed, frame_.get(), [this](const QString& path) {
    recent_->add(path);
    frame_->refreshRecentFiles();
  });

  QString folder;
  if (!parser.positionalArguments().isEmpty()) {
    const QString named = parser.positionalArguments().first();
    const QFileInfo info(named);
    if (!info.exists()) {
      showMessage(QStringLiteral("%1\nこのファイルは見つかりません。").arg(named));
      return false;
    }
    // A file is taken into the recent list and shows nothing, like the
    // document that has nothing to read from it.
    if (info.isDir()) {
      folder = info.absoluteFilePath();
    } else {
      recent_->add(info.absoluteFilePath());
      frame_->refreshRecentFiles();
    }
  }

  const QRect area = frame_->screen()->availableGeometry();
  frame_->resize(std::min(1200, area.width() * 9 / 10), std::min(820, area.height() * 9 / 10));
  frame_->show();
  if (!folder.isEmpty()) frame_->treeView()->selectPath(folder);
  if (parser.isSet(screenshot)) takeScreenshot(parser.value(screenshot));
  return true;
}

void CFolimApp::takeScreenshot(const QString& file) {
  auto save = [this, file] {
    if (frame_->listView()->count() > 0) frame_->listView()->setCurrentRow(0);
    // Let the selection and the query box paint before the picture is taken.
    QTimer::singleShot(200, this, [this, file] {
      QDir().mkpath(QFileInfo(file).absolutePath());
      const bool saved = frame_->grab().save(file);
      exit(saved ? 0 : 1);
    });
  };
  if (doc_->IsLoadingThumbnails()) {
    connect(doc_.get(), &CFolimDoc::thumbnailsLoaded, this, save, Qt::QueuedConnection);
  } else {
    QTimer::singleShot(0, this, save);
  }
}

void CFolimApp::OnAppAbout() {
  CAboutDlg dialog(frame_.get());
  dialog.exec();
}
