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

}  // namespace platform
