// folim-thumbnailer: the picture of a RIM file for file managers that follow
// the desktop's thumbnailer convention (folim.thumbnailer names it).
#include <QBuffer>
#include <QByteArray>
#include <QCoreApplication>
#include <QImage>
#include <QImageWriter>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "codec/status.h"
#include "imageio/rim_thumbnail.h"
#include "numeric/trace.h"
#include "platform/atomic_file.h"

namespace {

const char* const kUsage =
    "Usage: folim-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "\n"
    "Writes a PNG picture of the RIM file INPUT (a path or a file:// URI),\n"
    "at most SIZE pixels (default 128) on its longer side, to OUTPUT. The\n"
    "picture is drawn from the file's patch averages when they are large\n"
    "enough, else from the decoded image. A file that cannot be read leaves\n"
    "OUTPUT untouched and ends with exit status 1; bad usage ends with 2.\n"
    "OUTPUT (a path or a file:// URI) appears whole or not at all; a symbolic\n"
    "link there is replaced, never written through. An OUTPUT that is INPUT\n"
    "or that exists and is not a regular file (a device, a FIFO, a socket)\n"
    "is refused and left as it is, with exit status 1.\n";

int usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "folim-thumbnailer: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

// The local path a file:// URI names, as bytes: escapes such as %20, %C3%A9
// or %E9 become the bytes they stand for, whatever the locale's encoding.
// Only an empty host or "localhost" names this machine; false otherwise.
bool pathOfFileUri(const std::string& uri, std::string& path) {
  std::string rest = uri.substr(std::strlen("file://"));
  const std::size_t slash = rest.find('/');
  const std::string host = rest.substr(0, slash);
  if (slash == std::string::npos || (!host.empty() && host != "localhost")) return false;
  rest.erase(0, slash);
  // A query or a fragment is not part of the path (a '#' or '?' in a name
  // comes escaped).
  rest = rest.substr(0, rest.find_first_of("?#"));
  path = QByteArray::fromPercentEncoding(QByteArray::fromStdString(rest)).toStdString();
  return !path.empty() && path.find('\0') == std::string::npos;
}

// The path an argument names: the bytes given, or those of a file:// URI.
// False for a URI that names no local file.
bool localPath(const std::string& argument, std::string& path) {
  if (argument.rfind("file://", 0) != 0) {
    path = argument;
    return true;
  }
  return pathOfFileUri(argument, path);
}

// Why output cannot take the picture of input ("" when it can be tried).
std::string outputProblem(const std::string& input, const std::string& output) {
  std::error_code error;
  if (std::filesystem::is_directory(std::filesystem::symlink_status(output, error)))
    return "is a folder";
  const int refusal = platform::targetRefusal(output);
  if (refusal != 0) return platform::writeErrorText(refusal);
  // The same file by device and inode, however it is spelt (a hard link, a
  // symbolic link, ./x.rim).
  if (std::filesystem::equivalent(input, output, error) && !error)
    return "the output would overwrite the input";
  return {};
}

// The picture as PNG, written whole or not at all: a file manager must never
// pick up half a picture.
bool writePng(const QImage& picture, const std::string& path) {
  QByteArray png;
  QBuffer buffer(&png);
  QImageWriter writer(&buffer, "png");
  if (!buffer.open(QIODevice::WriteOnly) || !writer.write(picture)) return false;
  platform::AtomicFile output(path);
  if (!output.open()) return false;
  if (std::fwrite(png.constData(), 1, static_cast<std::size_t>(png.size()), output.file()) !=
      static_cast<std::size_t>(png.size()))
    return false;
  return output.commit();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Only the picture is this program's output.
  setTraceStream(nullptr);
  int size = 128;
  // The arguments as the bytes given: names that are not valid in the
  // locale's encoding must reach the file system unchanged.
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "-h" || a == "--help") {
      // Help that did not reach its reader (a full disk) is a failure.
      errno = 0;
      if (std::fputs(kUsage, stdout) >= 0 && std::fflush(stdout) == 0) return 0;
      std::fprintf(stderr, "folim-thumbnailer: cannot write the help: %s\n", std::strerror(errno));
      return 1;
    }
    if (a == "-s" || a == "--size") {
      if (i + 1 >= argc) return usage("-s needs a size");
      bool ok = false;
      size = QByteArray(argv[++i]).toInt(&ok);
      if (!ok || size < 1 || size > 4096) return usage("the size must be 1 to 4096");
    } else {
      files.push_back(a);
    }
  }
  if (files.size() != 2) return usage("INPUT and OUTPUT are needed");

  std::string paths[2];
  for (int k = 0; k < 2; ++k) {
    if (!localPath(files[k], paths[k])) {
      std::fprintf(stderr, "folim-thumbnailer: %s: not a local file\n", files[k].c_str());
      return 1;
    }
  }
  const std::string& input = paths[0];
  const std::string& output = paths[1];
  const std::string problem = outputProblem(input, output);
  if (!problem.empty()) {
    std::fprintf(stderr, "folim-thumbnailer: %s: %s\n", output.c_str(), problem.c_str());
    return 1;
  }
  QImage picture;
  const Status s = imageio::renderRimThumbnail(input, size, picture);
  if (s != status::Success) {
    std::fprintf(stderr, "folim-thumbnailer: %s: %s", input.c_str(), statusMessage(s));
    return 1;
  }
  if (!writePng(picture, output)) {
    std::fprintf(stderr, "folim-thumbnailer: cannot write %s\n", files[1].c_str());
    return 1;
  }
  return 0;
}
