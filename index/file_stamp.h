// What the index compares to tell that a file changed since it was read:
// its size, its modification and change times to the nanosecond and its
// inode. The modification time alone misses a file replaced by another of
// the same size and time (a copy that keeps times, a restored backup); the
// change time and the inode cannot be set by a user. Times are seconds and
// nanoseconds as the file system keeps them, so any time it can store is
// compared exactly (none overflows).
#pragma once

#include <cstdint>
#include <string>

struct FileStamp {
  std::int64_t size = 0;
  std::int64_t mtime = 0;  // seconds since 1970 (negative before)
  std::int64_t mtimeNsec = 0;
  std::int64_t ctime = 0;
  std::int64_t ctimeNsec = 0;
  std::int64_t inode = 0;  // the inode number's bits

  // Size and modification time alone: what an index of schema 1 kept.
  bool sameSizeAndTime(const FileStamp& other) const {
    return size == other.size && mtime == other.mtime && mtimeNsec == other.mtimeNsec;
  }
  bool operator==(const FileStamp& other) const {
    return sameSizeAndTime(other) && ctime == other.ctime && ctimeNsec == other.ctimeNsec &&
           inode == other.inode;
  }
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

// The stamp of the file path names (links followed); false when it cannot
// be inspected.
bool ReadFileStamp(const std::string& path, FileStamp& stamp);
