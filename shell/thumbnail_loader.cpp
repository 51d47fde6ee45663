#include "shell/thumbnail_loader.h"

#include <QImageReader>
#include <QPainter>
#include <QPolygonF>
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
  loading_ = true;
  abandoned_ = std::make_shared<std::atomic<bool>>(false);
  const std::uint64_t batch = batch_;
  for (int position = 0; position < total_; ++position) {
    // The destructor waits for every worker, so `this` outlives them; a call
    // still queued when it goes is dropped with it.
    pool_.start([this, batch, position, job = std::move(jobs[position]), abandoned = abandoned_] {
      if (abandoned->load()) return;
      Made made = makeOne(job);
      if (abandoned->load()) return;
      QMetaObject::invokeMethod(
          this,
          [this, batch, position, made = std::move(made)]() mutable {
            collect(batch, position, std::move(made));
          },
          Qt::QueuedConnection);
    });
  }
}

void CThumbnailLoader::cancel() {
  if (abandoned_) abandoned_->store(true);
  abandoned_.reset();
  pool_.clear();  // jobs not started yet are dropped
  ++batch_;
  loading_ = false;
  early_.clear();
  next_ = total_ = 0;
}

void CThumbnailLoader::collect(std::uint64_t batch, int position, Made made) {
  if (batch != batch_ || !loading_) return;
  early_[position] = std::move(made);
  while (!early_.empty() && early_.begin()->first == next_) {
    Made ready = std::move(early_.begin()->second);
    early_.erase(early_.begin());
    const int delivered = next_++;
    const bool last = next_ == total_;
    if (last) {
      loading_ = false;
      abandoned_.reset();
    }
    emit thumbnailReady(delivered, ready.index, ready.baseType, ready.thumbnail);
    if (last) {
      emit finished();
      return;
    }
    // A slot may have started another batch or cancelled this one.
    if (batch != batch_) return;
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
