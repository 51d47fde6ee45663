// What folim-cli says about its signature index when something is wrong
// around it: one table of a setting, a command, the words standard error
// must hold and the exit status, each case followed by what must (not) be
// left on disk. folim-cli runs as its own process with a chosen HOME and
// cache, as an ordinary user where permissions matter (they mean nothing
// to root).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <map>

#include "support/index_sql.h"
#include "support/run_program.h"
#include "support/test_support.h"

using testing_support::examplesPath;
using testing_support::Launch;
using testing_support::modeOf;
using testing_support::ProgramRun;
using testing_support::readFileBytes;
using testing_support::runCliProgram;
using testing_support::runningAsRoot;
using testing_support::sql;
using testing_support::TempDir;
using testing_support::writeFileBytes;

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

// A folder with two pictures, a home without a cache yet, and the
// environment folim-cli is started with.
class Scene {
 public:
  Scene() {
    fs::create_directory(file("pics"));
    fs::copy_file(examplesPath("aqua.jpg"), file("pics/aqua.jpg"));
    fs::copy_file(examplesPath("dune.jpg"), file("pics/dune.jpg"));
    fs::create_directory(file("home"));
    env["HOME"] = file("home");
  }
  std::string file(const std::string& name) const { return root.file(name); }
  std::string defaultIndex() const { return file("home/.cache/folim/index.sqlite"); }

  // Runs folim-cli in the scene's folder; as nobody when asked and root.
  ProgramRun cli(const std::vector<std::string>& args, bool unprivileged = false) {
    if (unprivileged && runningAsRoot() && !handedOver_) {
      handOver(root.path());
      handedOver_ = true;  // what root makes later stays root's
    }
    Launch how;
    how.workDir = root.path();
    how.unprivileged = unprivileged;
    how.environment.emplace();
    for (const auto& [key, value] : env) how.environment->push_back(key + "=" + value);
    how.environment->push_back("PATH=/usr/bin:/bin");
    return runCliProgram(args, how);
  }

  std::map<std::string, std::string> env;

 private:
  // The scene's files as nobody's, so that nobody may work in them.
  static void handOver(const std::string& path) {
    ::chmod(path.c_str(), 0755);
    if (::lchown(path.c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << path;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(path))
      if (::lchown(e.path().c_str(), kNobody, kNobody) != 0) ADD_FAILURE() << e.path();
  }

  TempDir root;
  bool handedOver_ = false;
};

// The default index, made of the pictures (as the scene's user).
void madeIndex(Scene& s, bool unprivileged = false) {
  const ProgramRun o = s.cli({"index", "pics"}, unprivileged);
  ASSERT_EQ(o.exitCode, 0) << o.err;
}

struct Case {
  const char* name;
  std::function<void(Scene&)> setup;
  std::vector<std::string> args;
  std::string err;  // what standard error holds; empty: nothing at all
  int code;
  std::function<void(Scene&)> after;
  bool unprivileged = false;
  bool needsRoot = false;  // to make a file of another user
};

class IndexMessages : public ::testing::TestWithParam<Case> {};

TEST_P(IndexMessages, SayWhatIsWrongAndLeaveWhatIsNotTheirs) {
  const Case& c = GetParam();
  if (c.needsRoot && !runningAsRoot()) GTEST_SKIP() << "makes a file of another user";
  Scene scene;
  if (c.setup) c.setup(scene);
  if (HasFatalFailure()) return;
  const ProgramRun o = scene.cli(c.args, c.unprivileged);
  EXPECT_EQ(o.exitCode, c.code) << o.out << o.err;
  if (c.err.empty()) {
    EXPECT_EQ(o.err, "");
  } else {
    EXPECT_NE(o.err.find(c.err), std::string::npos) << o.err;
  }
  if (c.after) c.after(scene);
}

const std::string kPhotoBytes = readFileBytes(examplesPath("aqua.jpg"));

const Case kCases[] = {
    {"named_photograph_is_refused_untouched",
     [](Scene& s) { writeFileBytes(s.file("photo.jpg"), kPhotoBytes); },
     {"index", "--index", "photo.jpg", "pics"},
     "folim-cli index: cannot open the index photo.jpg: not a Folim index (not an SQLite "
     "database); it is left as it is\n",
     1,
     [](Scene& s) {
       EXPECT_EQ(readFileBytes(s.file("photo.jpg")), kPhotoBytes);
       EXPECT_FALSE(fs::exists(s.file("photo.jpg.damaged")));
     }},
    {"named_database_of_another_program_is_refused_untouched",
     [](Scene& s) { sql(s.file("photos.db"), "PRAGMA journal_mode=WAL; CREATE TABLE photos (x)"); },
     {"search", "--index", "photos.db", "pics/aqua.jpg", "pics"},
     "folim-cli search: cannot open the index photos.db: not a Folim index (a database of "
     "another program); it is left as it is\n",
     1,
     [](Scene& s) {
       for (const char* suffix : {".damaged", "-journal", "-wal", "-shm"})
         EXPECT_FALSE(fs::exists(s.file("photos.db") + suffix)) << suffix;
     }},
    {"named_empty_file_becomes_the_index",
     [](Scene& s) { writeFileBytes(s.file("new.sqlite"), ""); },
     {"index", "--index", "new.sqlite", "pics"},
     "",
     0,
     [](Scene& s) { EXPECT_GT(fs::file_size(s.file("new.sqlite")), 0u); }},
    {"damaged_default_index_is_kept_aside_and_rebuilt",
     [](Scene& s) {
       fs::create_directories(s.file("home/.cache/folim"));
       writeFileBytes(s.defaultIndex(), std::string(5000, '\x17'));
     },
     {"index", "pics"},
     "was damaged (file is not a database); kept as ",
     0,
     [](Scene& s) {
       EXPECT_EQ(readFileBytes(s.defaultIndex() + ".damaged"), std::string(5000, '\x17'));
     }},
    {"fifo_is_refused",
     [](Scene& s) { ASSERT_EQ(::mkfifo(s.file("fifo").c_str(), 0600), 0); },
     {"index", "--index", "fifo", "pics"},
     "folim-cli index: cannot open the index fifo: is not a regular file\n",
     1,
     {}},
    {"device_is_refused_before_anything_is_made_beside_it",
     [](Scene& s) { fs::create_symlink("/dev/null", s.file("null")); },
     {"duplicates", "--index", "null", "pics"},
     "folim-cli duplicates: cannot open the index null: is not a regular file\n",
     1,
     [](Scene& s) {
       for (const char* suffix : {"-journal", "-wal", "-shm"})
         EXPECT_FALSE(fs::exists(s.file("null") + suffix)) << suffix;
     }},
    {"no_home_and_no_cache_names_the_option",
     [](Scene& s) { s.env.erase("HOME"); },
     {"index", "pics"},
     "folim-cli index: no place for the index: neither XDG_CACHE_HOME nor HOME names an "
     "absolute folder; name a file with --index FILE\n",
     1,
     [](Scene& s) {
       EXPECT_FALSE(fs::exists(s.file(".cache")));
       EXPECT_FALSE(fs::exists(s.file("pics/.cache")));
     }},
    {"relative_cache_and_home_are_no_place_either",
     [](Scene& s) {
       s.env["HOME"] = ".";
       s.env["XDG_CACHE_HOME"] = "cache";
     },
     {"search", "--index", "default", "pics/aqua.jpg", "pics"},
     "name a file with --index FILE\n",
     1,
     [](Scene& s) { EXPECT_FALSE(fs::exists(s.file(".cache"))); }},
    {"cache_that_cannot_be_made_names_folder_and_cause",
     [](Scene& s) {
       fs::create_directory(s.file("locked"));
       ::chmod(s.file("locked").c_str(), 0555);
       s.env["XDG_CACHE_HOME"] = s.file("locked");
     },
     {"index", "pics"},
     "/locked/folim/index.sqlite: cannot make the folder ",
     1,
     [](Scene& s) {
       EXPECT_FALSE(fs::exists(s.file("locked/folim")));
       const ProgramRun o = s.cli({"index", "pics"}, true);
       EXPECT_NE(
           o.err.find("cannot make the folder " + s.file("locked/folim") + ": Permission denied\n"),
           std::string::npos)
           << o.err;
     },
     true},
    {"index_that_cannot_be_written_names_the_file_and_cause",
     [](Scene& s) {
       madeIndex(s, true);
       ::chmod(s.defaultIndex().c_str(), 0400);
       writeFileBytes(s.file("pics/new.jpg"), kPhotoBytes);
     },
     {"index", "pics"},
     "/home/.cache/folim/index.sqlite: attempt to write a readonly database (",
     1,
     [](Scene& s) {
       // The cause: the index itself.
       const ProgramRun o = s.cli({"index", "pics"}, true);
       EXPECT_NE(o.err.find("(" + s.defaultIndex() + ": Permission denied)\n"), std::string::npos)
           << o.err;
     },
     true},
    {"read_only_spell_leaves_no_unwritable_index",
     [](Scene& s) {
       madeIndex(s, true);
       ::chmod(s.defaultIndex().c_str(), 0400);
       const ProgramRun o =
           s.cli({"search", "--index", "default", "--no-refresh", "pics/aqua.jpg", "pics"}, true);
       ASSERT_EQ(o.exitCode, 0) << o.err;
       ASSERT_EQ(modeOf(s.defaultIndex() + "-shm"), 0400u);  // what SQLite leaves
       ::chmod(s.defaultIndex().c_str(), 0600);
       writeFileBytes(s.file("pics/new.jpg"), kPhotoBytes);
     },
     {"index", "pics"},
     "",
     0,
     [](Scene& s) {
       // SQLite removes it when the last user closes the index.
       const mode_t shm = modeOf(s.defaultIndex() + "-shm");
       EXPECT_TRUE(shm == 0 || shm == 0600u) << shm;
     },
     true},
    {"unwritable_companion_of_another_user_is_named",
     [](Scene& s) {
       madeIndex(s, true);
       writeFileBytes(s.defaultIndex() + "-shm", std::string(32768, '\0'));
       ::chmod((s.defaultIndex() + "-shm").c_str(), 0444);
     },
     {"index", "pics"},
     "index.sqlite-shm cannot be written (Permission denied), left by a read-only use of the "
     "index; remove it while no program uses the index\n",
     1,
     {},
     true,
     true},
    {"pictures_that_fail_are_listed_with_their_cause",
     [](Scene& s) { writeFileBytes(s.file("pics/broken.jpg"), "no picture"); },
     {"index", "pics"},
     "/pics/broken.jpg: not a readable image (",
     1,
     {}},
    {"damaged_query_says_what_the_search_without_the_index_says",
     [](Scene& s) { writeFileBytes(s.file("broken.jpg"), "no picture"); },
     {"search", "--index", "default", "broken.jpg", "pics"},
     "folim-cli search: The query cannot be read: broken.jpg: not a readable image (",
     1,
     {}},
    {"newer_schema_is_left_alone",
     [](Scene& s) {
       madeIndex(s);
       sql(s.defaultIndex(), "PRAGMA user_version=99");
     },
     {"index", "pics"},
     "made by a newer version of Folim (schema 99)",
     1,
     [](Scene& s) { EXPECT_FALSE(fs::exists(s.defaultIndex() + ".damaged")); }},
    {"damaged_entries_are_dropped_and_learned_again",
     [](Scene& s) {
       madeIndex(s);
       sql(s.defaultIndex(), "UPDATE entries SET compact = x'00'");
     },
     {"search", "--index", "default", "pics/aqua.jpg", "pics"},
     "folim-cli search: 2 damaged index entries dropped\n",
     0,
     [](Scene& s) {
       const ProgramRun again = s.cli({"search", "--index", "default", "pics/aqua.jpg", "pics"});
       EXPECT_EQ(again.err, "");
       EXPECT_EQ(again.out.substr(0, 27), "1.000000 1.000000 1.000000 ");
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, IndexMessages, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) {
                           return std::string(p.param.name);
                         });

}  // namespace
