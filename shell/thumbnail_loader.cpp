#include "shell/thumbnail_loader.h"

#include <QFutureWatcher>
#include <QImageReader>
#include <QPainter>
#include <QPolygonF>
#include <QtConcurrent/QtConcurrentMap>
#include <utility>

#include "imageio/file_kind.h"
#include "imageio/image_ex.h"
#include "imageio/qimage_raster.h"
#include "imageio/thumbnail_cache.h"
#include "numeric/parallel.h"
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
  pool_.setMaxThreadCount(static_cast<int>(KPX::coreCount()));
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

QColor brokenImageMark() { return QColor(200, 40, 40); }

QImage CThumbnailLoader::makeThumbnail(const QString& path, int& baseType) {
  CImageEx image;
  // Through the thumbnail cache the desktop shares: a folder seen before, by
  // Folim or a file manager, lists at once.
  imageio::LoadThumbnailSource(imageio::ThumbnailCache(), toNativePath(path), image);
  baseType = image.m_nBaseType;
  if (image.IsNull()) {
    // Nothing to fit: the background, and the sign of a broken picture.
    image.SetDrawRect(0, 0, 0, 0);
    QImage thumbnail;
    image.MakeThumbnail(thumbnail);
    drawBrokenImage(thumbnail);
    return thumbnail;
  }
  image.FitInto(THUMBNAIL_SIZE, THUMBNAIL_SIZE);
  QImage thumbnail;
  image.MakeThumbnail(thumbnail);
  return thumbnail;
}

void drawBrokenImage(QImage& thumbnail) {
  QPainter painter(&thumbnail);
  painter.setRenderHint(QPainter::Antialiasing);
  // A sheet torn in two halves, slightly apart, crossed out.
  const QPolygonF left({{22, 26}, {50, 26}, {44, 42}, {52, 56}, {44, 70}, {22, 70}});
  const QPolygonF right({{55, 26}, {74, 26}, {74, 70}, {50, 70}, {58, 56}, {50, 42}});
  painter.setPen(QPen(QColor(235, 235, 235), 2));
  painter.setBrush(QColor(160, 160, 160));
  painter.drawPolygon(left);
  painter.drawPolygon(right);
  painter.setPen(QPen(brokenImageMark(), 5, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(36, 36), QPointF(60, 60));
  painter.drawLine(QPointF(60, 36), QPointF(36, 60));
}
