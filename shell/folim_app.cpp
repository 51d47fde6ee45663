#include "shell/folim_app.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "shell/about_dialog.h"
#include "shell/duplicates_model.h"
#include "shell/duplicates_view.h"
#include "shell/file_menu.h"
#include "shell/folim_doc.h"
#include "shell/info_panel.h"
#include "shell/keyboard_shortcuts.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/messages.h"
#include "shell/native_path.h"
#include "shell/original_image.h"
#include "shell/recent_files.h"
#include "shell/retrieval_view.h"
#include "shell/start_folder.h"
#include "shell/tab_view.h"
#include "shell/translations.h"
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
  setStyle(new CMenuTextStyle);
  applyFormFont(*this);
  installTranslations(QLocale::system());
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
  parser.addPositionalArgument(
      QStringLiteral("PATH"),
      QStringLiteral("folder to list, or image to show, at start (default: the last folder)"));
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
  const QCommandLineOption sort(
      QStringLiteral("sort"),
      QStringLiteral("the order of the list: name, date-taken, modified or size (the last two "
                     "latest and largest first)"),
      QStringLiteral("KEY"));
  parser.addOption(sort);
  const QCommandLineOption info(QStringLiteral("info"),
                                QStringLiteral("show the information panel"));
  parser.addOption(info);
  const QCommandLineOption pictureZoom(
      QStringLiteral("picture-zoom"),
      QStringLiteral("with --screenshot and an image: a picture of its full-size window instead, "
                     "zoomed to PERCENT (0 fits it to the window)"),
      QStringLiteral("PERCENT"));
  parser.addOption(pictureZoom);
  const QCommandLineOption fullScreen(
      QStringLiteral("full-screen"),
      QStringLiteral("with --screenshot and an image: its full-size window full screen"));
  parser.addOption(fullScreen);
  const QCommandLineOption duplicates(
      QStringLiteral("duplicates"),
      QStringLiteral("with --screenshot: a picture of the Duplicates window on the folder, its "
                     "groups found and the largest of each kept"));
  parser.addOption(duplicates);
  const QCommandLineOption contextMenu(
      QStringLiteral("context-menu"),
      QStringLiteral("with --screenshot: a picture of the thumbnails with the menu of the first "
                     "one open"));
  parser.addOption(contextMenu);
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
  frame_ = std::make_unique<CMainFrame>(*doc_, recent_.get());
  connect(doc_.get(), &CFolimDoc::fileUsed, frame_.get(), [this](const QString& path) {
    recent_->add(path);
    frame_->refreshRecentFiles();
  });

  // The size and panes of the last session, else a size that suits the
  // screen.
  if (!frame_->restoreLayout()) {
    const QRect area = frame_->screen()->availableGeometry();
    frame_->resize(std::min(1200, area.width() * 9 / 10), std::min(820, area.height() * 9 / 10));
  }
  if (parser.isSet(sort) && !sortFromArgument(parser.value(sort))) return false;
  if (parser.isSet(info)) frame_->infoPanel()->show();
  frame_->show();
  const QStringList positional = parser.positionalArguments();
  OpenAtStart(*doc_, *frame_, positional.isEmpty() ? QString() : positional.first());
  if (parser.isSet(screenshot)) {
    if (parser.isSet(duplicates)) {
      takeDuplicatesScreenshot(parser.value(screenshot));
    } else if (parser.isSet(contextMenu)) {
      takeMenuScreenshot(parser.value(screenshot));
    } else if (parser.isSet(pictureZoom) || parser.isSet(fullScreen)) {
      takePictureScreenshot(parser.value(screenshot), parser.value(pictureZoom).toDouble() / 100.0,
                            parser.isSet(fullScreen));
    } else {
      takeScreenshot(parser.value(screenshot), tabIndex, parser.isSet(search));
    }
  }
  return true;
}

bool CFolimApp::sortFromArgument(const QString& key) {
  const std::pair<QString, SortKey> keys[] = {{QStringLiteral("name"), SortKey::Name},
                                              {QStringLiteral("date-taken"), SortKey::DateTaken},
                                              {QStringLiteral("modified"), SortKey::Modified},
                                              {QStringLiteral("size"), SortKey::Size}};
  for (const auto& [name, value] : keys) {
    if (name != key) continue;
    ListOrder order;
    order.key = value;
    // Photographs as they were taken; the largest and the latest changed
    // first.
    order.descending = value == SortKey::Size || value == SortKey::Modified;
    doc_->SetOrder(order);
    return true;
  }
  std::fputs("folim: --sort expects name, date-taken, modified or size\n", stderr);
  return false;
}

bool CFolimApp::OpenAtStart(CFolimDoc& doc, CMainFrame& frame, const QString& argument) {
  QString folder;
  QString file;
  if (argument.isEmpty()) {
    // The first start, or a last folder that has gone, opens the pictures.
    folder = StartFolder(QSettings().value(QStringLiteral("lastFolder")).toString());
    if (folder.isEmpty()) return false;
  } else {
    const QFileInfo info(argument);
    if (!info.exists()) {
      showMessage(tr("%1\nThis file cannot be found.").arg(argument));
      return false;
    }
    if (info.isDir()) {
      folder = info.absoluteFilePath();
    } else {
      folder = info.absolutePath();
      file = info.absoluteFilePath();
    }
  }
  frame.treeView()->selectPath(folder);
  if (file.isEmpty()) return true;
  // The page that holds the file, then the file itself at full size.
  const std::string wanted = toNativePath(file);
  for (std::size_t i = 0; i < doc.entries().size(); ++i) {
    if (doc.entries()[i].path != wanted) continue;
    doc.ChoosePage(static_cast<int>(i / CFolimDoc::ITEMS_PER_PAGE));
    break;
  }
  doc.OpenImage(file);
  return true;
}

void CFolimApp::afterThumbnails(const std::function<void()>& then) {
  // Dates taken are read before the page they order loads.
  if (doc_->IsLoadingThumbnails() || doc_->IsReadingDates()) {
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
    CRetrievalView* retrieval = frame_->tabView()->retrievalView();
    // The search runs in the background: the picture waits for its ranking
    // and the ranking's thumbnails.
    auto connection = std::make_shared<QMetaObject::Connection>();
    *connection = connect(
        retrieval, &CRetrievalView::searchFinished, this,
        [this, connection, list, save] {
          disconnect(*connection);
          afterThumbnails([list, save] {
            // The best match, the query itself, selected again.
            if (list->count() > 0) list->setCurrentRow(0);
            save();
          });
        },
        Qt::QueuedConnection);
    retrieval->Search();
  });
}

void CFolimApp::takePictureScreenshot(const QString& file, double zoom, bool fullScreen) {
  afterThumbnails([this, file, zoom, fullScreen] {
    COriginalImage* window = frame_->listView()->fullSizeWindow();
    if (!window->isVisible()) {
      std::fputs("folim: --picture-zoom and --full-screen need an image to show\n", stderr);
      exit(1);
      return;
    }
    window->setFullScreen(fullScreen);
    // The zoom once the window has its final size.
    QTimer::singleShot(200, this, [this, window, file, zoom] {
      window->zoomTo(zoom);
      QTimer::singleShot(300, this, [this, window, file] {
        QDir().mkpath(QFileInfo(file).absolutePath());
        exit(window->grab().save(file) ? 0 : 1);
      });
    });
  });
}

namespace {

bool savePicture(const QPixmap& picture, const QString& file) {
  QDir().mkpath(QFileInfo(file).absolutePath());
  return picture.save(file);
}

}  // namespace

void CFolimApp::takeDuplicatesScreenshot(const QString& file) {
  afterThumbnails([this, file] {
    CDuplicatesView* view = frame_->duplicatesView();
    view->resize(1000, 640);
    view->foldersEdit()->setText(doc_->currentDir());
    view->show();
    connect(
        view->model(), &CDuplicatesModel::finished, this,
        [this, view, file](const QString& failure) {
          if (!failure.isEmpty()) {
            std::fprintf(stderr, "folim: %s\n", failure.toLocal8Bit().constData());
            exit(1);
            return;
          }
          view->model()->KeepLargest();
          QTimer::singleShot(300, this,
                             [this, view, file] { exit(savePicture(view->grab(), file) ? 0 : 1); });
        },
        Qt::QueuedConnection);
    view->FindDuplicates();
  });
}

void CFolimApp::takeMenuScreenshot(const QString& file) {
  afterThumbnails([this, file] {
    CListViewEx* list = frame_->listView();
    if (list->count() == 0) {
      std::fputs("folim: --context-menu needs a folder with pictures\n", stderr);
      exit(1);
      return;
    }
    list->setCurrentRow(0);
    const QRect cell = list->visualItemRect(list->item(0));
    QMenu* menu = list->fileMenu();
    menu->popup(list->viewport()->mapToGlobal(cell.center()));
    QTimer::singleShot(300, this, [this, list, menu, file] {
      // The menu is a window of its own: drawn onto the list where it
      // stands. The picture keeps to the forms and the list.
      QPixmap window = frame_->grab();
      {
        QPainter painter(&window);
        painter.drawPixmap(frame_->mapFromGlobal(menu->pos()), menu->grab());
      }
      const QWidget* panes = list->parentWidget();
      const QRect area(panes->mapTo(frame_.get(), QPoint(0, 0)), panes->size());
      exit(savePicture(window.copy(area), file) ? 0 : 1);
    });
  });
}

void CFolimApp::OnAppAbout() {
  CAboutDlg dialog(frame_.get());
  dialog.exec();
}
