#include "index/index_location.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

std::string defaultIndexPath() {
  // Relative values are ignored, as the base directory rules ask: the index
  // would land in whatever folder the program was started in, often the
  // picture folder itself.
  const char* cache = std::getenv("XDG_CACHE_HOME");
  std::string base;
  if (cache != nullptr && cache[0] == '/') {
    base = cache;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    base = std::string(home) + "/.cache";
  }
  return base + "/folim/index.sqlite";
}

IndexChoice ChooseIndex(const std::string& named) {
  if (named.empty() || named == "default") return {defaultIndexPath(), IndexOwner::Folim};
  return {named, IndexOwner::User};
}

std::string indexFolder(const std::string& dir) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(dir, ec);
  if (ec) p = dir;
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string asSpelled(const std::string& path, const std::string& folder,
                      const std::string& spelled) {
  if (path.compare(0, folder.size(), folder) != 0) return path;
  std::string base = spelled;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + path.substr(folder.size());
}
