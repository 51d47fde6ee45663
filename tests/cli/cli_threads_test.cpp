// The global --threads option.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/cli.h"
#include "numeric/parallel.h"

namespace {

struct ThreadsCase {
  std::vector<std::string> args;
  int code;
  std::uint32_t threads;  // the thread count afterwards (0: the default)
};

class CliThreadsOption : public ::testing::TestWithParam<ThreadsCase> {};

TEST_P(CliThreadsOption, SetsTheCountOrRefusesTheValue) {
  const ThreadsCase& c = GetParam();
  const std::uint32_t saved = KPX::threadCount();
  KPX::setThreadCount(0);
  const std::uint32_t byDefault = KPX::threadCount();
  std::ostringstream out, err;
  EXPECT_EQ(cli::runCli(c.args, out, err), c.code) << err.str();
  EXPECT_EQ(KPX::threadCount(), c.threads == 0 ? byDefault : c.threads);
  if (c.code == 2) {
    EXPECT_NE(err.str().find("--threads needs a number"), std::string::npos);
  }
  KPX::setThreadCount(saved);
}

INSTANTIATE_TEST_SUITE_P(
    Values, CliThreadsOption,
    ::testing::Values(ThreadsCase{{"--threads", "1", "params", "--config", "/nonexistent"}, 0, 1},
                      ThreadsCase{{"--threads", "3", "--version"}, 0, 3},
                      ThreadsCase{{"--threads", "0", "--version"}, 2, 0},
                      ThreadsCase{{"--threads", "2x", "--version"}, 2, 0},
                      ThreadsCase{{"--threads"}, 2, 0}));

}  // namespace
