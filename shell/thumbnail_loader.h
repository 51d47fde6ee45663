// Loads the thumbnails of one page on all cores and hands them to the
// user-interface thread in page order as they become ready, so that the
// window stays responsive while a page of large photographs loads.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class CThumbnailLoader : public QObject {
  Q_OBJECT

 public:
  struct Job {
    int index = 0;  // entry index in the document
    QString path;
  };
  struct Made {
    int index = 0;
    int baseType = 0;
    QImage thumbnail;
  };

  explicit CThumbnailLoader(QObject* parent = nullptr);
  ~CThumbnailLoader() override;

  // Starts a batch; a batch still running is abandoned and none of its
  // results are delivered any more.
  void start(std::vector<Job> jobs);
  // Abandons the running batch.
  void cancel();
  bool isLoading() const { return loading_; }

  // Loads one file and renders its 96 x 96 thumbnail with the base-type
  // background; baseType receives the loaded image's base type.
  static QImage makeThumbnail(const QString& path, int& baseType);

 signals:
  // One thumbnail, in the order of the jobs (position counts from 0).
  void thumbnailReady(int position, int index, int baseType, const QImage& thumbnail);
  // The last thumbnail of the batch has been delivered.
  void finished();

 private:
  void collect(std::uint64_t batch, int position, Made made);

  QThreadPool pool_;
  // Each worker hands its thumbnail over as a queued call tagged with its
  // batch; calls of an abandoned batch are dropped on arrival, and the flag
  // spares its workers the loading still to come.
  std::uint64_t batch_ = 0;
  std::shared_ptr<std::atomic<bool>> abandoned_;
  bool loading_ = false;
  std::map<int, Made> early_;  // made before an earlier one of the page
  int next_ = 0;               // position of the next one to deliver
  int total_ = 0;
};

// Draws the sign of a picture that could not be read over a thumbnail's
// background; its centre is brokenImageMark().
void drawBrokenImage(QImage& thumbnail);
QColor brokenImageMark();
