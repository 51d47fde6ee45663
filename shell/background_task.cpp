#include "shell/background_task.h"

#include <QEventLoop>
#include <exception>
#include <thread>

void runWhileRepainting(const std::function<void()>& work) {
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    // Queued behind every progress call the job posted, so those are all
    // delivered before the loop ends.
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });
  loop.exec(QEventLoop::ExcludeUserInputEvents);
  // The loop also ends when the application quits; the job still finishes.
  worker.join();
  if (failure) std::rethrow_exception(failure);
}
