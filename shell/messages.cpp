#include "shell/messages.h"

#include <QApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <mutex>

namespace {

std::mutex handlerMutex;
MessageHandler currentHandler;
QuestionHandler currentQuestionHandler;
ChoiceHandler currentChoiceHandler;
TextHandler currentTextHandler;

// Tests put a handler in place of each dialog and restore the one before.
template <typename Handler>
Handler replaceHandler(Handler& current, Handler handler) {
  Handler previous = std::move(current);
  current = std::move(handler);
  return previous;
}

void showBox(const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Folim"), text, QMessageBox::Ok,
                  QApplication::activeWindow());
  box.exec();
}

}  // namespace

MessageHandler setMessageHandler(MessageHandler handler) {
  std::lock_guard<std::mutex> lock(handlerMutex);
  return replaceHandler(currentHandler, std::move(handler));
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

QuestionHandler setQuestionHandler(QuestionHandler handler) {
  return replaceHandler(currentQuestionHandler, std::move(handler));
}

bool askQuestion(const QString& text) {
  if (currentQuestionHandler) return currentQuestionHandler(text);
  QMessageBox box(QMessageBox::Question, QStringLiteral("Folim"), text,
                  QMessageBox::Yes | QMessageBox::No, QApplication::activeWindow());
  box.setDefaultButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

ChoiceHandler setChoiceHandler(ChoiceHandler handler) {
  return replaceHandler(currentChoiceHandler, std::move(handler));
}

int askChoice(const QString& text, const QStringList& choices) {
  if (currentChoiceHandler) return currentChoiceHandler(text, choices);
  QMessageBox box(QMessageBox::Question, QStringLiteral("Folim"), text, QMessageBox::NoButton,
                  QApplication::activeWindow());
  QList<QAbstractButton*> buttons;
  for (const QString& choice : choices) buttons << box.addButton(choice, QMessageBox::AcceptRole);
  // The last choice is the careful one (Cancel), also taken by Esc.
  if (!buttons.isEmpty()) box.setEscapeButton(buttons.last());
  box.exec();
  return static_cast<int>(buttons.indexOf(box.clickedButton()));
}

TextHandler setTextHandler(TextHandler handler) {
  return replaceHandler(currentTextHandler, std::move(handler));
}

QString askText(const QString& text, const QString& initial) {
  if (currentTextHandler) return currentTextHandler(text, initial);
  bool ok = false;
  const QString answer = QInputDialog::getText(
      QApplication::activeWindow(), QStringLiteral("Folim"), text, QLineEdit::Normal, initial, &ok);
  return ok ? answer : QString();
}
