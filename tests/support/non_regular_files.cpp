#include "support/non_regular_files.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <utility>

namespace testing_support {

std::string cannotMake(SpecialFile kind) {
  if (kind == SpecialFile::CharacterDevice && ::geteuid() != 0) return "device nodes need root";
  return {};
}

const char* specialFileName(SpecialFile kind) {
  switch (kind) {
    case SpecialFile::Fifo:
      return "Fifo";
    case SpecialFile::Socket:
      return "Socket";
    case SpecialFile::CharacterDevice:
      return "CharacterDevice";
  }
  return "?";
}

std::string specialFileTestName(const ::testing::TestParamInfo<SpecialFile>& info) {
  return specialFileName(info.param);
}

bool makeSpecialFile(const std::string& path, SpecialFile kind) {
  switch (kind) {
    case SpecialFile::Fifo:
      return ::mkfifo(path.c_str(), 0666) == 0;
    case SpecialFile::CharacterDevice:
      return ::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0;
    case SpecialFile::Socket: {
      sockaddr_un address{};
      address.sun_family = AF_UNIX;
      if (path.size() >= sizeof(address.sun_path)) return false;
      std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
      const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
      if (fd < 0) return false;
      // The socket's file stays when the socket is closed.
      const bool bound =
          ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
      ::close(fd);
      return bound;
    }
  }
  return false;
}

bool isSpecialFile(const std::string& path, SpecialFile kind) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return false;
  switch (kind) {
    case SpecialFile::Fifo:
      return S_ISFIFO(info.st_mode);
    case SpecialFile::Socket:
      return S_ISSOCK(info.st_mode);
    case SpecialFile::CharacterDevice:
      return S_ISCHR(info.st_mode) && info.st_rdev == makedev(1, 3);
  }
  return false;
}

bool makeFifo(const std::string& path) { return makeSpecialFile(path, SpecialFile::Fifo); }
bool makeSocket(const std::string& path) { return makeSpecialFile(path, SpecialFile::Socket); }

void releaseFifoReaders(const std::vector<std::string>& fifos) {
  for (const std::string& fifo : fifos) {
    const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  }
}

FifoWatchdog::FifoWatchdog(std::vector<std::string> fifos, int limitMs)
    : fifos_(std::move(fifos)), thread_([this, limitMs] {
        std::unique_lock<std::mutex> hold(lock_);
        if (wake_.wait_for(hold, std::chrono::milliseconds(limitMs), [this] { return stopped_; }))
          return;
        fired_ = true;
        while (!stopped_) {
          releaseFifoReaders(fifos_);
          wake_.wait_for(hold, std::chrono::milliseconds(50), [this] { return stopped_; });
        }
      }) {}

FifoWatchdog::~FifoWatchdog() { stop(); }

bool FifoWatchdog::stop() {
  {
    const std::lock_guard<std::mutex> hold(lock_);
    stopped_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
  return fired_;
}

}  // namespace testing_support
