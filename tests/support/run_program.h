// Running a built program as a user would, with its output captured.
#pragma once

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
// The built folim-cli, run so.
ProgramRun runCliProgram(const std::vector<std::string>& args, const std::string& workDir = {});

}  // namespace testing_support
