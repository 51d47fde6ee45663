// The bottom right pane: one page of 96 x 96 thumbnails of the listed images.
// Selecting a thumbnail (or dropping an image file here) makes that image the
// current one; activating it opens the full-size window.
#pragma once

#include <QListWidget>
#include <QStringList>
#include <memory>

class COriginalImage;
class CProgressDialog;

class CListViewEx : public QListWidget {
  Q_OBJECT

 public:
  // Creates the hidden full-size and progress windows with the list.
  explicit CListViewEx(QWidget* parent = nullptr);
  ~CListViewEx() override;

  // The first update (again after File New): an empty list, registered in
  // the document.
  void OnInitialUpdate();

  void clearThumbnails();
  void appendThumbnail(const QString& text, const QImage& thumbnail);

  // Item i of the page stands for entry m_page * 50 + i of the document.
  void SelectThumbnail();
  // Loads m_currentPath as the current image, shows it in the query box and
  // in the window title.
  void SelectCurrentImage();
  // Opens the full-size window on the current image.
  void ShowFullSizeImage();
  // One image file becomes the current image and opens at full size.
  void DropFiles(const QStringList& paths);

  COriginalImage* fullSizeWindow() const { return fullSizeWindow_.get(); }
  CProgressDialog* progressDialog() const { return progressDialog_.get(); }

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  std::unique_ptr<COriginalImage> fullSizeWindow_;
  std::unique_ptr<CProgressDialog> progressDialog_;
};
