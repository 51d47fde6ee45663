#include "platform/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

int openRegularFile(const std::string& path, std::string* why) {
  // Non-blocking only for the open itself: a FIFO with no writer would
  // otherwise hold the open until one appears.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (why != nullptr) *why = errno == ENOENT ? "no such file" : std::strerror(errno);
    return -1;
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (why != nullptr) *why = S_ISDIR(info.st_mode) ? "is a folder" : kNotRegularFile;
    ::close(fd);
    errno = EINVAL;
    return -1;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

std::FILE* openRegularStream(const std::string& path, std::string* why) {
  const int fd = openRegularFile(path, why);
  if (fd < 0) return nullptr;
  std::FILE* file = ::fdopen(fd, "rb");
  if (file == nullptr) {
    if (why != nullptr) *why = std::strerror(errno);
    ::close(fd);
  }
  return file;
}

bool existsButIsNotRegular(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace platform
