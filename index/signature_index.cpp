#include "index/signature_index.h"

#include "index/postgres_index.h"
#include "index/sqlite_index.h"

// The root ends in "/" already: its range is every absolute path.
std::string PathRangeLow(const std::string& dir) { return dir == "/" ? dir : dir + "/"; }
std::string PathRangeHigh(const std::string& dir) { return dir == "/" ? "0" : dir + "0"; }

bool IsServerIndexName(const std::string& name) {
  if (name.rfind("postgresql://", 0) == 0 || name.rfind("postgres://", 0) == 0) return true;
  // The keyword form: words "key=value" apart by blanks, the first of them
  // a key (a file name rarely starts so), one of them host or dbname.
  const std::size_t equals = name.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  for (std::size_t i = 0; i < equals; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || c == '_')) return false;
  }
  for (const char* key : {"host=", "hostaddr=", "dbname="}) {
    for (std::size_t at = name.find(key); at != std::string::npos; at = name.find(key, at + 1))
      if (at == 0 || name[at - 1] == ' ' || name[at - 1] == '\t') return true;
  }
  return false;
}

SignatureIndex::SignatureIndex() : store_(std::make_unique<SqliteIndex>()) {}
SignatureIndex::~SignatureIndex() = default;

bool SignatureIndex::Open(const std::string& name, IndexOwner owner, std::string& notice,
                          std::string& error) {
  if (IsServerIndexName(name))
    store_ = std::make_unique<PostgresIndex>();
  else
    store_ = std::make_unique<SqliteIndex>();
  return store_->Open(name, owner, notice, error);
}
