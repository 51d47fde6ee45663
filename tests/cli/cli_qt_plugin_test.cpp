// Folim's own programs decide what a RIM file is, not the image plugins Qt
// has: with the RIM plugin on Qt's plugin path (as the installed package
// puts it) every command gives what it gives without it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/rim_files.h"
#include "support/run_program.h"
#include "support/test_support.h"

#ifdef FOLIM_QT_PLUGINS

using testing_support::binPath;
using testing_support::ProgramRun;
using testing_support::TempDir;

namespace fs = std::filesystem;

namespace {

struct Outcome {
  std::vector<ProgramRun> runs;
  std::set<std::string> written;  // every file under the save folders
};

// Runs the commands in a fresh copy of the sources, with the plugin folder
// on QT_PLUGIN_PATH or without it.
Outcome runAll(const std::vector<std::vector<std::string>>& commands, const TempDir& sources,
               bool withPlugin) {
  TempDir work;
  fs::copy(sources.path(), work.path(), fs::copy_options::recursive);
  if (withPlugin)
    ::setenv("QT_PLUGIN_PATH", FOLIM_QT_PLUGINS, 1);
  else
    ::unsetenv("QT_PLUGIN_PATH");
  Outcome outcome;
  for (const auto& args : commands)
    outcome.runs.push_back(testing_support::runProgram(binPath("folim-cli"), args, work.path()));
  ::unsetenv("QT_PLUGIN_PATH");
  for (const auto& entry : fs::recursive_directory_iterator(work.path()))
    outcome.written.insert(fs::relative(entry.path(), work.path()).string());
  return outcome;
}

}  // namespace

TEST(WithTheRimPlugin, CommandsGiveWhatTheyGiveWithoutIt) {
  ASSERT_TRUE(fs::exists(std::string(FOLIM_QT_PLUGINS) + "/imageformats/libqrim.so"));
  TempDir sources;
  fs::create_directories(sources.file("src"));
  fs::create_directories(sources.file("out"));
  ASSERT_EQ(testing_support::writeRimFile(sources.file("src/old.rim"),
                                          testing_support::patternImage(32, 24)),
            0);
  // A RIM file under another name is still no picture for the image library.
  fs::copy_file(sources.file("src/old.rim"), sources.file("src/renamed.jpg"));
  fs::copy_file(testing_support::corpusPath("aqua.jpg"), sources.file("src/photo.jpg"));
  const std::vector<std::vector<std::string>> commands = {
      {"--quiet", "convert-to-rim", "src", "out"},
      {"--quiet", "encode", "src/renamed.jpg", "renamed.rim"},
      {"--quiet", "encode", "src/old.rim", "again.rim"},
  };
  const Outcome without = runAll(commands, sources, false);
  const Outcome with = runAll(commands, sources, true);
  ASSERT_EQ(with.runs.size(), without.runs.size());
  for (std::size_t i = 0; i < with.runs.size(); ++i) {
    SCOPED_TRACE(commands[i][1]);
    EXPECT_EQ(with.runs[i].exitCode, without.runs[i].exitCode);
    EXPECT_EQ(with.runs[i].out, without.runs[i].out);
    EXPECT_EQ(with.runs[i].err, without.runs[i].err);
  }
  EXPECT_EQ(with.written, without.written);
  // And what they give is the refusal of RIM data as a picture.
  EXPECT_EQ(without.runs[0].out,
            "Failed conversion of these images!\n"
            "src/old.rim: the source cannot be read as an image: Unsupported image format\n"
            "src/renamed.jpg: the source cannot be read as an image: Unsupported image format\n");
  EXPECT_EQ(without.runs[1].exitCode, 1);
  EXPECT_EQ(without.written.count("renamed.rim"), 0u);
}

#endif  // FOLIM_QT_PLUGINS
