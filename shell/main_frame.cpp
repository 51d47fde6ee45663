#include "shell/main_frame.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <algorithm>

#include "shell/about_dialog.h"
#include "shell/duplicates_view.h"
#include "shell/file_commands.h"
#include "shell/file_dialogs.h"
#include "shell/file_menu.h"
#include "shell/folim_app.h"
#include "shell/folim_doc.h"
#include "shell/index_setting.h"
#include "shell/info_panel.h"
#include "shell/job_form.h"
#include "shell/keyboard_shortcuts.h"
#include "shell/list_view_ex.h"
#include "shell/messages.h"
#include "shell/original_image.h"
#include "shell/progress_dialog.h"
#include "shell/query_box.h"
#include "shell/recent_files.h"
#include "shell/retrieval_view.h"
#include "shell/rotation_model.h"
#include "shell/sort_bar.h"
#include "shell/tab_view.h"
#include "shell/tree_view_ex.h"

CMainFrame::CMainFrame(CFolimDoc& doc, CRecentFileList* recent) : doc_(doc), recent_(recent) {
  setObjectName(QStringLiteral("mainFrame"));
  setWindowIcon(folimIcon());
  createActions();
  createMenus();
  createToolBar();
  createStatusBar();
  createPanes();
  createPictureMenu();
  createEditMenu();
  wireDocument();
  createBrowseControls();
  OnUpdateFrameTitle();
  qApp->installEventFilter(this);
}

CMainFrame::~CMainFrame() {
  // The forms a job reports to go with the window: the job stops first.
  doc_.jobs().abandon();
}

void CMainFrame::createActions() {
  open_ = new QAction(tr("&Open...\tCtrl+O"), this);
  open_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  open_->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
  open_->setStatusTip(tr("Opens an existing file"));
  open_->setToolTip(tr("Open"));
  connect(open_, &QAction::triggered, this, &CMainFrame::OnFileOpen);

  save_ = new QAction(tr("&Save\tCtrl+S"), this);
  save_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  save_->setIcon(style()->standardIcon(QStyle::SP_DialogSaveButton));
  save_->setStatusTip(tr("Saves the selected image"));
  save_->setToolTip(tr("Save"));
  connect(save_, &QAction::triggered, this, &CMainFrame::OnFileSave);

  // New has a key but no menu item.
  new_ = new QAction(tr("New"), this);
  new_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
  connect(new_, &QAction::triggered, this, &CMainFrame::OnFileNew);
  addAction(new_);

  exit_ = new QAction(tr("E&xit"), this);
  exit_->setStatusTip(tr("Quits the application"));
  connect(exit_, &QAction::triggered, this, &QWidget::close);

  toggleToolBar_ = new QAction(tr("&Toolbar"), this);
  toggleToolBar_->setCheckable(true);
  toggleToolBar_->setChecked(true);
  toggleToolBar_->setStatusTip(tr("Shows or hides the toolbar"));

  toggleStatusBar_ = new QAction(tr("&Status Bar"), this);
  toggleStatusBar_->setCheckable(true);
  toggleStatusBar_->setChecked(true);
  toggleStatusBar_->setStatusTip(tr("Shows or hides the status bar"));

  about_ = new QAction(tr("&About Folim..."), this);
  about_->setStatusTip(tr("Shows the program's version information"));
  connect(about_, &QAction::triggered, this, [this] {
    if (auto* app = qobject_cast<CFolimApp*>(QCoreApplication::instance())) {
      app->OnAppAbout();
    } else {
      CAboutDlg(this).exec();
    }
  });

  refresh_ = new QAction(tr("&Refresh\tF5"), this);
  refresh_->setShortcut(QKeySequence(Qt::Key_F5));
  refresh_->setStatusTip(tr("Lists the folder again"));
  connect(refresh_, &QAction::triggered, &doc_, &CFolimDoc::Refresh);

  keys_ = new QAction(tr("&Keyboard Shortcuts..."), this);
  keys_->setShortcut(QKeySequence(Qt::Key_F1));
  keys_->setStatusTip(tr("Lists every key of the window"));
  connect(keys_, &QAction::triggered, this,
          [this] { CKeysDialog(ShortcutRows(allActions()), this).exec(); });

  // F6 and Shift+F6 move the focus to the next and the previous pane.
  auto* next = new QAction(tr("Next Pane"), this);
  next->setShortcut(QKeySequence(Qt::Key_F6));
  connect(next, &QAction::triggered, this, [this] { focusPane(1); });
  addAction(next);
  auto* previous = new QAction(tr("Previous Pane"), this);
  previous->setShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F6));
  connect(previous, &QAction::triggered, this, [this] { focusPane(-1); });
  addAction(previous);
}

QList<QAction*> CMainFrame::allActions() const {
  QList<QAction*> actions = findChildren<QAction*>();
  // The full-size window is a window of its own.
  actions += list_->fullSizeWindow()->actions();
  return actions;
}

void CMainFrame::createMenus() {
  fileMenu_ = menuBar()->addMenu(tr("&File"));
  fileMenu_->addAction(open_);
  fileMenu_->addAction(save_);
  fileMenu_->addSeparator();
  recentSeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(exit_);
  refreshRecentFiles();

  QMenu* view = menuBar()->addMenu(tr("&View"));
  view->addAction(toggleToolBar_);
  view->addAction(toggleStatusBar_);
  view->addSeparator();
  view->addAction(refresh_);
  viewMenu_ = view;

  helpMenu_ = menuBar()->addMenu(tr("&Help"));
  helpMenu_->addAction(keys_);
  helpMenu_->addAction(about_);
}

void CMainFrame::createPictureMenu() {
  // The full-size window's own actions: their keys work there and here.
  const COriginalImage* fullSize = list_->fullSizeWindow();
  auto* picture = new QMenu(tr("&Picture"), this);
  picture->setObjectName(QStringLiteral("pictureMenu"));
  picture->addAction(fullSize->fullScreenAction());
  picture->addAction(fullSize->slideshowAction());
  picture->addMenu(fullSize->intervalMenu());
  picture->addSeparator();
  picture->addAction(fullSize->rotateLeftAction());
  picture->addAction(fullSize->rotateRightAction());
  menuBar()->insertMenu(helpMenu_->menuAction(), picture);
}

void CMainFrame::createEditMenu() {
  CFileCommands* commands = list_->fileCommands();
  undo_ = new QAction(tr("&Undo\tCtrl+Z"), this);
  undo_->setShortcut(QKeySequence::Undo);
  undo_->setStatusTip(tr("Takes back the last move, rename or move to the trash"));
  undo_->setEnabled(false);
  connect(undo_, &QAction::triggered, commands, &CFileCommands::Undo);
  connect(commands, &CFileCommands::undoAvailable, undo_, &QAction::setEnabled);
  auto* edit = new QMenu(tr("&Edit"), this);
  edit->setObjectName(QStringLiteral("editMenu"));
  edit->addAction(undo_);
  auto* duplicates = new QAction(tr("Find &Duplicates..."), this);
  duplicates->setStatusTip(tr("Groups pictures that are alike, to keep one of each"));
  connect(duplicates, &QAction::triggered, this, [this] {
    CDuplicatesView* view = duplicatesView();
    view->show();
    view->raise();
  });
  edit->addAction(duplicates);
  auto* index = new QAction(tr("Signature &Index..."), this);
  index->setObjectName(QStringLiteral("indexAction"));
  index->setStatusTip(
      tr("Chooses the index of signatures: the default one, a file, or a shared "
         "PostgreSQL server"));
  connect(index, &QAction::triggered, this, [this, commands] {
    if (!askWindowIndex()) return;
    commands->IndexChanged();
    const QString name = windowIndexShown();
    statusBar()->showMessage(
        tr("The index is now %1").arg(name.isEmpty() ? tr("the default one") : name));
  });
  edit->addAction(index);
  edit->addSeparator();
  edit->addMenu(list_->fileMenu());
  menuBar()->insertMenu(viewMenu_->menuAction(), edit);

  for (CFileMenu* menu : {list_->fileMenu(), list_->fullSizeFileMenu()}) {
    connect(menu, &CFileMenu::findSimilar, this, &CMainFrame::findSimilar);
  }
}

CDuplicatesView* CMainFrame::duplicatesView() {
  if (duplicates_ == nullptr) duplicates_ = new CDuplicatesView(doc_, *list_->fileCommands(), this);
  return duplicates_;
}

void CMainFrame::findSimilar(const QString& picture, bool everyIndexedFolder) {
  CRetrievalView* retrieval = tabs_->retrievalView();
  if (retrieval->IsSearching() || doc_.IsBusy()) return;
  // The query shows in the retrieval form, the ranking in the list.
  tabs_->setCurrentIndex(CTabView::kRetrieval);
  if (!doc_.SelectImage(picture)) return;
  if (everyIndexedFolder)
    retrieval->SearchEveryIndexedFolder();
  else
    retrieval->Search();
}

void CMainFrame::refreshRecentFiles() {
  for (QAction* action : recentActions_) {
    fileMenu_->removeAction(action);
    action->deleteLater();
  }
  recentActions_.clear();
  const QStringList entries = recent_ != nullptr ? recent_->entries() : QStringList();
  if (entries.isEmpty()) {
    auto* placeholder = new QAction(tr("Recent Files"), this);
    placeholder->setEnabled(false);
    recentActions_ << placeholder;
  }
  for (int i = 0; i < entries.size(); ++i) {
    const QString path = entries[i];
    auto* action = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(path), this);
    action->setStatusTip(tr("Opens this file"));
    connect(action, &QAction::triggered, this, [this, path] {
      // A file that has gone since leaves the list instead of opening empty.
      if (!QFileInfo::exists(path)) {
        if (recent_ != nullptr) recent_->remove(path);
        refreshRecentFiles();
        return;
      }
      doc_.OpenImage(path);
    });
    recentActions_ << action;
  }
  fileMenu_->insertActions(recentSeparator_, recentActions_);
}

void CMainFrame::createToolBar() {
  toolBar_ = addToolBar(tr("Toolbar"));
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
  idle_ = new QLabel(tr("Ready"));
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
  tabs_ = new CTabView(doc_);
  list_ = new CListViewEx(doc_);
  inner_->addWidget(tabs_);
  inner_->addWidget(list_);
  outer_->addWidget(tree_);
  outer_->addWidget(inner_);
  outer_->setStretchFactor(1, 1);
  inner_->setStretchFactor(1, 1);
  setCentralWidget(outer_);
}

void CMainFrame::wireDocument() {
  connect(tree_, &CTreeViewEx::folderSelected, &doc_, &CFolimDoc::ListFolder);
  CFileCommands* commands = list_->fileCommands();
  connect(
      tree_, &CTreeViewEx::filesDropped, commands,
      [commands](const QStringList& files, const QString& folder, bool copy) {
        if (copy) {
          commands->CopyInto(files, folder);
        } else {
          commands->MoveInto(files, folder);
        }
      },
      // Once the drag has ended: a question may be asked.
      Qt::QueuedConnection);
  connect(&doc_, &CFolimDoc::folderChanged, tabs_, &CTabView::showFolder);
  connect(&doc_, &CFolimDoc::pagingChanged, tabs_, &CTabView::showPaging);
  connect(&doc_, &CFolimDoc::thumbnailsCleared, list_, &CListViewEx::clearThumbnails);
  connect(&doc_, &CFolimDoc::thumbnailAdded, list_, &CListViewEx::addThumbnail);
  connect(&doc_, &CFolimDoc::currentImageChanged, this, [this](const QString& path) {
    setWindowTitle(QStringLiteral("Folim - ") + path);
    tabs_->retrievalView()->queryBox()->update();
    list_->showCurrentImage();
  });
  COriginalImage* fullSize = list_->fullSizeWindow();
  connect(&doc_, &CFolimDoc::fullSizeRequested, fullSize,
          [this, fullSize] { fullSize->ShowFullSizeImage(screen()); });

  CProgressDialog* progress = list_->progressDialog();
  connect(&doc_, &CFolimDoc::loadProgress, progress, [progress](int k, int n) {
    progress->SetLoadingProgress(k, n);
    if (!progress->isVisible()) progress->show();
  });
  for (auto done :
       {&CFolimDoc::thumbnailsLoaded, &CFolimDoc::loadingStopped, &CFolimDoc::thumbnailsCleared}) {
    connect(&doc_, done, progress, &QWidget::hide);
  }
  connect(&doc_, &CFolimDoc::saveStarted, progress, [progress](const QString& path) {
    progress->setWindowTitle(tr("Saving %1 ...").arg(QDir::toNativeSeparators(path)));
    // A RIM file is coded in one step: the bar only shows it is busy.
    progress->progressBar()->setRange(0, 0);
    progress->show();
  });
  connect(&doc_, &CFolimDoc::saveFinished, this,
          [this, progress](const QString& path, const QString& failure) {
            progress->hide();
            progress->progressBar()->setRange(0, 100);
            if (!failure.isEmpty()) {
              showMessage(failure);
              return;
            }
            statusBar()->showMessage(tr("Saved %1").arg(QDir::toNativeSeparators(path)));
          });
  CRetrievalView* retrieval = tabs_->retrievalView();
  retrieval->setProgressWindow(progress);
  connect(retrieval, &CRetrievalView::searchStarted, fullSize, &QWidget::hide);
  connect(&doc_, &CFolimDoc::folderChanged, this,
          [](const QString& dir) { QSettings().setValue(QStringLiteral("lastFolder"), dir); });
}

void CMainFrame::createBrowseControls() {
  // The information panel, hidden at first; its key shows and hides it.
  infoPanel_ = new CInfoPanel(doc_, this);
  addDockWidget(Qt::RightDockWidgetArea, infoPanel_);
  infoPanel_->hide();
  QAction* info = infoPanel_->toggleViewAction();
  info->setText(tr("&Information Panel\tCtrl+I"));
  info->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_I));
  info->setStatusTip(tr("Shows or hides what the selected picture is: size, date taken, camera"));

  sortBar_ = new CSortBar(doc_, this);
  addToolBar(sortBar_);
  viewMenu_->addSeparator();
  viewMenu_->addAction(info);
  viewMenu_->addMenu(sortBar_->sortMenu());
  viewMenu_->addAction(sortBar_->filterAction());
}

bool CMainFrame::restoreLayout() {
  const QSettings settings;
  layoutRestored_ =
      restoreGeometry(settings.value(QStringLiteral("window/geometry")).toByteArray());
  if (layoutRestored_) {
    restoreState(settings.value(QStringLiteral("window/state")).toByteArray());
    outer_->restoreState(settings.value(QStringLiteral("window/outerSplitter")).toByteArray());
    inner_->restoreState(settings.value(QStringLiteral("window/innerSplitter")).toByteArray());
    // The panes keep the sizes the user left them at.
    panesSized_ = true;
  }
  return layoutRestored_;
}

void CMainFrame::saveLayout() const {
  QSettings settings;
  settings.setValue(QStringLiteral("window/geometry"), saveGeometry());
  // Bars and the information panel: where they are and whether they show.
  settings.setValue(QStringLiteral("window/state"), saveState());
  settings.setValue(QStringLiteral("window/outerSplitter"), outer_->saveState());
  settings.setValue(QStringLiteral("window/innerSplitter"), inner_->saveState());
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  // A turn the user saves now is written before the window goes.
  COriginalImage* fullSize = list_->fullSizeWindow();
  fullSize->settleTurn();
  if (fullSize->rotation().IsSaving() || doc_.IsSaving()) doc_.jobs().waitForDone();
  if (doc_.IsBusy()) {
    if (!askQuestion(tr("A job is still running. Cancel it and close the window?"))) {
      event->ignore();
      return;
    }
    // Stops after the file in hand; what is written stays whole.
    doc_.jobs().abandon();
  }
  saveLayout();
  QMainWindow::closeEvent(event);
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

void CMainFrame::OnFileOpen() {
  const QString path = askOpenImagePath(this, doc_.currentDir());
  if (!path.isEmpty()) doc_.OpenImage(path);
}

void CMainFrame::OnFileSave() {
  const QString refusal = doc_.SaveRefusal();
  if (!refusal.isEmpty()) {
    showMessage(refusal);
    return;
  }
  const QString chosen = askSaveImagePath(this, doc_.currentDir(), doc_.SuggestedSavePath());
  if (chosen.isEmpty()) return;
  // In the background, unless another job runs: then here, as it is short
  // next to a batch.
  if (doc_.StartSavingCurrentImage(chosen)) return;
  const QString failure = doc_.SaveCurrentImage(chosen);
  if (!failure.isEmpty()) showMessage(failure);
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
