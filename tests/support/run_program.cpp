#include "support/run_program.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "support/test_support.h"

extern char** environ;

namespace testing_support {

namespace {

// The user an unprivileged launch runs as.
constexpr uid_t kNobody = 65534;

}  // namespace

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workDir) {
  ProgramRun run;
  TempDir capture;
  const std::string outPath = capture.file("out");
  const std::string errPath = capture.file("err");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (!workDir.empty()) posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());

  std::vector<std::string> argvStrings;
  argvStrings.push_back(program);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(&s[0]);
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    run.err = "cannot start " + program;
    return run;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return run;
  }
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.out = readFileBytes(outPath);
  run.err = readFileBytes(errPath);
  return run;
}

ProgramRun runLaunched(const std::string& program, const std::vector<std::string>& args,
                       const Launch& how) {
  TempDir capture;
  const std::string outPath = how.stdoutPath.empty() ? capture.file("out") : how.stdoutPath;
  const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int errFd = ::open(capture.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> argvStrings{program};
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : argvStrings) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  std::vector<std::string> envStrings = how.environment.value_or(std::vector<std::string>());
  std::vector<char*> envp;
  for (std::string& s : envStrings) envp.push_back(&s[0]);
  envp.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(outFd, 1);
    ::dup2(errFd, 2);
    if (!how.workDir.empty() && ::chdir(how.workDir.c_str()) != 0) ::_exit(126);
    if (how.unprivileged && runningAsRoot()) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
        ::_exit(126);
      // Changing the user makes the process undumpable, which would keep
      // the leak checker of a sanitizer build from inspecting it.
      ::prctl(PR_SET_DUMPABLE, 1);
    }
    if (how.environment)
      ::execve(argv[0], argv.data(), envp.data());
    else
      ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(outFd);
  ::close(errFd);
  ProgramRun run;
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(how.timeoutSeconds);
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      run.err = "timed out";
      return run;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  if (how.stdoutPath.empty()) run.out = readFileBytes(outPath);
  run.err = readFileBytes(capture.file("err"));
  return run;
}

ProgramRun runCliProgram(const std::vector<std::string>& args, const std::string& workDir) {
  return runProgram(binPath("folim-cli"), args, workDir);
}

ProgramRun runCliProgram(const std::vector<std::string>& args, const Launch& how) {
  return runLaunched(binPath("folim-cli"), args, how);
}

pid_t spawnCli(const std::vector<std::string>& args, const std::string& out) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (out + ".err").c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<std::string> all = {binPath("folim-cli")};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& s : all) argv.push_back(&s[0]);
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

int waitExit(pid_t pid) {
  int status = 0;
  if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace testing_support
