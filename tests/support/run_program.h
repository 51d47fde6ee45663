// Running a built program as a user would, with its output captured.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace testing_support {

struct ProgramRun {
  int exitCode = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs program with args (no shell involved), standard input empty, in
// workDir when it is not empty; waits for it to end.
ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workDir = {});
// How runLaunched starts a program: in a folder, with standard output sent
// to a file, with only the environment given, as an ordinary user when the
// tests run as root (to whom permissions mean nothing), killed after a time.
struct Launch {
  std::string workDir;
  std::string stdoutPath;                               // empty: captured
  std::optional<std::vector<std::string>> environment;  // NAME=value; none: this process's
  bool unprivileged = false;
  int timeoutSeconds = 60;
};

// Runs program with args, standard input empty, as how says; exitCode is -1
// when it did not exit normally, err "timed out" when it was killed for
// taking longer.
ProgramRun runLaunched(const std::string& program, const std::vector<std::string>& args,
                       const Launch& how);

// The built folim-cli, run so.
ProgramRun runCliProgram(const std::vector<std::string>& args, const std::string& workDir = {});
ProgramRun runCliProgram(const std::vector<std::string>& args, const Launch& how);

// Starts the built folim-cli without waiting, its output in the file out and
// its errors in out + ".err"; the process id, or -1 when it could not start.
pid_t spawnCli(const std::vector<std::string>& args, const std::string& out);
// Waits for a started process: its exit code, -1 when it did not exit.
int waitExit(pid_t pid);

}  // namespace testing_support
