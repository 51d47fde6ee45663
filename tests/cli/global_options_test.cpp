// The options before the command, as both parts of folim-cli read them: the
// BMP decoding that runs without the image library and the full command set.
#include "cli/global_options.h"

#include <gtest/gtest.h>

namespace {

using End = cli::GlobalOptions::End;

struct GlobalCase {
  std::vector<std::string> args;
  End end;
  std::size_t next;  // the command's or the unknown option's index
  bool quiet;
  std::uint32_t threads;
};

class GlobalOptionsRead : public ::testing::TestWithParam<GlobalCase> {};

TEST_P(GlobalOptionsRead, EndWhereTheFullCommandSetEnds) {
  const GlobalCase& c = GetParam();
  const cli::GlobalOptions options = cli::parseGlobalOptions(c.args);
  EXPECT_EQ(options.end, c.end);
  if (c.end == End::Command || c.end == End::UnknownOption) {
    EXPECT_EQ(options.next, c.next);
  }
  EXPECT_EQ(options.quiet, c.quiet);
  EXPECT_EQ(options.threads, c.threads);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GlobalOptionsRead,
    ::testing::Values(
        GlobalCase{
            {"--quiet", "--threads", "2", "decode", "a.rim", "b.bmp"}, End::Command, 3, true, 2},
        GlobalCase{{"decode", "--threads", "2"}, End::Command, 0, false, 0},
        // A number as strtoul reads it: a sign and leading blanks pass.
        GlobalCase{{"--threads", "+4", "decode"}, End::Command, 2, false, 4},
        GlobalCase{{"--threads", " 7", "info"}, End::Command, 2, false, 7},
        GlobalCase{{"--threads", "256", "info"}, End::Command, 2, false, 256},
        GlobalCase{{"--threads", "257", "info"}, End::BadThreads, 0, false, 0},
        GlobalCase{{"--threads", "-1", "info"}, End::BadThreads, 0, false, 0},
        GlobalCase{{"--threads", "4 ", "info"}, End::BadThreads, 0, false, 0},
        GlobalCase{{"--threads", "", "info"}, End::BadThreads, 0, false, 0},
        GlobalCase{{"--threads"}, End::BadThreads, 0, false, 0},
        // The last good count before a mistake stays.
        GlobalCase{{"--threads", "3", "--threads", "0", "info"}, End::BadThreads, 0, false, 3},
        GlobalCase{{"--quiet", "--help", "--bogus"}, End::Help, 0, true, 0},
        GlobalCase{{"--version", "--threads", "0"}, End::Version, 0, false, 0},
        GlobalCase{{"--quiet", "--bogus", "info"}, End::UnknownOption, 1, true, 0},
        GlobalCase{{"--", "info"}, End::UnknownOption, 0, false, 0},
        // One dash is no option: it is taken for the command.
        GlobalCase{{"-h"}, End::Command, 0, false, 0},
        GlobalCase{{"--quiet"}, End::NoCommand, 0, true, 0},
        GlobalCase{{}, End::NoCommand, 0, false, 0}));

}  // namespace
