#include "shell/thumbnail_loader.h"

#include "imageio/image_ex.h"
#include "imageio/thumbnail_cache.h"
#include "shell/native_path.h"

CThumbnailLoader::CThumbnailLoader(QObject* parent) : QObject(parent) {
  worker_ = std::thread([this] { run(); });
}

CThumbnailLoader::~CThumbnailLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    ++batch_;
  }
  wake_.notify_all();
  worker_.join();
}

void CThumbnailLoader::start(std::uint64_t batch, std::vector<Job> jobs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    batch_ = batch;
    pending_ = std::move(jobs);
    hasWork_ = true;
  }
  wake_.notify_all();
}

void CThumbnailLoader::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++batch_;
  pending_.clear();
  hasWork_ = false;
}

QImage CThumbnailLoader::makeThumbnail(const QString& path, int& baseType) {
  CImageEx image;
  // Through the thumbnail cache the desktop shares: a folder seen before, by
  // Folim or a file manager, lists at once.
  imageio::LoadThumbnailSource(imageio::ThumbnailCache(), toNativePath(path), image);
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

void CThumbnailLoader::run() {
  for (;;) {
    std::vector<Job> jobs;
    std::uint64_t batch = 0;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || hasWork_; });
      if (stopping_) return;
      jobs = std::move(pending_);
      pending_.clear();
      hasWork_ = false;
      batch = batch_;
    }
    for (const Job& job : jobs) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_ || batch != batch_) break;
      }
      int baseType = 0;
      const QImage thumbnail = makeThumbnail(job.path, baseType);
      emit thumbnailReady(batch, job.index, baseType, thumbnail);
    }
  }
}
