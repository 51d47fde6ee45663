// Where config.ini is looked for: beside the program, then the user's
// configuration folder, then the default installed with the program.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "codec/parameters.h"
#include "platform/paths.h"
#include "support/test_support.h"

namespace {

// Sets (or, with nullptr, removes) an environment variable for one test.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) saved_ = old, had_ = true;
    if (value != nullptr)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~ScopedEnv() {
    if (had_)
      ::setenv(name_, saved_.c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::string saved_;
  bool had_ = false;
};

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(ConfigLookup, CandidatesInOrder) {
  const std::string beside = platform::programDirectory() + "/config.ini";
  const std::string installedDefault =
      std::filesystem::path(platform::programDirectory()).parent_path().string() +
      "/share/folim/config.ini";
  struct Case {
    const char* xdg;
    const char* home;
    std::string user;  // the second candidate
  };
  const Case cases[] = {
      {"/xdg/conf", "/home/u", "/xdg/conf/folim/config.ini"},
      {nullptr, "/home/u", "/home/u/.config/folim/config.ini"},
      {"", "/home/u", "/home/u/.config/folim/config.ini"},
      {"relative/conf", "/home/u", "/home/u/.config/folim/config.ini"},
  };
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    const std::vector<std::string> candidates = configCandidates();
    ASSERT_EQ(candidates.size(), 3u);
    EXPECT_EQ(candidates[0], beside);
    EXPECT_EQ(candidates[1], c.user);
    // bin/ and share/ lie side by side under the install prefix.
    EXPECT_EQ(candidates[2], installedDefault);
  }
}

TEST(ConfigLookup, NoHomeLeavesTheUserFolderOut) {
  ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
  ScopedEnv home("HOME", nullptr);
  const std::vector<std::string> candidates = configCandidates();
  ASSERT_EQ(candidates.size(), 2u);
  EXPECT_TRUE(endsWith(candidates[1], "/share/folim/config.ini"));
}

TEST(ConfigLookup, TheFileBesideTheProgramComesFirst) {
  // The build puts config.ini beside the programs, so it wins over a user's.
  testing_support::TempDir dir;
  std::filesystem::create_directories(dir.file("folim"));
  testing_support::writeFileBytes(dir.file("folim/config.ini"), defaultConfigText());
  ScopedEnv xdg("XDG_CONFIG_HOME", dir.path().c_str());
  ASSERT_EQ(configCandidates().at(1), dir.file("folim/config.ini"));
  EXPECT_EQ(configPath(), configCandidates().front());
}
