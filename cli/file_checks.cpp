#include "cli/file_checks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "codec/rim_codec.h"
#include "platform/atomic_file.h"
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
  // A device, FIFO or socket of that name is never replaced by the output
  // (a symbolic link is: the link itself, not what it points to).
  if (platform::targetRefusal(path) == platform::kTargetNotRegular)
    return platform::kNotRegularFile;
  std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (folder.empty()) folder = ".";
  if (!std::filesystem::exists(folder, error)) return "its folder does not exist";
  if (!std::filesystem::is_directory(folder, error)) return "its folder is not a folder";
  return {};
}

std::string outputProblemFor(const std::string& input, const std::string& output) {
  const std::string problem = outputFileProblem(output);
  if (!problem.empty()) return problem;
  return sameFile(input, output) ? "the output would overwrite the input" : std::string();
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

std::string configFileProblem(const std::string& path) {
  if (path.empty()) return "no such file";
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

}  // namespace cli
