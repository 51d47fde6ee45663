#include "support/special_files.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <utility>

namespace testing_support {

bool makeFifo(const std::string& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

bool makeSocket(const std::string& path) {
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  if (fd < 0) return false;
  // The socket file stays after the descriptor is closed.
  const bool bound = ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return bound;
}

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
