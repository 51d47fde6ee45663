#include "index/index_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "index/index_schema.h"
#include "platform/regular_file.h"

namespace {

constexpr const char* kCompanions[] = {"-wal", "-shm"};

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string causeOf(int error) { return std::strerror(error); }

}  // namespace

IndexFileKind InspectIndexFile(const std::string& path, std::string& why) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno == ENOENT) return IndexFileKind::Missing;
    why = causeOf(errno);
    return IndexFileKind::Unreadable;
  }
  // Found before opening: opening a device may already do something.
  if (!S_ISREG(info.st_mode)) {
    why = S_ISDIR(info.st_mode) ? "is a folder" : platform::kNotRegularFile;
    return IndexFileKind::NotRegular;
  }
  if (info.st_size == 0) return IndexFileKind::Empty;
  const int fd = platform::openRegularFile(path, &why);
  if (fd < 0) return errno == EINVAL ? IndexFileKind::NotRegular : IndexFileKind::Unreadable;
  unsigned char header[100];
  std::size_t got = 0;
  while (got < sizeof header) {
    const ssize_t n = ::read(fd, header + got, sizeof header - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  // The database header: its magic text, then (at 68, big-endian) the
  // application id Folim sets when it makes an index.
  static const char kMagic[] = "SQLite format 3";
  if (got < sizeof header || std::memcmp(header, kMagic, sizeof kMagic) != 0) {
    why = "not an SQLite database";
    return IndexFileKind::Other;
  }
  const std::uint32_t id = std::uint32_t{header[68]} << 24 | std::uint32_t{header[69]} << 16 |
                           std::uint32_t{header[70]} << 8 | std::uint32_t{header[71]};
  if (id != static_cast<std::uint32_t>(kIndexApplicationId)) {
    why = "a database of another program";
    return IndexFileKind::Other;
  }
  return IndexFileKind::FolimIndex;
}

bool MakePrivateFolders(const std::string& folder, std::string& error) {
  if (folder.empty()) return true;
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (!part.empty() && part.back() != '/' && ::mkdir(part.c_str(), 0700) != 0 &&
        errno != EEXIST) {
      error = "cannot make the folder " + part + ": " + causeOf(errno);
      return false;
    }
    if (end == std::string::npos) break;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = folder + " is not a folder";
    return false;
  }
  return true;
}

bool CreatePrivateFile(const std::string& path, std::string& error) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0600);
  if (fd >= 0) {
    ::close(fd);
    return true;
  }
  if (errno == EEXIST) return true;  // another process made it meanwhile
  error = "cannot create " + path + ": " + causeOf(errno);
  return false;
}

void KeepPrivate(const std::string& path) {
  for (const std::string& file : {path, path + kCompanions[0], path + kCompanions[1]}) {
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() ||
        (info.st_mode & 077) == 0)
      continue;
    ::chmod(file.c_str(), info.st_mode & 0700);
  }
}

bool MendCompanionFiles(const std::string& path, std::string& error) {
  struct stat index {};
  if (::stat(path.c_str(), &index) != 0 || ::access(path.c_str(), R_OK | W_OK) != 0) return true;
  for (const char* suffix : kCompanions) {
    const std::string file = path + suffix;
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::access(file.c_str(), R_OK | W_OK) == 0)
      continue;
    const int denied = errno;
    if (info.st_uid == ::geteuid() && ::chmod(file.c_str(), index.st_mode & 0666) == 0) continue;
    error = file + " cannot be written (" + causeOf(denied) +
            "), left by a read-only use of the index; remove it while no program uses the index";
    return false;
  }
  return true;
}

std::string CannotOpenCause(const std::string& path) {
  if (::access(path.c_str(), F_OK) == 0 && ::access(path.c_str(), R_OK | W_OK) != 0)
    return path + ": " + causeOf(errno);
  for (const char* suffix : kCompanions) {
    const std::string file = path + suffix;
    if (::access(file.c_str(), F_OK) == 0 && ::access(file.c_str(), R_OK | W_OK) != 0)
      return file + ": " + causeOf(errno);
  }
  const std::string folder = folderOf(path);
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    return "cannot write in the folder " + folder + ": " + causeOf(errno);
  return {};
}

bool FileIdentity(const std::string& path, unsigned long long& device, unsigned long long& inode) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  device = static_cast<unsigned long long>(info.st_dev);
  inode = static_cast<unsigned long long>(info.st_ino);
  return true;
}
