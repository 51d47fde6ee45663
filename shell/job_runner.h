// The one way the shell runs long work (a search, a conversion) off the
// user-interface thread: one job at a time on Qt's thread pool, with
// progress reported back to this thread, cancellation between steps and a
// completion call on this thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

template <typename T>
class QFutureWatcher;

class CJobRunner : public QObject {
  Q_OBJECT

 public:
  // What a running job sees. Used on the job's thread.
  class Control {
   public:
    // True once cancel() was called: the job stops after the step in hand.
    bool isCancelled() const { return cancelled_->load(std::memory_order_relaxed); }
    // Reported to the runner's thread in order (progress signal).
    void report(int done, int total, const QString& text) const;
    // The flag itself, for library functions that take one.
    const std::atomic<bool>* cancelFlag() const { return cancelled_.get(); }

   private:
    friend class CJobRunner;
    CJobRunner* runner_ = nullptr;  // outlives the job: it waits for it
    std::uint64_t serial_ = 0;
    std::shared_ptr<std::atomic<bool>> cancelled_;
  };

  using Work = std::function<void(const Control&)>;
  // Called on the runner's thread when the job has ended; cancelled tells
  // whether cancel() was called while it ran.
  using Done = std::function<void(bool cancelled)>;

  explicit CJobRunner(QObject* parent = nullptr);
  // Cancels a running job and waits for it; its Done is not called.
  ~CJobRunner() override;

  // Starts work unless a job runs already (false then). done is called
  // only while context exists.
  bool start(Work work, QObject* context, Done done);
  bool isRunning() const { return running_; }
  // Asks the running job to stop after its step in hand.
  void cancel();
  // Waits for the running job to end and calls its Done before returning.
  void waitForDone();
  // Cancels the running job and waits for it without calling its Done (the
  // windows it would report to are going).
  void abandon();

 signals:
  void runningChanged(bool running);
  void progress(int done, int total, const QString& text);

 private:
  void finish(std::uint64_t serial);

  std::uint64_t serial_ = 0;
  bool running_ = false;
  std::shared_ptr<std::atomic<bool>> cancelled_;
  QFutureWatcher<void>* watcher_ = nullptr;
  QPointer<QObject> context_;
  Done done_;
};
