// A throwaway PostgreSQL server for the tests of the index on a server: the
// one the test run started (a CTest fixture), or else one this program
// starts on first use and stops at its end (tests/support/postgres_server.sh).
#pragma once

#include <string>
#include <utility>

namespace testing_support {

class PostgresServer {
 public:
  // The server, or null when there is none: reason then says why (no
  // server binaries installed, or the server would not start).
  static PostgresServer* Get(std::string& reason);

  // The Unix socket's folder.
  const std::string& socketDir() const { return dir_; }
  // A connection string of the server's superuser to a database of its own.
  std::string freshDatabase();
  // A connection string to database as user with password, which the
  // server asks for (any user but its superuser must give one).
  std::string connection(const std::string& database, const std::string& user = "folim",
                         const std::string& password = {}) const;
  // Runs text (any number of statements) as the superuser on database;
  // false with error set when it fails.
  bool run(const std::string& database, const std::string& text, std::string& error) const;

 private:
  explicit PostgresServer(std::string dir) : dir_(std::move(dir)) {}
  std::string dir_;
  int databases_ = 0;
};

// Skips the running test when there are no PostgreSQL server binaries,
// fails it when they are there but no server starts; else the server.
#define FOLIM_POSTGRES_SERVER_OR_SKIP(server)                                                     \
  std::string server##Reason;                                                                     \
  testing_support::PostgresServer* server = testing_support::PostgresServer::Get(server##Reason); \
  if (server == nullptr) {                                                                        \
    if (testing_support::PostgresBinariesInstalled())                                             \
      FAIL() << server##Reason;                                                                   \
    else                                                                                          \
      GTEST_SKIP() << server##Reason;                                                             \
  }

bool PostgresBinariesInstalled();

}  // namespace testing_support
