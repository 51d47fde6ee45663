// Every message the user sees goes through showMessage, so that it can be
// captured (tests) instead of opening a modal box.
#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Shows text in a modal message box with an OK button and returns when the
// user has confirmed it. Callable from any thread: a worker waits until the
// user-interface thread has shown the box.
void showMessage(const QString& text);

// Replaces the way messages are shown; an empty handler restores the message
// box. Returns the previous handler.
using MessageHandler = std::function<void(const QString&)>;
MessageHandler setMessageHandler(MessageHandler handler);

// Asks a yes/no question in a modal box (user-interface thread); true for
// Yes. Tests answer through a handler instead.
bool askQuestion(const QString& text);
using QuestionHandler = std::function<bool(const QString&)>;
QuestionHandler setQuestionHandler(QuestionHandler handler);

// Asks text with one button per choice in a modal box (user-interface
// thread); the index of the choice taken, or -1 when the box is closed.
// Tests answer through a handler instead.
int askChoice(const QString& text, const QStringList& choices);
using ChoiceHandler = std::function<int(const QString&, const QStringList&)>;
ChoiceHandler setChoiceHandler(ChoiceHandler handler);

// Asks for a line of text in a modal box (user-interface thread), initial
// filled in; the text, or an empty one on Cancel. Tests answer through a
// handler instead.
QString askText(const QString& text, const QString& initial);
using TextHandler = std::function<QString(const QString& text, const QString& initial)>;
TextHandler setTextHandler(TextHandler handler);
