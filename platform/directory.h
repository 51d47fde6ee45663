// Directory listing in a stable order: entries sorted by name compared
// without regard to case (ties broken by the exact bytes).
#pragma once

#include <string>
#include <vector>

namespace platform {

struct DirectoryEntry {
  std::string name;  // file name without directory
  std::string path;  // directory + "/" + name
  bool isDirectory = false;
};

// The entries of dir ("." and ".." excluded). A directory that cannot be read
// lists nothing (what could be read before an error, when reading stops
// half-way); error, when given, then receives the reason. Symbolic links to
// directories count as directories.
std::vector<DirectoryEntry> listDirectory(const std::string& dir, std::string* error = nullptr);

// Joins a directory and a name with exactly one "/" between them.
std::string joinPath(const std::string& dir, const std::string& name);

// Lower-case copy (ASCII letters only; other bytes unchanged).
std::string toLowerAscii(const std::string& s);

}  // namespace platform
