// Where the program lies and where it runs.
#pragma once

#include <string>

namespace platform {

// Directory of the running executable (from /proc/self/exe), without a
// trailing slash; empty when it cannot be found.
std::string programDirectory();

// The current working directory; empty when it cannot be read.
std::string currentDirectory();

// The extension of path's last component, dot included ("" when it has no
// dot): "a/b.tar.BMP" gives ".BMP".
std::string fileExtension(const std::string& path);

}  // namespace platform
