#include "shell/folim_app.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "shell/about_dialog.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/messages.h"
#include "shell/recent_files.h"
#include "shell/retrieval_view.h"
#include "shell/tab_view.h"
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
  const QCommandLineOption tab(
      QStringLiteral("tab"),
      QStringLiteral("with --screenshot: the form shown, retrieval, convert-rim or convert-bmp"),
      QStringLiteral("NAME"), QStringLiteral("retrieval"));
  parser.addOption(tab);
  const QCommandLineOption search(
      QStringLiteral("search"),
      QStringLiteral("with --screenshot: search the folder for its first image before the "
                     "picture is taken"));
  parser.addOption(search);
  parser.process(arguments());
  const QStringList tabNames = {QStringLiteral("retrieval"), QStringLiteral("convert-rim"),
                                QStringLiteral("convert-bmp")};
  const int tabIndex = static_cast<int>(tabNames.indexOf(parser.value(tab)));
  if (tabIndex < 0) {
    std::fputs("folim: --tab expects retrieval, convert-rim or convert-bmp\n", stderr);
    return false;
  }

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
    // A file (opened from a file manager) is taken into the recent list and
    // its folder is listed, so that its thumbnail is there to open.
    if (info.isDir()) {
      folder = info.absoluteFilePath();
    } else {
      recent_->add(info.absoluteFilePath());
      frame_->refreshRecentFiles();
      folder = info.absolutePath();
    }
  }

  const QRect area = frame_->screen()->availableGeometry();
  frame_->resize(std::min(1200, area.width() * 9 / 10), std::min(820, area.height() * 9 / 10));
  frame_->show();
  if (!folder.isEmpty()) frame_->treeView()->selectPath(folder);
  if (parser.isSet(screenshot)) {
    takeScreenshot(parser.value(screenshot), tabIndex, parser.isSet(search));
  }
  return true;
}

void CFolimApp::afterThumbnails(const std::function<void()>& then) {
  if (doc_->IsLoadingThumbnails()) {
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(
        doc_.get(), &CFolimDoc::thumbnailsLoaded, this,
        [connection, then] {
          disconnect(*connection);
          then();
        },
        Qt::QueuedConnection);
  } else {
    QTimer::singleShot(0, this, then);
  }
}

void CFolimApp::takeScreenshot(const QString& file, int tab, bool search) {
  auto save = [this, file] {
    // Let the selection and the query box paint before the picture is taken.
    QTimer::singleShot(300, this, [this, file] {
      QDir().mkpath(QFileInfo(file).absolutePath());
      const bool saved = frame_->grab().save(file);
      exit(saved ? 0 : 1);
    });
  };
  afterThumbnails([this, tab, search, save] {
    frame_->tabView()->setCurrentIndex(tab);
    CListViewEx* list = frame_->listView();
    if (list->count() > 0) list->setCurrentRow(0);
    if (!search) {
      save();
      return;
    }
    frame_->tabView()->retrievalView()->Search();
    afterThumbnails([list, save] {
      // The best match, the query itself, selected again.
      if (list->count() > 0) list->setCurrentRow(0);
      save();
    });
  });
}

void CFolimApp::OnAppAbout() {
  CAboutDlg dialog(frame_.get());
  dialog.exec();
}
