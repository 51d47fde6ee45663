#include "shell/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

#include "shell/about_dialog.h"
#include "shell/folim_app.h"
#include "shell/folim_doc.h"
#include "shell/job_form.h"
#include "shell/list_view_ex.h"
#include "shell/recent_files.h"
#include "shell/tab_view.h"
#include "shell/tree_view_ex.h"

CMainFrame::CMainFrame(CRecentFileList* recent) : recent_(recent) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowIcon(folimIcon());
  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  createPanes();
  OnUpdateFrameTitle();
  qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::createActions() {
  open_ = new QAction(QStringLiteral("開く...\tCtrl+O(&O)"), this);
  open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  open_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  open_->setStatusTip(QStringLiteral("既存のファイルを開きます"));
  open_->setToolTip(QStringLiteral("開く"));
  connect(open_, &QAction::triggered, this, [] {
    if (CFolimDoc* doc = GetFolimDoc()) doc->OnFileOpen();
  });

  save_ = new QAction(QStringLiteral("保存\tCtrl+S(&S)"), this);
  save_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  save_->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  save_->setStatusTip(QStringLiteral("選択した画像を保存します"));
  save_->setToolTip(QStringLiteral("保存"));
  connect(save_, &QAction::triggered, this, [] {
    if (CFolimDoc* doc = GetFolimDoc()) doc->OnFileSave();
  });

  // New has a key but no menu item.
  new_ = new QAction(this);
  new_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  connect(new_, &QAction::triggered, this, &CMainFrame::OnFileNew);
  addAction(new_);

  exit_ = new QAction(QStringLiteral("アプリケーションの終了(&X)"), this);
  exit_->setStatusTip(QStringLiteral("アプリケーションを終了します"));
  connect(exit_, &QAction::triggered, this, &QWidget::close);

  toggleToolBar_ = new QAction(QStringLiteral("ツール バー(&T)"), this);
  toggleToolBar_->setCheckable(true);
  toggleToolBar_->setChecked(true);
  toggleToolBar_->setStatusTip(QStringLiteral("ツール バーの表示/非表示を切り替えます"));

  toggleStatusBar_ = new QAction(QStringLiteral("ステータス バー(&S)"), this);
  toggleStatusBar_->setCheckable(true);
  toggleStatusBar_->setChecked(true);
  toggleStatusBar_->setStatusTip(QStringLiteral("ステータス バーの表示/非表示を切り替えます"));

  about_ = new QAction(QStringLiteral("バージョン情報 Folim(&A)..."), this);
  about_->setStatusTip(QStringLiteral("プログラムのバージョン情報を表示します"));
  connect(about_, &QAction::triggered, this, [this] {
    if (auto* app = qobject_cast<CFolimApp*>(QCoreApplication::instance())) {
      app->OnAppAbout();
    } else {
      CAboutDlg(this).exec();
    }
  });

  // F6 and Shift+F6 move the focus to the next and the previous pane.
  auto* next = new QShortcut(QKeySequence(Qt::Key_F6), this);
  connect(next, &QShortcut::activated, this, [this] { focusPane(1); });
  auto* previous = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6), this);
  connect(previous, &QShortcut::activated, this, [this] { focusPane(-1); });
}

void CMainFrame::createMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  fileMenu_->addAction(open_);
  fileMenu_->addAction(save_);
  fileMenu_->addSeparator();
  recentSeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(exit_);
  refreshRecentFiles();

  QMenu* view = menuBar()->addMenu(QStringLiteral("表示(&V)"));
  view->addAction(toggleToolBar_);
  view->addAction(toggleStatusBar_);

  QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
  help->addAction(about_);
}

void CMainFrame::refreshRecentFiles() {
  for (QAction* action : recentActions_) {
    fileMenu_->removeAction(action);
    action->deleteLater();
  }
  recentActions_.clear();
  const QStringList entries = recent_ != nullptr ? recent_->entries() : QStringList();
  if (entries.isEmpty()) {
    auto* placeholder = new QAction(QStringLiteral("最近使ったファイル"), this);
    placeholder->setEnabled(false);
    recentActions_ << placeholder;
  }
  for (int i = 0; i < entries.size(); ++i) {
    const QString path = entries[i];
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this);
    action->setStatusTip(QStringLiteral("このファイルを開きます"));
    connect(action, &QAction::triggered, this, [this, path] {
      // A file that has gone since leaves the list instead of opening empty.
      if (!QFileInfo::exists(path)) {
        if (recent_ != nullptr) recent_->remove(path);
        refreshRecentFiles();
        return;
      }
      if (CFolimDoc* doc = GetFolimDoc()) doc->OpenImage(path);
    });
    recentActions_ << action;
  }
  fileMenu_->insertActions(recentSeparator_, recentActions_);
}

void CMainFrame::createToolBar() {
  toolBar_ = addToolBar(QStringLiteral("ツール バー"));
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  toolBar_->setIconSize(QSize(16, 15));
  toolBar_->setMovable(true);
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  toolBar_->addAction(open_);
  toolBar_->addAction(save_);
  setDockOptions(dockOptions() | QMainWindow::AnimatedDocks);
  connect(toggleToolBar_, &QAction::toggled, toolBar_, &QWidget::setVisible);
  connect(toolBar_, &QToolBar::visibilityChanged, toggleToolBar_, &QAction::setChecked);
}

void CMainFrame::createStatusBar() {
  idle_ = new QLabel(QStringLiteral("レディ"));
  statusBar()->addWidget(idle_, 1);
  auto indicator = [this](const QString& name) {
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(name) + 12);
    statusBar()->addPermanentWidget(label);
    return label;
  };
  capsLock_ = indicator(QStringLiteral("CAP"));
  numLock_ = indicator(QStringLiteral("NUM"));
  scrollLock_ = indicator(QStringLiteral("SCRL"));
  connect(toggleStatusBar_, &QAction::toggled, statusBar(), &QWidget::setVisible);
}

QList<QLabel*> CMainFrame::indicators() const { return {capsLock_, numLock_, scrollLock_}; }

void CMainFrame::setIndicator(QLabel* label, bool on) {
  label->setText(on ? label->objectName() : QString());
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  // The lock states are known only from the keys pressed while running: an
  // indicator shows its name while its lock is on.
  if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (!key->isAutoRepeat()) {
      if (key->key() == Qt::Key_CapsLock) setIndicator(capsLock_, capsLock_->text().isEmpty());
      if (key->key() == Qt::Key_NumLock) setIndicator(numLock_, numLock_->text().isEmpty());
      if (key->key() == Qt::Key_ScrollLock) {
        setIndicator(scrollLock_, scrollLock_->text().isEmpty());
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void CMainFrame::createPanes() {
  outer_ = new QSplitter(Qt::Horizontal, this);
  outer_->setObjectName(QStringLiteral("outerSplitter"));
  outer_->setChildrenCollapsible(false);
  tree_ = new CTreeViewEx;
  inner_ = new QSplitter(Qt::Vertical);
  inner_->setObjectName(QStringLiteral("innerSplitter"));
  inner_->setChildrenCollapsible(false);
  tabs_ = new CTabView;
  list_ = new CListViewEx;
  inner_->addWidget(tabs_);
  inner_->addWidget(list_);
  outer_->addWidget(tree_);
  outer_->addWidget(inner_);
  outer_->setStretchFactor(1, 1);
  inner_->setStretchFactor(1, 1);
  setCentralWidget(outer_);
}

void CMainFrame::applyInitialPaneSizes() {
  const int w = width();
  const int h = height();
  const int treeWidth = static_cast<int>(w * 0.25);
  const int tabHeight = static_cast<int>(h * 0.425);
  const int restWidth = std::max(outer_->width() - outer_->handleWidth() - treeWidth, 1);
  const int restHeight = std::max(inner_->height() - inner_->handleWidth() - tabHeight, 1);
  outer_->setSizes({treeWidth, restWidth});
  inner_->setSizes({tabHeight, restHeight});
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (!panesSized_) {
    panesSized_ = true;
    applyInitialPaneSizes();
  }
}

void CMainFrame::OnUpdateFrameTitle() { setWindowTitle(QStringLiteral("Folim - Hobeka")); }

void CMainFrame::OnFileNew() {
  tree_->BuildRoot();
  tabs_->OnInitialUpdate();
  list_->OnInitialUpdate();
  OnUpdateFrameTitle();
}

void CMainFrame::focusPane(int step) {
  QList<QWidget*> panes = {tree_, tabs_->currentWidget(), list_};
  int current = -1;
  for (int i = 0; i < panes.size(); ++i) {
    QWidget* focus = QApplication::focusWidget();
    if (focus != nullptr && (focus == panes[i] || panes[i]->isAncestorOf(focus))) current = i;
  }
  const int count = static_cast<int>(panes.size());
  const int next = current < 0 ? 0 : ((current + step) % count + count) % count;
  QWidget* pane = panes[next];
  // In a form the focus goes to its first control that takes the Tab key.
  if (pane == tabs_->currentWidget()) {
    for (QWidget* child : tabs_->currentForm()->findChildren<QWidget*>()) {
      if (child->isVisible() && child->isEnabled() && (child->focusPolicy() & Qt::TabFocus)) {
        pane = child;
        break;
      }
    }
  }
  pane->setFocus(Qt::TabFocusReason);
}
