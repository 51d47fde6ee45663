#include "support/run_program.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "support/test_support.h"

extern char** environ;

namespace testing_support {

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

ProgramRun runCliProgram(const std::vector<std::string>& args, const std::string& workDir) {
  return runProgram(binPath("folim-cli"), args, workDir);
}

}  // namespace testing_support
