// The index file as the file system sees it, before and around SQLite: what
// lies at its path (nothing, an empty file, a Folim index, something else),
// the private folders and file a new index is made in, and the companion
// files SQLite keeps beside it (FILE-wal, FILE-shm).
#pragma once

#include <string>

enum class IndexFileKind {
  Missing,
  Empty,
  FolimIndex,  // an SQLite database with Folim's application id
  Other,       // anything else: another program's database, a photograph
  NotRegular,  // a FIFO, a device, a socket, a folder
  Unreadable,
};

// What lies at path, read from its header without SQLite (so that nothing
// is created or changed beside a file that is not an index). why tells
// Other, NotRegular and Unreadable apart in words.
IndexFileKind InspectIndexFile(const std::string& path, std::string& why);

// Makes every missing folder of the path as 0700 (folders that exist keep
// their mode). False with error naming the folder and the cause.
bool MakePrivateFolders(const std::string& folder, std::string& error);

// Makes an empty file of mode 0600 unless one exists (SQLite gives its
// companion files the mode of the index). False with error set.
bool CreatePrivateFile(const std::string& path, std::string& error);

// Takes the permissions of group and others off the index and its companion
// files, for an index of Folim's own that an earlier version made readable
// by every user. Files of another owner are left alone.
void KeepPrivate(const std::string& path);

// A companion file left unwritable by a read-only use of the index (SQLite
// made it with the index's mode of the time) keeps every later writer out.
// When the index itself is writable, such a file of ours gets the index's
// mode again; one that cannot be mended is named in error (false).
bool MendCompanionFiles(const std::string& path, std::string& error);

// Why SQLite could not open or create the index or a companion file, as far
// as the file system tells: a folder not writable, a file not readable or
// writable. Empty when nothing is found.
std::string CannotOpenCause(const std::string& path);

// The device and inode of path; false when it cannot be inspected.
bool FileIdentity(const std::string& path, unsigned long long& device, unsigned long long& inode);
