// Writes that end badly leave nothing behind: a signal while the temporary
// file is open removes it, however many files the process wrote before and
// however deep the folder, long target names still get a temporary name
// that fits, and special files are refused instead of blocking a reader.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>

#include "platform/atomic_file.h"
#include "platform/ini.h"
#include "platform/regular_file.h"
#include "support/test_support.h"

using testing_support::filesIn;
using testing_support::readFileBytes;
using testing_support::TempDir;

namespace {

// A folder under root whose path is at least length bytes long, made of
// folders of 50-byte names.
std::string deepFolder(const std::string& root, std::size_t length) {
  std::string folder = root;
  while (folder.size() < length) folder += "/" + std::string(50, 'd');
  std::filesystem::create_directories(folder);
  return folder;
}

// How a write is interrupted: by which signal, after how many files the
// process wrote whole before, in a folder how deep.
struct Interruption {
  const char* name;
  int signalNumber;
  int writtenBefore;
  std::size_t folderLength;  // 0: the test's folder itself
};

class SignalDuringWrite : public ::testing::TestWithParam<Interruption> {};

}  // namespace

// The child writes some files whole, opens a temporary file, writes half of
// it and is ended by the signal; the process still dies of that signal, and
// the folder holds only the files written whole.
TEST_P(SignalDuringWrite, RemovesTheTemporaryFile) {
  TempDir dir;
  const Interruption& c = GetParam();
  const std::string folder =
      c.folderLength == 0 ? dir.path() : deepFolder(dir.path(), c.folderLength);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // A shell starts background jobs with SIGINT ignored; the writer rightly
    // leaves an ignored signal alone, so the child starts from the default.
    // A handler an earlier test of this process installed stays.
    struct sigaction current {};
    ::sigaction(c.signalNumber, nullptr, &current);
    if (current.sa_handler == SIG_IGN) std::signal(c.signalNumber, SIG_DFL);
    for (int i = 0; i < c.writtenBefore; ++i) {
      platform::AtomicFile whole(folder + "/w" + std::to_string(i));
      if (!whole.open() || !whole.commit()) ::_exit(2);
    }
    platform::AtomicFile f(folder + "/out.rim");
    if (!f.open()) ::_exit(3);
    std::fputs("half", f.file());
    std::fflush(f.file());
    ::raise(c.signalNumber);
    ::_exit(4);  // not reached: the signal ends the process
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), c.signalNumber);
  EXPECT_EQ(filesIn(folder), static_cast<std::size_t>(c.writtenBefore));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, SignalDuringWrite,
    ::testing::Values(Interruption{"sigint", SIGINT, 0, 0}, Interruption{"sigterm", SIGTERM, 0, 0},
                      Interruption{"sighup", SIGHUP, 0, 0},
                      Interruption{"after_seventy_whole_files", SIGTERM, 70, 0},
                      Interruption{"deep_folder", SIGTERM, 0, 400}),
    [](const ::testing::TestParamInfo<Interruption>& p) { return std::string(p.param.name); });

TEST(InterruptedWrite, ProgramsHandlingTheSignalKeepTheirHandler) {
  TempDir dir;
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::signal(SIGTERM, SIG_IGN);
    platform::AtomicFile f(dir.file("out.rim"));
    if (!f.open()) ::_exit(3);
    ::raise(SIGTERM);  // ignored, as the program asked
    ::_exit(f.commit() ? 0 : 5);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(std::filesystem::exists(dir.file("out.rim")));
}

// Targets whose names leave no room for ".XXXXXX.tmp" within 255 bytes, and
// short names deep in folders, their paths longer than any name may be: each
// temporary lies beside its target, with a name that fits.
TEST(InterruptedWrite, LongTargetNamesGetATemporaryNameThatFits) {
  TempDir dir, deepRoot;
  const std::string deep = deepFolder(deepRoot.path(), 400);
  struct Case {
    std::string folder;
    std::size_t length;
  };
  const Case cases[] = {{dir.path(), 200}, {dir.path(), 245}, {dir.path(), 250},
                        {dir.path(), 255}, {deep, 5},         {deep, 255}};
  for (const Case& c : cases) {
    const std::string target = c.folder + "/" + std::string(c.length - 4, 'n') + ".rim";
    platform::AtomicFile f(target);
    ASSERT_TRUE(f.open()) << target;
    const std::filesystem::path temporary = f.temporaryPath();
    EXPECT_EQ(temporary.parent_path(), std::filesystem::path(c.folder)) << temporary;
    EXPECT_LE(temporary.filename().string().size(), 255u);
    EXPECT_EQ(temporary.extension(), ".tmp");
    std::fputs("whole", f.file());
    ASSERT_TRUE(f.commit()) << target;
    EXPECT_EQ(readFileBytes(target), "whole");
  }
  EXPECT_EQ(filesIn(dir.path()), 4u);
  EXPECT_EQ(filesIn(deep), 2u);
}

// A FIFO is refused at once: opening it for reading would wait for a writer.
TEST(InterruptedWrite, SpecialFilesAreRefusedWithoutBlocking) {
  TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("config.ini").c_str(), 0644), 0);
  std::string why;
  EXPECT_EQ(platform::openRegularFile(dir.file("config.ini"), &why), -1);
  EXPECT_EQ(why, platform::kNotRegularFile);
  EXPECT_FALSE(platform::iniValue(dir.file("config.ini"), "Common", "ColorSpace").has_value());
  EXPECT_EQ(platform::openRegularFile(dir.path(), &why), -1);
  EXPECT_EQ(why, "is a folder");
  EXPECT_EQ(platform::openRegularStream(dir.file("missing"), &why), nullptr);
  EXPECT_EQ(why, "no such file");
}
