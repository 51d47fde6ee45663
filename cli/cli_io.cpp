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
