#include "shell/recent_files.h"

#include <QSettings>

namespace {

const char* const kGroup = "Recent File List";

QString keyOf(int i) { return QStringLiteral("File%1").arg(i + 1); }

}  // namespace

CRecentFileList::CRecentFileList() {
  QSettings settings;
  settings.beginGroup(QLatin1String(kGroup));
  for (int i = 0; i < kMaxEntries; ++i) {
    const QString path = settings.value(keyOf(i)).toString();
    if (!path.isEmpty() && !entries_.contains(path)) entries_ << path;
  }
}

void CRecentFileList::add(const QString& path) {
  if (path.isEmpty()) return;
  entries_.removeAll(path);
  entries_.prepend(path);
  while (entries_.size() > kMaxEntries) entries_.removeLast();
  save();
}

void CRecentFileList::remove(const QString& path) {
  entries_.removeAll(path);
  save();
}

void CRecentFileList::save() const {
  QSettings settings;
  settings.beginGroup(QLatin1String(kGroup));
  for (int i = 0; i < kMaxEntries; ++i) {
    if (i < entries_.size()) {
      settings.setValue(keyOf(i), entries_[i]);
    } else {
      settings.remove(keyOf(i));
    }
  }
}
