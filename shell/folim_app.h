// The application: settings and recent-file list under "Folim", the one
// document and the main window, and the folder named on the command line.
#pragma once

#include <QApplication>
#include <functional>
#include <memory>

class CFolimDoc;
class CMainFrame;
class CRecentFileList;

class CFolimApp : public QApplication {
  Q_OBJECT

 public:
  CFolimApp(int& argc, char** argv);
  ~CFolimApp() override;

  // Creates the document and the main window, handles the command line
  // ("folim [FOLDER]") and shows the window. False when start-up fails: a
  // named path that does not exist.
  bool InitInstance();
  // Help > About: the version dialog, modal.
  void OnAppAbout();

  // What the program opens at start: argument a folder (listed), a file
  // (its folder listed, the file selected and shown full size), or empty
  // (the folder of the last session). A missing path is reported and
  // nothing is opened. Returns whether something was opened.
  static bool OpenAtStart(CFolimDoc& doc, CMainFrame& frame, const QString& argument);

  CFolimDoc* document() const { return doc_.get(); }
  CMainFrame* mainFrame() const { return frame_.get(); }
  CRecentFileList* recentFiles() const { return recent_.get(); }

 private:
  // The order --sort names (false, with a message, for an unknown key).
  bool sortFromArgument(const QString& key);
  // Once the first page is loaded: the tab shown, its first thumbnail
  // selected and, when asked, a search run; then a picture of the window.
  void takeScreenshot(const QString& file, int tab, bool search);
  // A picture of the full-size window on the image shown at start, zoomed
  // (0 fits), full screen when asked.
  void takePictureScreenshot(const QString& file, double zoom, bool fullScreen);
  // A picture of the Duplicates window on the folder listed, once its groups
  // are found and the largest file of each is kept.
  void takeDuplicatesScreenshot(const QString& file);
  // A picture of the forms and thumbnails with the first thumbnail's menu
  // open over them.
  void takeMenuScreenshot(const QString& file);
  // Calls then once the thumbnails of the current page are all shown.
  void afterThumbnails(const std::function<void()>& then);

  std::unique_ptr<CRecentFileList> recent_;
  std::unique_ptr<CFolimDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

// The font of the forms and menus (the Japanese gothic face with the metrics
// the forms were laid out for), when it is installed.
void applyFormFont(QApplication& app);
