// Running a long job of the user-interface thread (a search, a conversion to
// BMP) on a thread of its own, so that the windows keep painting and the
// progress the job posts back is seen while it runs.
#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <utility>

// Runs work on a new thread and returns when it has ended. Meanwhile this
// thread delivers paint events, timers and queued calls (the job's progress)
// but holds back the user's input until the job is done, so nothing the user
// does can change the state the job started from. An exception thrown by
// work is thrown again here.
void runWhileRepainting(const std::function<void()>& work);

// Calls fn on the thread of context, later, unless context has gone by then.
// Callable from any thread.
template <typename Fn>
void postTo(QObject* context, Fn fn) {
  QPointer<QObject> guard(context);
  QMetaObject::invokeMethod(
      context,
      [guard, fn = std::move(fn)]() mutable {
        if (guard != nullptr) fn();
      },
      Qt::QueuedConnection);
}
