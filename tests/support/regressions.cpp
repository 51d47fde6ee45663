#include "support/regressions.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "support/test_support.h"

namespace testing_support {

std::vector<std::string> regressionInputs(const std::string& target) {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& entry :
       std::filesystem::directory_iterator(dataPath("regressions/" + target), error)) {
    if (entry.is_regular_file()) paths.push_back(entry.path().string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

}  // namespace testing_support
