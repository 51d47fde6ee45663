// A statement of the index on a server: its parameters as libpq takes them
// (integers and text as text, bytes as bytes), its result cleared when it
// goes out of scope, and readers of the binary columns the queries return.
#pragma once

#include "index/libpq_library.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "index/file_stamp.h"

// One statement's parameters: integers and text as text, bytes as bytes.
class PgParams {
 public:
  void text(std::string v) { add(std::move(v), 0); }
  void integer(std::int64_t v) { text(std::to_string(v)); }
  void bytes(std::string v) { add(std::move(v), 1); }
  void bytes(const std::vector<std::uint8_t>& v) { bytes(std::string(v.begin(), v.end())); }
  void null() {
    add({}, 0);
    nulls_.back() = true;
  }
  void stamp(const FileStamp& v) {
    for (const std::int64_t x : {v.size, v.mtime, v.mtimeNsec, v.ctime, v.ctimeNsec, v.inode})
      integer(x);
  }
  PGresult* exec(PGconn* conn, const char* sql) const {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (std::size_t i = 0; i < values_.size(); ++i) {
      values.push_back(nulls_[i] ? nullptr : values_[i].data());
      lengths.push_back(static_cast<int>(values_[i].size()));
    }
    return libpq().execParams(conn, sql, static_cast<int>(values_.size()), nullptr, values.data(),
                              lengths.data(), formats_.data(), 1);
  }

 private:
  void add(std::string v, int format) {
    values_.push_back(std::move(v));
    formats_.push_back(format);
    nulls_.push_back(false);
  }
  std::vector<std::string> values_;
  std::vector<int> formats_;
  std::vector<bool> nulls_;
};

// A result, cleared when it goes out of scope.
struct PgResult {
  explicit PgResult(PGresult* result) : r(result) {}
  ~PgResult() { libpq().clear(r); }
  PgResult(const PgResult&) = delete;
  PgResult& operator=(const PgResult&) = delete;
  explicit operator bool() const { return r != nullptr; }
  PGresult* r;
};

// An integer column of a binary result: big-endian, 2, 4 or 8 bytes.
inline std::int64_t integerAt(const PGresult* r, int row, int column) {
  const auto* p = reinterpret_cast<const unsigned char*>(libpq().getvalue(r, row, column));
  const int n = libpq().getlength(r, row, column);
  std::uint64_t v = 0;
  for (int i = 0; i < n; ++i) v = v << 8 | p[i];
  if (n < 8 && n > 0 && (p[0] & 0x80) != 0) v |= ~std::uint64_t{0} << (8 * n);  // sign
  return static_cast<std::int64_t>(v);
}

inline std::string bytesAt(const PGresult* r, int row, int column) {
  return std::string(libpq().getvalue(r, row, column),
                     static_cast<std::size_t>(libpq().getlength(r, row, column)));
}

// The stamp from column i on; false when the row only knows its size and
// modification time (change time and inode NULL).
inline bool stampAt(const PGresult* r, int row, int i, FileStamp& v) {
  v.size = integerAt(r, row, i);
  v.mtime = integerAt(r, row, i + 1);
  v.mtimeNsec = integerAt(r, row, i + 2);
  v.ctime = integerAt(r, row, i + 3);
  v.ctimeNsec = integerAt(r, row, i + 4);
  v.inode = integerAt(r, row, i + 5);
  return !libpq().getisnull(r, row, i + 3) && !libpq().getisnull(r, row, i + 5);
}
