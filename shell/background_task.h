// Running a long job of the user-interface thread (a search, a conversion to
// BMP) on a thread of its own, so that the windows keep painting and the
// progress the job posts back is seen while it runs.
#pragma once

#include <QObject>
#include <functional>
#include <utility>

// Runs work on a new thread and returns when it has ended. Meanwhile this
// thread delivers paint events, timers and queued calls (the job's progress)
// but holds back the user's input until the job is done, so nothing the user
// does can change the state the job started from. An exception thrown by
// work is thrown again here.
void runWhileRepainting(const std::function<void()>& work);

// Calls fn later on the thread of context. Callable from any thread while
// context exists; a call still queued when context is destroyed is dropped.
template <typename Fn>
void postTo(QObject* context, Fn fn) {
  QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}
