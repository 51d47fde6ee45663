// The recent-file list of the File menu: at most 4 paths, the most recent
// first, kept in the user's settings (organisation and application "Folim").
#pragma once

#include <QString>
#include <QStringList>

class CRecentFileList {
 public:
  static constexpr int kMaxEntries = 4;

  // Reads the list from the settings.
  CRecentFileList();

  const QStringList& entries() const { return entries_; }
  // Moves path to the front (adding it when new), drops what falls off the
  // end and writes the list back.
  void add(const QString& path);
  void remove(const QString& path);

 private:
  void save() const;

  QStringList entries_;
};
