// A folder of synthetic RIM files and an index for the index tests: an
// SQLite file, or for the tests that run on both kinds (OnBothIndexes) a
// database of its own on the tests' PostgreSQL server.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "index/refresh.h"
#include "index/signature_index.h"
#include "retrieval/synthetic_rim.h"
#include "support/index_sql.h"
#include "support/postgres_server.h"
#include "support/test_support.h"

// A stamp of a size and a modification time (seconds), for rows made by hand.
inline FileStamp stampOf(std::int64_t size, std::int64_t mtime) {
  FileStamp stamp;
  stamp.size = size;
  stamp.mtime = mtime;
  return stamp;
}

enum class IndexKind { Sqlite, Postgres };

inline std::string PrintToString(IndexKind kind) {
  return kind == IndexKind::Sqlite ? "Sqlite" : "Postgres";
}

class IndexFixture : public ::testing::Test {
 protected:
  // Makes the server's database for a test on PostgreSQL, or skips it when
  // PostgreSQL is not installed. Fixtures that have a SetUp call this first.
  void SetUp() override {
    if (kind_ != IndexKind::Postgres) return;
    FOLIM_POSTGRES_SERVER_OR_SKIP(server);
    database_ = server->freshDatabase();
    ASSERT_NE(database_, "") << "cannot make a database on the tests' PostgreSQL server";
  }

  // name.rim in the folder (or in sub), a random file of a seed.
  std::string writeRim(const std::string& name, unsigned seed, std::uint16_t learning = 0,
                       std::uint32_t width = 96) {
    const std::string path = folder.file(name);
    synthetic::writeRandomRim(path, learning, seed, width);
    return path;
  }

  // The signature of a random file of a seed, read from scratch.rim.
  Signature signatureOf(unsigned seed, std::uint16_t learning = 0, std::uint32_t width = 96) {
    Signature s;
    EXPECT_EQ(ReadRimSignature(writeRim("scratch.rim", seed, learning, width), s), status::Success);
    return s;
  }

  void open(SignatureIndex& index) {
    std::string notice, error;
    ASSERT_TRUE(index.Open(indexFile(), notice, error)) << error;
    EXPECT_EQ(notice, "");
  }

  void useKind(IndexKind kind) { kind_ = kind; }

  // The index's name: a file, or a connection string.
  std::string indexFile() const {
    return kind_ == IndexKind::Postgres ? database_ : store.file("index.sqlite");
  }

  // The name of the server's database in the connection string.
  std::string databaseName() const {
    const std::size_t at = database_.find("dbname=") + 7;
    return database_.substr(at, database_.find(' ', at) - at);
  }

  // Statements run on the index as no Folim program would: sqliteText on
  // the file, serverText on the server's database (tables in schema folim).
  void runOnIndex(const std::string& sqliteText, const std::string& serverText) {
    if (kind_ == IndexKind::Sqlite) {
      testing_support::sql(indexFile(), sqliteText.c_str());
      return;
    }
    std::string reason, error;
    EXPECT_TRUE(
        testing_support::PostgresServer::Get(reason)->run(databaseName(), serverText, error))
        << error;
  }

  // Refreshes with the RIM reader as the source, counting its calls.
  RefreshCounts refresh(SignatureIndex& index, const std::vector<std::string>& files,
                        bool recursive = false, const std::atomic<bool>* stop = nullptr,
                        std::size_t stopAfter = 0, unsigned jobs = 2) {
    RefreshRequest request;
    request.dir = folder.path();
    request.recursive = recursive;
    request.files = files;
    request.params = "test";
    request.jobs = jobs;
    request.stop = stop;
    SignatureSource source = [this, stop, stopAfter](const std::string& path, Signature& s,
                                                     std::string&) {
      const std::size_t n = ++calls;
      if (stop != nullptr && n >= stopAfter) const_cast<std::atomic<bool>*>(stop)->store(true);
      return ReadRimSignature(path, s);
    };
    RefreshCounts counts;
    std::string error;
    EXPECT_TRUE(RefreshFolder(index, request, source, {}, counts, error)) << error;
    return counts;
  }

  testing_support::TempDir folder;
  testing_support::TempDir store;
  std::atomic<std::size_t> calls{0};

 private:
  IndexKind kind_ = IndexKind::Sqlite;
  std::string database_;
};

// A fixture whose tests run on an index of each kind (the parameter), named
// Fixture.Test/Sqlite and Fixture.Test/Postgres.
template <class Fixture>
class OnBothIndexes : public Fixture, public ::testing::WithParamInterface<IndexKind> {
 protected:
  OnBothIndexes() { this->useKind(GetParam()); }
};

#define FOLIM_ON_BOTH_INDEXES(suite) \
  INSTANTIATE_TEST_SUITE_P(, suite, BothIndexKinds(), IndexKindName)

inline auto BothIndexKinds() { return ::testing::Values(IndexKind::Sqlite, IndexKind::Postgres); }
inline std::string IndexKindName(const ::testing::TestParamInfo<IndexKind>& info) {
  return PrintToString(info.param);
}
