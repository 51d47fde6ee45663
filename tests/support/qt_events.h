// Waiting for what a Qt program does in its event loop, for the tests of
// the window and of the document (test programs that link Qt).
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace testing_support {

// Processes events until done() holds or limitMs have passed; returns
// done().
template <typename Done>
bool waitUntil(Done done, int limitMs = 60000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

}  // namespace testing_support
