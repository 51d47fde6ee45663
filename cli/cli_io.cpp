#include "cli/cli_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "codec/rim_codec.h"
#include "codec/trace.h"
#include "imageio/file_kind.h"
#include "imageio/library_io.h"
#include "platform/regular_file.h"

namespace cli {

std::string inputFileProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return errno == ENOENT ? "no such file" : std::string(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return "is a folder, not an image file";
  if (!S_ISREG(info.st_mode)) return "is not a regular file";
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return std::strerror(errno);
  std::fclose(file);
  if (info.st_size == 0) return "the file is empty";
  return {};
}

std::string outputFileProblem(const std::string& path) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return "is a folder";
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (!std::filesystem::exists(folder, error)) return "its folder does not exist";
  if (!std::filesystem::is_directory(folder, error)) return "its folder is not a folder";
  return {};
}

std::string configFileProblem(const std::string& path) {
  struct stat info {};
  if (path.empty() || ::stat(path.c_str(), &info) != 0) return {};
  std::string why;
  const int fd = platform::openRegularFile(path, &why);
  if (fd < 0) return why;
  ::close(fd);
  return {};
}

std::string basesFileProblem(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return errno == ENOENT ? std::string() : std::string(std::strerror(errno));
  std::string why;
  const int fd = platform::openRegularFile(path, &why);
  if (fd < 0) return why + " (it is left untouched)";
  ::close(fd);
  KPX::Matrix<double> bases;
  if (readBasesFile(path, bases) != status::Success)
    return "is not a readable bases file (it is left untouched)";
  return {};
}

std::string folderProblem(const std::string& path) {
  struct stat info {};
  if (path.empty()) return "no folder given";
  if (::stat(path.c_str(), &info) != 0)
    return errno == ENOENT ? "no such folder" : std::string(std::strerror(errno));
  if (!S_ISDIR(info.st_mode)) return "is not a folder";
  return {};
}

bool sameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(a, b, error) && !error;
}

std::string statusLine(Status code) {
  std::string text = statusMessage(code);
  if (!text.empty() && text.back() == '\n') text.pop_back();
  if (code == status::InvalidFileType) text += " (not a RIM file)";
  if (code == status::ReadFailed) text += " (the file is cut short)";
  return text + "\n";
}

bool loadInputImage(const std::string& path, CImageEx& image, const std::string& prefix,
                    std::ostream& err) {
  const std::string problem = inputFileProblem(path);
  if (!problem.empty()) {
    err << prefix << path << ": " << problem << "\n";
    return false;
  }
  if (GetFileKind(path) == kFileKindRim) {
    CRIMCodec codec;
    const Status result = codec.decodeFile(image, path);
    if (result != status::Success) {
      err << prefix << path << ": " << statusLine(result);
      return false;
    }
    return true;
  }
  std::string why;
  if (!LoadWithImageLibrary(path, image, &why)) {
    err << prefix << path << ": not a readable image (" << why << ")\n";
    return false;
  }
  return true;
}

ProgressLine::ProgressLine(std::ostream& err, bool inPlace)
    : err_(err), enabled_(&err == &std::cerr && ::isatty(STDERR_FILENO) == 1), inPlace_(inPlace) {}

void ProgressLine::show(std::size_t index, std::size_t total, const std::string& name) {
  if (!enabled_) return;
  if (!inPlace_) {
    err_ << "[" << index + 1 << "/" << total << "] " << name << std::endl;
    return;
  }
  // Clears what a longer name left on the line.
  err_ << "\r\033[K[" << index + 1 << "/" << total << "] " << name << std::flush;
  drawn_ = true;
}

void ProgressLine::finish() {
  if (drawn_) err_ << "\n";
  drawn_ = false;
}

}  // namespace cli
