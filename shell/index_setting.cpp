#include "shell/index_setting.h"

#include <QCoreApplication>
#include <QSettings>

#include "index/postgres_index.h"
#include "index/signature_index.h"
#include "shell/messages.h"
#include "shell/native_path.h"

namespace {

const char* const kIndexKey = "index";

QString trimmedName(const QString& name) {
  const QString trimmed = name.trimmed();
  return trimmed == QLatin1String("default") ? QString() : trimmed;
}

}  // namespace

QString windowIndexShown() {
  const QString name = windowIndexName();
  const std::string native = toNativePath(name);
  return IsServerIndexName(native) ? fromNativePath(ConnectionForDisplay(native)) : name;
}

QString windowIndexName() {
  return trimmedName(QSettings().value(QLatin1String(kIndexKey)).toString());
}

IndexChoice windowIndexChoice() { return ChooseIndex(toNativePath(windowIndexName())); }

bool askWindowIndex() {
  const QString current = windowIndexName();
  const QString answer = askText(
      QCoreApplication::translate(
          "CMainFrame",
          "The signature index: \"default\", an SQLite file, or a PostgreSQL connection string "
          "(postgresql://user@host/database) to share one index between machines:"),
      current.isEmpty() ? QStringLiteral("default") : current);
  if (answer.trimmed().isEmpty()) return false;  // cancelled
  const QString name = trimmedName(answer);
  if (name == current) return false;
  const IndexChoice choice = ChooseIndex(toNativePath(name));
  SignatureIndex index;
  std::string notice, error;
  if (choice.path.empty() || !index.Open(choice.path, choice.owner, notice, error)) {
    showMessage(QCoreApplication::translate("CMainFrame", "Cannot open the index %1: %2")
                    .arg(fromNativePath(index.file()), QString::fromStdString(error)));
    return false;
  }
  QSettings().setValue(QLatin1String(kIndexKey), name);
  return true;
}
