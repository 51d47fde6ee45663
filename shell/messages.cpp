#include "shell/messages.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <mutex>

namespace {

std::mutex handlerMutex;
MessageHandler currentHandler;

void showBox(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Folim"), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

}  // namespace

MessageHandler setMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(handlerMutex);
  MessageHandler previous = std::move(currentHandler);
  currentHandler = std::move(handler);
  return previous;
}

void showMessage(const QString& text) {
  MessageHandler handler;
  {
    std::lock_guard<std::mutex> lock(handlerMutex);
    handler = currentHandler;
  }
  if (handler) {
    handler(text);
    return;
  }
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  if (QThread::currentThread() == app->thread()) {
    showBox(text);
  } else {
    // Widgets live on the user-interface thread only; the worker waits for
    // the user's OK there.
    QMetaObject::invokeMethod(
        app, [text] { showBox(text); }, Qt::BlockingQueuedConnection);
  }
}
