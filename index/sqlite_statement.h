// A prepared SQLite statement of the index, finalised when it goes out of
// scope, with the binders and readers the index's queries use.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <vector>

#include "index/file_stamp.h"

class IndexStatement {
 public:
  explicit IndexStatement(sqlite3_stmt* s) : s_(s) {}
  ~IndexStatement() { sqlite3_finalize(s_); }
  IndexStatement(const IndexStatement&) = delete;
  IndexStatement& operator=(const IndexStatement&) = delete;
  sqlite3_stmt* get() const { return s_; }
  explicit operator bool() const { return s_ != nullptr; }
  void text(int i, const std::string& v) {
    sqlite3_bind_text(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void blob(int i, const std::string& v) {
    sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void blob(int i, const std::vector<std::uint8_t>& v) {
    sqlite3_bind_blob(s_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
  }
  void integer(int i, std::int64_t v) { sqlite3_bind_int64(s_, i, v); }
  // The stamp's six values from parameter i on.
  void stamp(int i, const FileStamp& v) {
    for (const std::int64_t x : {v.size, v.mtime, v.mtimeNsec, v.ctime, v.ctimeNsec, v.inode})
      integer(i++, x);
  }
  std::int64_t columnInteger(int i) const { return sqlite3_column_int64(s_, i); }
  std::string columnBytes(int i) const {
    const void* p = sqlite3_column_blob(s_, i);
    const int n = sqlite3_column_bytes(s_, i);
    return p == nullptr ? std::string() : std::string(static_cast<const char*>(p), n);
  }
  // The stamp from column i on; false when the row only knows its size and
  // modification time (change time and inode NULL).
  bool readStamp(int i, FileStamp& v) const {
    v.size = columnInteger(i);
    v.mtime = columnInteger(i + 1);
    v.mtimeNsec = columnInteger(i + 2);
    v.ctime = columnInteger(i + 3);
    v.ctimeNsec = columnInteger(i + 4);
    v.inode = columnInteger(i + 5);
    return sqlite3_column_type(s_, i + 3) != SQLITE_NULL &&
           sqlite3_column_type(s_, i + 5) != SQLITE_NULL;
  }

 private:
  sqlite3_stmt* s_;
};
