// The main window: menus, keys, toolbar, status bar, pane sizes, titles,
// About and the recent-file list.
#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

#include <QPushButton>

#include "shell/about_dialog.h"
#include "shell/convert2rim_view.h"
#include "shell/folim_doc.h"
#include "shell/list_view_ex.h"
#include "shell/main_frame.h"
#include "shell/progress_dialog.h"
#include "shell/recent_files.h"
#include "shell/tab_view.h"
#include "shell/translations.h"
#include "shell_fixture.h"

namespace shell_testing {
namespace {

QStringList captions(const QMenu* menu) {
  QStringList texts;
  for (const QAction* action : menu->actions()) {
    texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
  }
  return texts;
}

using MainFrameTest = ShellTest;

// The captions of one language: the menus, their items, the idle text of
// the status bar and a browse button of the forms.
struct LanguageCase {
  const char* locale;
  QStringList menus;
  QStringList fileItems;
  QStringList editItems;
  QStringList viewItems;
  QStringList helpItems;
  QString ready;
  QString browse;
  QString convert;
};

const LanguageCase kLanguages[] = {
    {"en_GB",
     {"&File", "&Edit", "&View", "&Help"},
     {"&Open...\tCtrl+O", "&Save\tCtrl+S", "-", "Recent Files", "-", "E&xit"},
     {"&Undo\tCtrl+Z", "Find &Duplicates...", "Signature &Index...", "-", "&Picture File"},
     {"&Toolbar", "&Status Bar", "-", "&Refresh	F5", "-", "&Information Panel	Ctrl+I", "Sort &By",
      "&Filter Names	Ctrl+F"},
     {"&Keyboard Shortcuts...", "&About Folim..."},
     "Ready",
     "Browse...",
     "Convert"},
    {"ja_JP",
     {"ファイル(&F)", "編集(&E)", "表示(&V)", "ヘルプ(&H)"},
     {"開く...\tCtrl+O(&O)", "保存\tCtrl+S(&S)", "-", "最近使ったファイル", "-",
      "アプリケーションの終了(&X)"},
     {"元に戻す\tCtrl+Z(&U)", "重複の検索(&D)...", "シグネチャのインデックス(&I)...", "-",
      "画像ファイル(&P)"},
     {"ツール バー(&T)", "ステータス バー(&S)", "-", "最新の情報に更新	F5(&R)", "-",
      "情報パネル(&I)	Ctrl+I", "並べ替え(&B)", "名前で絞り込み(&F)	Ctrl+F"},
     {"キーボード ショートカット(&K)...", "バージョン情報 Folim(&A)..."},
     "レディ",
     "参照",
     "変換"},
};

TEST_F(MainFrameTest, CaptionsFollowTheLocale) {
  for (const LanguageCase& language : kLanguages) {
    SCOPED_TRACE(language.locale);
    installTranslations(QLocale(QString::fromLatin1(language.locale)));
    CMainFrame shown(*doc);
    const QList<QAction*> top = shown.menuBar()->actions();
    // File, Edit, View, the full-size window's Picture menu, Help.
    ASSERT_EQ(top.size(), 5);
    EXPECT_EQ(top[3]->menu()->objectName(), "pictureMenu");
    QStringList menus;
    for (QAction* action : top) {
      if (action != top[3]) menus << action->text();
    }
    EXPECT_EQ(menus, language.menus);
    EXPECT_EQ(captions(top[0]->menu()), language.fileItems);
    EXPECT_EQ(captions(top[1]->menu()), language.editItems);
    EXPECT_EQ(captions(top[2]->menu()), language.viewItems);
    EXPECT_EQ(captions(top[4]->menu()), language.helpItems);
    EXPECT_EQ(shown.idleLabel()->text(), language.ready);
    EXPECT_EQ(shown.tabView()->convert2RimView()->browseTargetButton()->text(), language.browse);
    EXPECT_EQ(shown.tabView()->convert2RimView()->convertButton()->text(), language.convert);
  }
  installTranslations(QLocale(QLocale::English));
}

TEST_F(MainFrameTest, MenusCarryTheirKeys) {
  EXPECT_EQ(frame->openAction()->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_EQ(frame->saveAction()->shortcut(), QKeySequence("Ctrl+S"));
  EXPECT_EQ(frame->newAction()->shortcut(), QKeySequence("Ctrl+N"));
  EXPECT_EQ(frame->refreshAction()->shortcut(), QKeySequence("F5"));
  EXPECT_EQ(frame->toolBar()->actions(),
            (QList<QAction*>{frame->openAction(), frame->saveAction()}));
}

TEST_F(MainFrameTest, StatusBarShowsLockIndicators) {
  QStringList names;
  for (const QLabel* label : frame->indicators()) names << label->objectName();
  EXPECT_EQ(names, (QStringList{"CAP", "NUM", "SCRL"}));
}

TEST_F(MainFrameTest, ViewMenuHidesAndShowsBars) {
  frame->toolBarAction()->trigger();
  EXPECT_FALSE(frame->toolBar()->isVisible());
  frame->statusBarAction()->trigger();
  EXPECT_FALSE(frame->statusBar()->isVisible());
  frame->toolBarAction()->trigger();
  frame->statusBarAction()->trigger();
  EXPECT_TRUE(frame->toolBar()->isVisible());
  EXPECT_TRUE(frame->statusBar()->isVisible());
}

TEST_F(MainFrameTest, PanesStartAtAQuarterAndAt42Point5Percent) {
  frame->applyInitialPaneSizes();
  const int w = frame->width();
  const int h = frame->height();
  EXPECT_EQ(frame->outerSplitter()->sizes().at(0), static_cast<int>(w * 0.25));
  EXPECT_EQ(frame->innerSplitter()->sizes().at(0), static_cast<int>(h * 0.425));
  EXPECT_GT(frame->innerSplitter()->sizes().at(1), 0);
}

TEST_F(MainFrameTest, TitleFollowsTheSelectionAndFileNewResetsIt) {
  EXPECT_EQ(frame->windowTitle(), "Folim - Hobeka");
  writeImage(temp.file("pic.png"), 20, 10);
  chooseFolder(temp.path());
  frame->listView()->setCurrentRow(0);
  EXPECT_EQ(frame->windowTitle().toStdString(), "Folim - " + temp.file("pic.png"));
  frame->newAction()->trigger();
  EXPECT_EQ(frame->windowTitle(), "Folim - Hobeka");
  EXPECT_EQ(frame->listView()->count(), 0);
  // The document keeps its state.
  EXPECT_EQ(doc->entries().size(), 1u);
}

TEST_F(MainFrameTest, FileNewWhileAPageLoadsLeavesTheListEmpty) {
  writeUnreadableImages(temp.path(), 50);
  doc->SetDirectory(QString::fromStdString(temp.path()));
  doc->ResetPaging();
  frame->newAction()->trigger();
  EXPECT_FALSE(doc->IsLoadingThumbnails());
  QTest::qWait(100);
  EXPECT_EQ(frame->listView()->count(), 0);
  EXPECT_FALSE(frame->listView()->progressDialog()->isVisible());
}

TEST_F(MainFrameTest, RecentEntryOpensItsFileOrLeavesTheListWhenGone) {
  CRecentFileList recent;
  for (const QString& path : recent.entries()) recent.remove(path);
  writeImage(temp.file("kept.png"), 12, 10);
  recent.add(QString::fromStdString(temp.file("gone.png")));
  recent.add(QString::fromStdString(temp.file("kept.png")));
  frame = std::make_unique<CMainFrame>(*doc, &recent);
  frame->show();

  frame->fileMenu()->actions().at(4)->trigger();  // "&2 .../gone.png"
  EXPECT_EQ(recent.entries(), QStringList{QString::fromStdString(temp.file("kept.png"))});
  EXPECT_EQ(captions(frame->fileMenu()).at(4), "-");
  EXPECT_TRUE(doc->currentPath().isEmpty());

  frame->fileMenu()->actions().at(3)->trigger();  // "&1 .../kept.png"
  EXPECT_EQ(doc->currentPath().toStdString(), temp.file("kept.png"));
  EXPECT_EQ(doc->currentImage().GetWidth(), 12);
  for (const QString& path : recent.entries()) recent.remove(path);
  frame.reset();
}

TEST(AboutDialog, ShowsVersionInformation) {
  ensureApplication();
  CAboutDlg dialog;
  EXPECT_EQ(dialog.windowTitle(), "Folim version information");
  EXPECT_EQ(dialog.versionLabel()->text(), "Hobeka Version beta");
  EXPECT_FALSE(dialog.descriptionLabel()->text().isEmpty());
}

TEST(RecentFiles, KeepsTheFourLatestInSettings) {
  ensureApplication();
  {
    CRecentFileList list;
    for (const char* path : {"/a.jpg", "/b.jpg", "/c.jpg", "/d.jpg", "/e.jpg", "/c.jpg"}) {
      list.add(path);
    }
    EXPECT_EQ(list.entries(), (QStringList{"/c.jpg", "/e.jpg", "/d.jpg", "/b.jpg"}));
  }
  CRecentFileList reread;
  EXPECT_EQ(reread.entries(), (QStringList{"/c.jpg", "/e.jpg", "/d.jpg", "/b.jpg"}));
  EXPECT_EQ(QSettings().value("Recent File List/File1").toString(), "/c.jpg");

  CFolimDoc doc;
  CMainFrame frame(doc, &reread);
  QStringList texts = captions(frame.fileMenu());
  EXPECT_EQ(texts.mid(3, 4), (QStringList{"&1 /c.jpg", "&2 /e.jpg", "&3 /d.jpg", "&4 /b.jpg"}));
  for (const QString& path : reread.entries()) reread.remove(path);
}

}  // namespace
}  // namespace shell_testing
