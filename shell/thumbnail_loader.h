// Loads the thumbnails of one page on a worker thread and hands each one to
// the user-interface thread as soon as it is made, in page order, so that the
// window stays responsive while a page of large photographs loads.
#pragma once

#include <QImage>
#include <QObject>
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class CThumbnailLoader : public QObject {
  Q_OBJECT

 public:
  struct Job {
    int index = 0;  // entry index in the document
    QString path;
  };

  explicit CThumbnailLoader(QObject* parent = nullptr);
  ~CThumbnailLoader() override;

  // Starts a batch; a batch still running is abandoned at its next item and
  // its results are never delivered.
  void start(std::uint64_t batch, std::vector<Job> jobs);
  // Abandons the running batch.
  void cancel();

  // Loads one file and renders its 96 x 96 thumbnail with the base-type
  // background; baseType receives the loaded image's base type.
  static QImage makeThumbnail(const QString& path, int& baseType);

 signals:
  // Queued to the user-interface thread.
  void thumbnailReady(quint64 batch, int index, int baseType, const QImage& thumbnail);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::uint64_t batch_ = 0;  // the only batch whose results count
  std::vector<Job> pending_;
  bool hasWork_ = false;
  bool stopping_ = false;
  std::thread worker_;
};
