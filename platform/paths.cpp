#include "platform/paths.h"

#include <filesystem>
#include <system_error>

namespace platform {

std::string programDirectory() {
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return exe.parent_path().string();
}

std::string currentDirectory() {
  std::error_code error;
  const std::filesystem::path cwd = std::filesystem::current_path(error);
  if (error) return {};
  return cwd.string();
}

std::string fileExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot);
}

}  // namespace platform
