// The tables of the signature index and their versions: what a new index is
// made with, and the steps that bring a file of an older version up to date.
// Version 1 kept a file's size and modification time (nanoseconds of the
// standard library's file clock); version 2 keeps the whole stamp of
// index/file_stamp.h, with rows carried over from version 1 holding size and
// modification time only (their change time and inode are NULL) until a
// refresh sees the file again.
#pragma once

#include <string>

struct sqlite3;

inline constexpr int kIndexApplicationId = 1181707369;  // "Foli"
inline constexpr int kIndexSchemaVersion = 2;

// Makes the tables of the current version and sets the file's identity,
// inside the caller's transaction. False with error set.
bool CreateIndexSchema(sqlite3* db, std::string& error);

// Brings a file of version from (1 or later) to the current version, inside
// the caller's transaction, which holds the write lock: a failure leaves the
// file as it was once the caller rolls back. False with error set.
bool MigrateIndexSchema(sqlite3* db, int from, std::string& error);

// The log of changes to the entries, added beside the tables of any version
// without changing it (older programs keep reading and writing the file,
// and their writes are logged too): a one-row table of a random epoch, drawn
// when the log is made, and the generation, a counter that triggers raise
// whenever an entry is added, removed or changes what a ranking reads; and
// the id of the entry each generation changed. With it, an index of the
// failed entries, which a large folder's ranking lists. Inside the caller's
// transaction; nothing is made twice. False with error.
bool CreateEntryChanges(sqlite3* db, std::string& error);
