#include "index/library_roots.h"

#include <unistd.h>

#include <cctype>

namespace {

// Whether path is dir or lies under it.
bool holds(const std::string& dir, const std::string& path) {
  if (dir == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, dir.size(), dir) == 0 &&
         (path.size() == dir.size() || path[dir.size()] == '/');
}

}  // namespace

bool ValidRootName(const std::string& name) {
  if (name.empty() || name.size() > 64) return false;
  for (const char c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '-')
      return false;
  }
  return true;
}

std::string ThisHostName() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

std::string RootMap::ToStored(const std::string& path) const {
  const LibraryRoot* best = nullptr;
  for (const LibraryRoot& root : roots_) {
    if (holds(root.dir, path) && (best == nullptr || root.dir.size() > best->dir.size()))
      best = &root;
  }
  if (best == nullptr) return path;
  const std::size_t rest = best->dir == "/" ? 0 : best->dir.size();
  return "@" + best->name + (best->dir == "/" && path == "/" ? "" : path.substr(rest));
}

bool RootMap::FromStored(const std::string& stored, std::string& path) const {
  if (stored.empty() || stored[0] != '@') {
    path = stored;
    return true;
  }
  const std::size_t slash = stored.find('/');
  const std::string name = stored.substr(1, slash == std::string::npos ? slash : slash - 1);
  for (const LibraryRoot& root : roots_) {
    if (root.name != name) continue;
    const std::string rest = slash == std::string::npos ? "" : stored.substr(slash);
    path = root.dir == "/" ? (rest.empty() ? "/" : rest) : root.dir + rest;
    return true;
  }
  return false;
}

std::vector<std::string> RootMap::StoredRootsUnder(const std::string& dir) const {
  std::vector<std::string> prefixes;
  for (const LibraryRoot& root : roots_) {
    if (root.dir != dir && holds(dir, root.dir) && ToStored(root.dir) == "@" + root.name)
      prefixes.push_back("@" + root.name);
  }
  return prefixes;
}
