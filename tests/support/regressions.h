// The inputs that once made a fuzz target fail, kept under
// tests/data/regressions/<target>/ and replayed by the tests.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

// Paths of the files kept for a fuzz target, sorted; empty when none.
std::vector<std::string> regressionInputs(const std::string& target);

}  // namespace testing_support
