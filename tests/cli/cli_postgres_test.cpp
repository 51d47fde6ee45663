// folim-cli with its index on a PostgreSQL server: the same rankings and
// groups as from an index file, several processes indexing overlapping
// folders at once, and the errors of a server that cannot be used.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "imageio/signature_source.h"
#include "index/signature_index.h"
#include "retrieval/synthetic_rim.h"
#include "support/cli_in_process.h"
#include "support/postgres_server.h"
#include "support/run_program.h"
#include "support/test_support.h"

extern char** environ;

using testing_support::binPath;
using testing_support::CliRun;
using testing_support::examplesPath;
using testing_support::readFileBytes;
using testing_support::runCli;
using testing_support::spawnCli;
using testing_support::TempDir;
using testing_support::waitExit;

namespace {

class CliPostgres : public ::testing::Test {
 protected:
  void SetUp() override {
    FOLIM_POSTGRES_SERVER_OR_SKIP(server);
    server_ = server;
    database_ = server->freshDatabase();
    ASSERT_NE(database_, "");
  }

  testing_support::PostgresServer* server_ = nullptr;
  std::string database_;
  TempDir store;
};

// The photographs of examples/ and their copies: a folder with groups.
TEST_F(CliPostgres, SearchAndDuplicatesPrintWhatTheyPrintFromAnIndexFile) {
  const std::string file = store.file("index.sqlite");
  const std::string folder = std::filesystem::path(examplesPath("aqua.jpg")).parent_path();
  const std::string query = examplesPath("dune.jpg");
  for (const std::string& index : {file, database_}) {
    const CliRun built = runCli({"index", "--index", index, folder});
    ASSERT_EQ(built.code, 0) << built.err;
    EXPECT_EQ(built.out, "added 8, refreshed 0, removed 0, failed 0, unchanged 0\n");
  }
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"search", "--no-refresh", query, folder},
        std::vector<std::string>{"search", "--no-refresh", "--shortlist", "3", query, folder},
        std::vector<std::string>{"search", "--no-refresh", "--json", "--color-mode", "block", query,
                                 folder},
        std::vector<std::string>{"duplicates", "--no-refresh", "--threshold", "0.4", folder}}) {
    std::vector<std::string> fromFile = command, fromServer = command;
    fromFile.insert(fromFile.begin() + 1, {"--index", file});
    fromServer.insert(fromServer.begin() + 1, {"--index", database_});
    const CliRun a = runCli(fromFile), b = runCli(fromServer);
    ASSERT_EQ(a.code, 0) << a.err;
    EXPECT_EQ(b.code, 0) << b.err;
    EXPECT_NE(a.out, "") << command[0];
    EXPECT_EQ(b.out, a.out) << command[0];
  }
}

// Three machines index a library at once, each its own part, the parts
// overlapping: every picture ends as one row, and nothing is left to learn.
// The client library and what it brings along are loaded only by a command
// on a server's index, not at every start.
TEST_F(CliPostgres, TheClientLibraryIsLoadedOnlyForAServer) {
  const std::string folder = std::filesystem::path(examplesPath("aqua.jpg")).parent_path();
  testing_support::Launch how;
  how.environment.emplace();
  for (char** e = environ; *e != nullptr; ++e) how.environment->push_back(*e);
  how.environment->push_back("LD_DEBUG=files");
  const auto loads = [&](const std::vector<std::string>& args) {
    const testing_support::ProgramRun run = testing_support::runCliProgram(args, how);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.err.find("libpq.so") != std::string::npos;
  };
  EXPECT_FALSE(loads({"--version"}));
  EXPECT_FALSE(loads({"index", "--index", store.file("index.sqlite"), folder}));
  EXPECT_TRUE(loads({"index", "--index", database_, folder}));
}

TEST_F(CliPostgres, ThreeProcessesOnOverlappingFoldersEndWithOneRowPerPicture) {
  TempDir library;
  constexpr int kPerFolder = 40;
  for (const char* sub : {"a", "b", "c"}) {
    std::filesystem::create_directory(library.file(sub));
    for (int i = 0; i < kPerFolder; ++i)
      synthetic::writeRandomRim(library.file(std::string(sub) + "/" + std::to_string(i) + ".rim"),
                                0, static_cast<unsigned>(i * 3 + sub[0]));
  }
  const std::vector<std::vector<std::string>> parts = {{"--recursive", library.path()},
                                                       {library.file("a"), library.file("b")},
                                                       {library.file("c"), library.file("b")}};
  std::vector<pid_t> pids;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    std::vector<std::string> args = {"index", "--jobs", "2", "--index", database_};
    args.insert(args.end(), parts[k].begin(), parts[k].end());
    pids.push_back(spawnCli(args, store.file(std::to_string(k) + ".out")));
    ASSERT_GT(pids.back(), 0);
  }
  for (std::size_t k = 0; k < pids.size(); ++k)
    EXPECT_EQ(waitExit(pids[k]), 0) << readFileBytes(store.file(std::to_string(k) + ".out.err"));

  const CliRun again = runCli({"index", "--recursive", "--index", database_, library.path()});
  EXPECT_EQ(again.code, 0) << again.err;
  EXPECT_EQ(again.out, "added 0, refreshed 0, removed 0, failed 0, unchanged 120\n");
  SignatureIndex index;
  std::string notice, error;
  ASSERT_TRUE(index.Open(database_, notice, error)) << error;
  std::vector<IndexRow> rows;
  ASSERT_TRUE(
      index.RowsUnder(library.path(), signatureParametersKey(currentSignatureParameters()), rows));
  std::set<std::string> paths;
  for (const IndexRow& row : rows) {
    paths.insert(row.path);
    EXPECT_EQ(row.status, 0) << row.path;
    Signature s;
    EXPECT_TRUE(index.LoadSignature(row.id, s)) << row.path;
  }
  EXPECT_EQ(rows.size(), 3u * kPerFolder);
  EXPECT_EQ(paths.size(), rows.size());
}

struct Refusal {
  const char* what;
  std::string (*connection)(testing_support::PostgresServer& server, const std::string& dir);
  const char* cause;
};

void PrintTo(const Refusal& refusal, std::ostream* os) { *os << refusal.what; }

class CliPostgresRefusal : public CliPostgres, public ::testing::WithParamInterface<Refusal> {};

// A server that cannot be used fails the command as a damaged file does
// (exit status 1), naming the server without its password and the cause.
TEST_P(CliPostgresRefusal, FailsTheCommandWithTheServersWords) {
  const std::string connection = GetParam().connection(*server_, store.path());
  for (const char* command : {"index", "duplicates"}) {
    const CliRun run = runCli({command, "--index", connection, store.path()});
    EXPECT_EQ(run.code, 1) << command;
    EXPECT_EQ(run.out, "");
    const std::string prefix = std::string("folim-cli ") + command + ": cannot open the index ";
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << run.err;
    EXPECT_NE(run.err.find(GetParam().cause), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("password=wrong"), std::string::npos) << run.err;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Servers, CliPostgresRefusal,
    ::testing::Values(Refusal{"NoServer",
                              [](testing_support::PostgresServer&, const std::string& dir) {
                                return "host=" + dir + " dbname=photos";
                              },
                              "Is the server running"},
                      Refusal{"WrongPassword",
                              [](testing_support::PostgresServer& server, const std::string&) {
                                std::string error;
                                EXPECT_TRUE(server.run(
                                    "postgres",
                                    "DO $$BEGIN CREATE ROLE keeper LOGIN PASSWORD 'right';"
                                    " EXCEPTION WHEN duplicate_object THEN NULL; END$$",
                                    error))
                                    << error;
                                return server.connection("postgres", "keeper", "wrong");
                              },
                              "password authentication failed"},
                      Refusal{"NoDatabase",
                              [](testing_support::PostgresServer& server, const std::string&) {
                                return server.connection("no_such_database");
                              },
                              "does not exist"}),
    [](const ::testing::TestParamInfo<Refusal>& p) { return std::string(p.param.what); });

}  // namespace
