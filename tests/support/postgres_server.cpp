#include "support/postgres_server.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace testing_support {
namespace {

const std::string kScript = std::string(FOLIM_TEST_SUPPORT_DIR) + "/postgres_server.sh";

// Runs the script with a verb on a folder; true when it succeeded.
bool script(const char* verb, const std::string& dir) {
  const std::string command = "bash '" + kScript + "' " + verb + " '" + dir + "'";
  return std::system(command.c_str()) == 0;
}

// Whether a server answers on the socket in dir.
bool answers(const std::string& dir) {
  const std::string conninfo = "host=" + dir + " dbname=postgres user=folim connect_timeout=5";
  PGconn* c = PQconnectdb(conninfo.c_str());
  const bool ok = PQstatus(c) == CONNECTION_OK;
  PQfinish(c);
  return ok;
}

// The server this program started, stopped when the program ends.
std::string ownServer;
void stopOwnServer() {
  if (!ownServer.empty()) script("stop", ownServer);
}

}  // namespace

bool PostgresBinariesInstalled() {
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator("/usr/lib/postgresql", ec))
    if (::access((e.path() / "bin/initdb").c_str(), X_OK) == 0) return true;
  return false;
}

PostgresServer* PostgresServer::Get(std::string& reason) {
  static std::unique_ptr<PostgresServer> server;
  static std::string failure;
  if (server) return server.get();
  if (!failure.empty()) {
    reason = failure;
    return nullptr;
  }
  if (!PostgresBinariesInstalled()) {
    reason = failure =
        "no PostgreSQL server binaries under /usr/lib/postgresql (Debian package "
        "postgresql): the tests of the index on a server are skipped";
    return nullptr;
  }
  // The test run's shared server, when it runs.
  std::ifstream shared(FOLIM_TEST_POSTGRES_FILE);
  std::string dir;
  if (shared && std::getline(shared, dir) && !dir.empty() && answers(dir)) {
    server.reset(new PostgresServer(dir));
    return server.get();
  }
  char name[] = "/tmp/folim-pg.XXXXXX";
  if (::mkdtemp(name) == nullptr) {
    reason = failure = "cannot make a folder for a PostgreSQL server under /tmp";
    return nullptr;
  }
  if (!script("start", name) || !answers(name)) {
    script("stop", name);
    reason = failure = "the PostgreSQL server of the tests did not start";
    return nullptr;
  }
  ownServer = name;
  std::atexit(stopOwnServer);
  server.reset(new PostgresServer(name));
  return server.get();
}

std::string PostgresServer::connection(const std::string& database, const std::string& user,
                                       const std::string& password) const {
  std::string c = "host=" + dir_ + " dbname=" + database + " user=" + user;
  if (!password.empty()) c += " password=" + password;
  return c;
}

bool PostgresServer::run(const std::string& database, const std::string& text,
                         std::string& error) const {
  PGconn* c = PQconnectdb(connection(database).c_str());
  bool ok = PQstatus(c) == CONNECTION_OK;
  if (ok) {
    PGresult* r = PQexec(c, text.c_str());
    const ExecStatusType status = PQresultStatus(r);
    ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
    PQclear(r);
  }
  if (!ok) error = PQerrorMessage(c);
  PQfinish(c);
  return ok;
}

std::string PostgresServer::freshDatabase() {
  const std::string name =
      "folim_" + std::to_string(::getpid()) + "_" + std::to_string(++databases_);
  std::string error;
  if (!run("postgres", "CREATE DATABASE " + name, error)) return {};
  return connection(name);
}

}  // namespace testing_support
