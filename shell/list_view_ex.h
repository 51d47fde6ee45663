// The bottom right pane: one page of 96 x 96 thumbnails of the listed images.
// Selecting a thumbnail (or dropping an image file here) makes that image the
// current one; activating it opens the full-size window. Dragged away, the
// selected thumbnails travel as their files (onto the folder tree, which
// moves them).
#pragma once

#include <QListWidget>
#include <QStringList>
#include <memory>

class CFileCommands;
class CFileMenu;
class CFolimDoc;
class COriginalImage;
class CProgressDialog;
class QLabel;
class QMimeData;
class QFontMetrics;

// A caption as the list shows it: each line cut in the middle to fit width
// pixels, so that both the start of a long name and its end (the part that
// tells photographs apart, and the extension) stay visible.
QString ElideCaption(const QString& caption, const QFontMetrics& metrics, int width);

class CListViewEx : public QListWidget {
  Q_OBJECT

 public:
  // Creates the hidden full-size and progress windows with the list.
  explicit CListViewEx(CFolimDoc& doc, QWidget* parent = nullptr);
  ~CListViewEx() override;

  // The first update (again after File New): an empty list.
  void OnInitialUpdate();

  void clearThumbnails();
  // Row `row` of the page (rows arrive in order).
  void addThumbnail(int row, const QString& caption, const QImage& thumbnail,
                    const QString& toolTip);
  // Kept for callers that add at the end with the name as tooltip.
  void appendThumbnail(const QString& text, const QImage& thumbnail) {
    addThumbnail(count(), text, thumbnail, text);
  }

  // Selects the thumbnail of the document's current image when it is on
  // the page shown (without loading it again).
  void showCurrentImage();
  // Item i of the page stands for entry page * 50 + i of the document.
  void SelectThumbnail();
  // Opens the full-size window on the current image.
  void ShowFullSizeImage();
  // One image file becomes the current image and opens at full size.
  void DropFiles(const QStringList& paths);
  // The files of a drop (an address that is no local file counts, but is no
  // image file here).
  static QStringList DroppedPaths(const QMimeData& data);
  // The one image file among paths; otherwise empty, after telling the user
  // why (several files, or no image file).
  static QString DroppedImage(const QStringList& paths);

  // What to do, shown over an empty list (hidden otherwise).
  QLabel* hintLabel() const { return hint_; }
  void updateHint();

  // The pictures of the selected thumbnails, in page order.
  QStringList selectedPaths() const;
  // The picture of row `row` of the page ("" past the listing).
  QString pathOfRow(int row) const;
  // Rename of the one selected picture: its caption becomes an editor of
  // the file's name; Enter renames the file (asking when the name is
  // taken), Esc leaves it as it was.
  void RenameInPlace();
  // What can be done to the files: the thumbnails' menu (right click) and
  // the full-size window's, which share the commands and their Undo.
  CFileCommands* fileCommands() const { return commands_; }
  CFileMenu* fileMenu() const { return fileMenu_; }
  CFileMenu* fullSizeFileMenu() const { return fullSizeFileMenu_; }

  COriginalImage* fullSizeWindow() const { return fullSizeWindow_.get(); }
  CProgressDialog* progressDialog() const { return progressDialog_.get(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  // The selected pictures leave as files (onto the folder tree, or another
  // program): moved by default, copied on request.
  void startDrag(Qt::DropActions supportedActions) override;

 private:
  CFolimDoc& doc_;
  std::unique_ptr<COriginalImage> fullSizeWindow_;
  std::unique_ptr<CProgressDialog> progressDialog_;
  QLabel* hint_;
  CFileCommands* commands_;
  CFileMenu* fileMenu_;
  CFileMenu* fullSizeFileMenu_;
};
