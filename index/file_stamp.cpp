#include "index/file_stamp.h"

#include <sys/stat.h>

bool ReadFileStamp(const std::string& path, FileStamp& stamp) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  stamp.size = static_cast<std::int64_t>(info.st_size);
  stamp.mtime = static_cast<std::int64_t>(info.st_mtim.tv_sec);
  stamp.mtimeNsec = static_cast<std::int64_t>(info.st_mtim.tv_nsec);
  stamp.ctime = static_cast<std::int64_t>(info.st_ctim.tv_sec);
  stamp.ctimeNsec = static_cast<std::int64_t>(info.st_ctim.tv_nsec);
  stamp.inode = static_cast<std::int64_t>(info.st_ino);
  return true;
}
