#include "platform/directory.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace platform {

std::string toLowerAscii(const std::string& s) {
  std::string r = s;
  for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return r;
}

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::vector<DirectoryEntry> listDirectory(const std::string& dir, std::string* why) {
  std::vector<DirectoryEntry> entries;
  std::error_code error;
  std::filesystem::directory_iterator it(dir, error);
  if (error) {
    if (why != nullptr) *why = error.message();
    return entries;
  }
  for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) {
      if (why != nullptr) *why = error.message();
      break;
    }
    DirectoryEntry e;
    e.name = it->path().filename().string();
    e.path = joinPath(dir, e.name);
    std::error_code typeError;
    e.isDirectory = it->is_directory(typeError);
    entries.push_back(std::move(e));
  }
  std::sort(entries.begin(), entries.end(), [](const DirectoryEntry& a, const DirectoryEntry& b) {
    const std::string la = toLowerAscii(a.name);
    const std::string lb = toLowerAscii(b.name);
    if (la != lb) return la < lb;
    return a.name < b.name;
  });
  return entries;
}

}  // namespace platform
