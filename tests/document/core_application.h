// What the tests of the document and its view-models share: one
// QCoreApplication for the whole program (no GUI at all), the signature
// index and thumbnail cache in a temporary folder, and waiting for the
// background work to arrive.
#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>

namespace document_testing {

// Processes events until done() holds or limitMs have passed; returns done().
template <typename Done>
bool waitUntil(Done done, int limitMs = 30000) {
  QElapsedTimer timer;
  timer.start();
  while (!done() && timer.elapsed() < limitMs)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}

}  // namespace document_testing
