// The main window: menus, toolbar (Open, Save), status bar, and the panes:
// the folder tree on the left (25 % of the width), the tab view with the job
// forms at the top right (42.5 % of the height) above the thumbnail list;
// the sort bar under the toolbar, the information panel docked at the right.
#pragma once

#include <QMainWindow>

class CDuplicatesView;
class CFolimDoc;
class CInfoPanel;
class CListViewEx;
class CRecentFileList;
class CSortBar;
class CTabView;
class CTreeViewEx;
class QAction;
class QLabel;
class QMenu;
class QSplitter;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  // Creates the panes and wires them to the document. recent may be null
  // (no recent-file list is kept then).
  explicit CMainFrame(CFolimDoc& doc, CRecentFileList* recent = nullptr);
  ~CMainFrame() override;

  // Title "Folim - Hobeka" (at start and after File New).
  void OnUpdateFrameTitle();
  // File New: the views start afresh; the document keeps its state.
  void OnFileNew();
  // File Open: the image chosen opens at full size.
  void OnFileOpen();
  // File Save: asks where the current image goes and saves it there.
  void OnFileSave();
  // Sizes the panes from the client size: tree trunc(w * 0.25) wide, tab
  // view trunc(h * 0.425) high.
  void applyInitialPaneSizes();
  void refreshRecentFiles();
  // Window geometry and splitter positions, from and to the settings;
  // restoreLayout answers whether there were any.
  bool restoreLayout();
  void saveLayout() const;

  CTreeViewEx* treeView() const { return tree_; }
  CTabView* tabView() const { return tabs_; }
  CListViewEx* listView() const { return list_; }
  QSplitter* outerSplitter() const { return outer_; }
  QSplitter* innerSplitter() const { return inner_; }
  QToolBar* toolBar() const { return toolBar_; }
  QAction* openAction() const { return open_; }
  QAction* saveAction() const { return save_; }
  QAction* newAction() const { return new_; }
  QAction* exitAction() const { return exit_; }
  QAction* toolBarAction() const { return toggleToolBar_; }
  QAction* statusBarAction() const { return toggleStatusBar_; }
  QAction* aboutAction() const { return about_; }
  QAction* refreshAction() const { return refresh_; }
  QAction* keysAction() const { return keys_; }
  QAction* undoAction() const { return undo_; }
  // Ranks the listed folder, or every picture the index holds, against
  // picture, which becomes the query shown in the retrieval form.
  void findSimilar(const QString& picture, bool everyIndexedFolder);
  // The Duplicates window, made on first use.
  CDuplicatesView* duplicatesView();
  // Every action of the window and of its full-size window (the keys).
  QList<QAction*> allActions() const;
  QMenu* fileMenu() const { return fileMenu_; }
  CInfoPanel* infoPanel() const { return infoPanel_; }
  CSortBar* sortBar() const { return sortBar_; }
  QLabel* idleLabel() const { return idle_; }
  QList<QLabel*> indicators() const;

 protected:
  void showEvent(QShowEvent* event) override;
  // While a job runs the user is asked whether to cancel it; yes cancels,
  // waits for the file in hand and closes.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createActions();
  void createMenus();
  void createToolBar();
  void createStatusBar();
  void createPanes();
  // Full screen, slideshow and turns of the full-size window.
  void createPictureMenu();
  // Undo and the menu of the selected pictures' files.
  void createEditMenu();
  void wireDocument();
  // The information panel, the sort bar and their View menu items.
  void createBrowseControls();
  void focusPane(int step);
  void setIndicator(QLabel* label, bool on);

  CFolimDoc& doc_;
  CRecentFileList* recent_;
  CTreeViewEx* tree_ = nullptr;
  CTabView* tabs_ = nullptr;
  CListViewEx* list_ = nullptr;
  QSplitter* outer_ = nullptr;
  QSplitter* inner_ = nullptr;
  QToolBar* toolBar_ = nullptr;
  QMenu* fileMenu_ = nullptr;
  QMenu* viewMenu_ = nullptr;
  // The information panel (a dock) and the sort bar.
  CInfoPanel* infoPanel_ = nullptr;
  CSortBar* sortBar_ = nullptr;
  QMenu* helpMenu_ = nullptr;
  QAction* open_ = nullptr;
  QAction* save_ = nullptr;
  QAction* new_ = nullptr;
  QAction* exit_ = nullptr;
  QAction* toggleToolBar_ = nullptr;
  QAction* toggleStatusBar_ = nullptr;
  QAction* about_ = nullptr;
  QAction* refresh_ = nullptr;
  QAction* keys_ = nullptr;
  QAction* undo_ = nullptr;
  CDuplicatesView* duplicates_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QList<QAction*> recentActions_;
  QLabel* idle_ = nullptr;
  QLabel* capsLock_ = nullptr;
  QLabel* numLock_ = nullptr;
  QLabel* scrollLock_ = nullptr;
  bool panesSized_ = false;
  bool layoutRestored_ = false;
};
