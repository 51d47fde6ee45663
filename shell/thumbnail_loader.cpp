#include "shell/thumbnail_loader.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentMap>
#include <utility>

#include "imageio/image_ex.h"
#include "shell/native_path.h"

namespace {

CThumbnailLoader::Made makeOne(const CThumbnailLoader::Job& job) {
  CThumbnailLoader::Made made;
  made.index = job.index;
  made.thumbnail = CThumbnailLoader::makeThumbnail(job.path, made.baseType);
  return made;
}

}  // namespace

CThumbnailLoader::CThumbnailLoader(QObject* parent) : QObject(parent) {
  pool_.setMaxThreadCount(QThread::idealThreadCount());
}

CThumbnailLoader::~CThumbnailLoader() {
  cancel();
  pool_.waitForDone();
}

void CThumbnailLoader::start(std::vector<Job> jobs) {
  cancel();
  if (jobs.empty()) return;
  total_ = static_cast<int>(jobs.size());
  next_ = 0;
  watcher_ = new QFutureWatcher<Made>(this);
  connect(watcher_, &QFutureWatcher<Made>::resultsReadyAt, this, &CThumbnailLoader::collect);
  watcher_->setFuture(QtConcurrent::mapped(&pool_, std::move(jobs), makeOne));
}

void CThumbnailLoader::cancel() {
  if (watcher_ == nullptr) return;
  // Results still on their way belong to this watcher only and go with it.
  watcher_->disconnect(this);
  watcher_->cancel();
  watcher_->deleteLater();
  watcher_ = nullptr;
  early_.clear();
  next_ = total_ = 0;
}

void CThumbnailLoader::collect(int begin, int end) {
  QFutureWatcher<Made>* watcher = watcher_;
  for (int i = begin; i < end; ++i) early_[i] = watcher->resultAt(i);
  while (watcher_ == watcher && !early_.empty() && early_.begin()->first == next_) {
    Made made = std::move(early_.begin()->second);
    early_.erase(early_.begin());
    const int position = next_++;
    const bool last = next_ == total_;
    if (last) {
      watcher_->deleteLater();
      watcher_ = nullptr;
    }
    emit thumbnailReady(position, made.index, made.baseType, made.thumbnail);
    if (last) {
      emit finished();
      return;
    }
  }
}

QImage CThumbnailLoader::makeThumbnail(const QString& path, int& baseType) {
  CImageEx image;
  image.LoadImageFile(toNativePath(path), true);
  baseType = image.m_nBaseType;
  if (image.IsNull()) {
    // Nothing to fit: the thumbnail shows only its background.
    image.SetDrawRect(0, 0, 0, 0);
  } else {
    image.FitInto(THUMBNAIL_SIZE, THUMBNAIL_SIZE);
  }
  QImage thumbnail;
  image.MakeThumbnail(thumbnail);
  return thumbnail;
}
