#include "shell/job_runner.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

void CJobRunner::Control::report(int done, int total, const QString& text) const {
  CJobRunner* runner = runner_;
  const std::uint64_t serial = serial_;
  // Queued behind every earlier report, and ahead of the job's end; a report
  // that arrives after its job was waited for is dropped.
  QMetaObject::invokeMethod(
      runner,
      [runner, serial, done, total, text] {
        if (runner->running_ && runner->serial_ == serial) emit runner->progress(done, total, text);
      },
      Qt::QueuedConnection);
}

CJobRunner::CJobRunner(QObject* parent) : QObject(parent) {}

CJobRunner::~CJobRunner() {
  if (running_) {
    cancel();
    watcher_->waitForFinished();
  }
}

bool CJobRunner::start(Work work, QObject* context, Done done) {
  if (running_) return false;
  ++serial_;
  running_ = true;
  cancelled_ = std::make_shared<std::atomic<bool>>(false);
  context_ = context;
  done_ = std::move(done);

  Control control;
  control.runner_ = this;
  control.serial_ = serial_;
  control.cancelled_ = cancelled_;
  // One watcher per job: the end of an earlier job can never be taken for
  // the end of this one.
  if (watcher_ != nullptr) watcher_->deleteLater();
  watcher_ = new QFutureWatcher<void>(this);
  const std::uint64_t serial = serial_;
  connect(watcher_, &QFutureWatcher<void>::finished, this, [this, serial] { finish(serial); });
  watcher_->setFuture(QtConcurrent::run([work = std::move(work), control] { work(control); }));
  emit runningChanged(true);
  return true;
}

void CJobRunner::cancel() {
  if (running_) cancelled_->store(true, std::memory_order_relaxed);
}

void CJobRunner::waitForDone() {
  if (!running_) return;
  watcher_->waitForFinished();
  finish(serial_);
}

void CJobRunner::abandon() {
  if (!running_) return;
  cancel();
  done_ = nullptr;
  waitForDone();
}

void CJobRunner::finish(std::uint64_t serial) {
  if (!running_ || serial != serial_) return;
  running_ = false;
  const bool wasCancelled = cancelled_->load(std::memory_order_relaxed);
  Done done = std::move(done_);
  done_ = nullptr;
  const bool contextAlive = !context_.isNull();
  context_ = nullptr;
  emit runningChanged(false);
  if (done && contextAlive) done(wasCancelled);
}
