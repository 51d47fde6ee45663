// Writes that end badly leave nothing behind: a signal while the temporary
// file is open removes it, long target names still get a temporary name
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

using testing_support::readFileBytes;
using testing_support::TempDir;

namespace {

std::size_t filesIn(const std::string& dir) {
  std::size_t n = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    (void)entry;
    ++n;
  }
  return n;
}

class SignalDuringWrite : public ::testing::TestWithParam<int> {};

}  // namespace

// The child opens a temporary file, writes half of it and is ended by the
// signal; the process still dies of that signal, and the folder is empty.
TEST_P(SignalDuringWrite, RemovesTheTemporaryFile) {
  TempDir dir;
  const int signalNumber = GetParam();
  const pid_t pid = ::fork();
  if (pid == 0) {
    platform::AtomicFile f(dir.file("out.rim"));
    if (!f.open()) ::_exit(3);
    std::fputs("half", f.file());
    std::fflush(f.file());
    ::raise(signalNumber);
    ::_exit(4);  // not reached: the signal ends the process
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFSIGNALED(status)) << "exit " << WEXITSTATUS(status);
  EXPECT_EQ(WTERMSIG(status), signalNumber);
  EXPECT_EQ(filesIn(dir.path()), 0u);
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalDuringWrite, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

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

// Targets whose names leave no room for ".XXXXXX.tmp" within 255 bytes.
TEST(InterruptedWrite, LongTargetNamesGetATemporaryNameThatFits) {
  TempDir dir;
  for (const std::size_t length : {200u, 245u, 250u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".rim";
    platform::AtomicFile f(dir.file(name));
    ASSERT_TRUE(f.open()) << length;
    const std::string temporary = f.temporaryPath();
    EXPECT_LE(std::filesystem::path(temporary).filename().string().size(), 255u);
    EXPECT_EQ(temporary.substr(temporary.size() - 4), ".tmp");
    std::fputs("whole", f.file());
    ASSERT_TRUE(f.commit()) << length;
    EXPECT_EQ(readFileBytes(dir.file(name)), "whole");
  }
  EXPECT_EQ(filesIn(dir.path()), 4u);
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
