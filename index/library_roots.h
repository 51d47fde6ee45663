// Named library roots: a library mounted at different points on different
// machines is one library. A file under a root is stored as "@NAME/rest",
// which no absolute path spells, and each machine maps the name to where the
// library lies there; entries learned on one machine are found on another.
#pragma once

#include <string>
#include <vector>

struct LibraryRoot {
  std::string name;  // letters, digits, '.', '_' and '-'
  std::string dir;   // absolute, normalised, without a trailing "/"
};

// Whether name may name a root.
bool ValidRootName(const std::string& name);

// The machine's name, by which each machine keeps its own mapping.
std::string ThisHostName();

class RootMap {
 public:
  void Set(const std::vector<LibraryRoot>& roots) { roots_ = roots; }
  const std::vector<LibraryRoot>& roots() const { return roots_; }
  bool empty() const { return roots_.empty(); }

  // The stored form of an absolute path: rooted under the deepest root
  // holding it, or the path itself. A root's own folder becomes "@NAME".
  std::string ToStored(const std::string& path) const;
  // The path on this machine; false for a root not mapped here.
  bool FromStored(const std::string& stored, std::string& path) const;
  // The stored prefixes ("@NAME") of the roots lying strictly under dir, whose
  // rows a listing of dir takes in besides those ToStored(dir) names.
  std::vector<std::string> StoredRootsUnder(const std::string& dir) const;

 private:
  std::vector<LibraryRoot> roots_;
};
