#include "library/file_move.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string systemCause(int error) { return std::strerror(error); }

// A name beside the target for the copy in progress, so that the target
// appears only once it is whole.
std::string partialName(const std::string& to) {
  return FolderOf(to) + "/." + NameOf(to) + ".folim-part";
}

}  // namespace

bool PathTaken(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string FreeNameBeside(const std::string& folder, const std::string& name) {
  const std::size_t dot = name.rfind('.');
  const bool hasExtension = dot != std::string::npos && dot > 0;
  const std::string stem = hasExtension ? name.substr(0, dot) : name;
  const std::string extension = hasExtension ? name.substr(dot) : std::string();
  for (unsigned n = 2;; ++n) {
    const std::string candidate = folder + "/" + stem + " (" + std::to_string(n) + ")" + extension;
    if (!PathTaken(candidate)) return candidate;
  }
}

bool CopyFile(const std::string& from, const std::string& to, std::string& cause) {
  if (PathTaken(to)) {
    cause = systemCause(EEXIST);
    return false;
  }
  std::error_code error;
  const std::uintmax_t size = fs::file_size(from, error);
  if (error) {
    cause = error.message();
    return false;
  }
  const std::string part = partialName(to);
  fs::remove(part, error);
  if (!fs::copy_file(from, part, fs::copy_options::none, error)) {
    cause = error.message();
    fs::remove(part, error);
    return false;
  }
  const fs::file_time_type time = fs::last_write_time(from, error);
  if (!error) fs::last_write_time(part, time, error);
  const std::uintmax_t copied = fs::file_size(part, error);
  if (error || copied != size) {
    cause = error ? error.message() : std::string("the copy is not as large as the original");
    fs::remove(part, error);
    return false;
  }
  // link() refuses an existing target, where rename() would replace a file
  // that appeared meanwhile.
  // File systems without hard links: a rename after a last check.
  if (link(part.c_str(), to.c_str()) == 0) {
    fs::remove(part, error);
    return true;
  }
  const int linkError = errno;
  if ((linkError == EPERM || linkError == EOPNOTSUPP) && !PathTaken(to) &&
      std::rename(part.c_str(), to.c_str()) == 0)
    return true;
  cause = systemCause(linkError);
  fs::remove(part, error);
  return false;
}

bool MoveFile(const std::string& from, const std::string& to, std::string& cause) {
  if (PathTaken(to)) {
    cause = systemCause(EEXIST);
    return false;
  }
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  const int renameError = errno;
  // File systems without RENAME_NOREPLACE: an ordinary rename after the
  // check above.
  if (renameError == EINVAL && std::rename(from.c_str(), to.c_str()) == 0) return true;
  if (renameError != EXDEV) {
    cause = systemCause(renameError);
    return false;
  }
  if (!CopyFile(from, to, cause)) return false;
  std::error_code error;
  if (!fs::remove(from, error)) {
    cause = error ? error.message() : systemCause(ENOENT);
    fs::remove(to, error);
    return false;
  }
  return true;
}
