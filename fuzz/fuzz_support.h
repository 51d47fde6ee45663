// Shared by the fuzz targets: the readers under test take file paths, so each
// input is written into one in-memory file per process (memfd), reached as
// /proc/self/fd/N. No disk, no directory to clean up, and the file keeps
// working after a crash is reported.
#pragma once

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "codec/limits.h"
#include "codec/trace.h"

namespace fuzz_support {

class MemoryFile {
 public:
  explicit MemoryFile(const char* name) {
    fd_ = memfd_create(name, 0);
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { close(fd_); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Replaces the file's contents; returns its path.
  const std::string& write(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(fd_, 0) != 0) std::abort();
    std::size_t done = 0;
    while (done < size) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<std::size_t>(n);
    }
    return path_;
  }
  const std::string& path() const { return path_; }

 private:
  int fd_ = -1;
  std::string path_;
};

// A folder of this process on /dev/shm for readers and writers that need a
// real directory (temporary files beside their target). libFuzzer ends a
// run without destructors, so each new folder first removes those left by
// processes that are gone (the name carries the process id).
class TempFolder {
 public:
  TempFolder() {
    removeStale();
    std::string pattern = std::string(kRoot) + kPrefix + std::to_string(getpid()) + "-XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  static constexpr const char* kRoot = "/dev/shm/";
  static constexpr const char* kPrefix = "folim-fuzz-";

  static void removeStale() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(kRoot, error)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(kPrefix, 0) != 0) continue;
      const long pid = std::strtol(name.c_str() + std::strlen(kPrefix), nullptr, 10);
      if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::error_code ignored;
        std::filesystem::remove_all(entry.path(), ignored);
      }
    }
  }

  std::string path_;
};

// The limits the fuzzers run under: the same checks as in production, with
// bounds small enough that a hostile input that passes them cannot make an
// execution slow or big. Tests prove the default limits separately.
inline void setUp() {
  CodecLimits& limits = codecLimits();
  limits.maxPixels = UINT64_C(1) << 18;
  limits.maxPatches = UINT64_C(1) << 16;
  limits.maxMatrixBytes = UINT64_C(1) << 23;
  limits.maxBasesFileBytes = UINT64_C(1) << 22;
  setTraceStream(nullptr);
}

// Reads little-endian fields from the front of an input; zeros past its end.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t u8() { return pos_ < size_ ? data_[pos_++] : 0; }
  std::uint16_t u16() {
    const std::uint16_t low = u8();
    return static_cast<std::uint16_t>(low | (u8() << 8));
  }
  std::uint32_t u32() {
    const std::uint32_t low = u16();
    return low | (static_cast<std::uint32_t>(u16()) << 16);
  }
  const std::uint8_t* rest() const { return data_ + (pos_ < size_ ? pos_ : size_); }
  std::size_t restSize() const { return pos_ < size_ ? size_ - pos_ : 0; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

}  // namespace fuzz_support
