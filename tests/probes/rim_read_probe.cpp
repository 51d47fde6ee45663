// Reads one RIM file the way one of the readers for other programs does, in
// a process of its own, so that a test can measure what it costs (peak
// memory, time) as the desktop would see it:
//   rim_read_probe thumbnail PATH BOX           the thumbnailer's picture
//   rim_read_probe window PATH BOX              the window's thumbnail
//   rim_read_probe scaled PATH W H BUDGET_MB    a scaled read (0: no budget)
//   rim_read_probe plugin PLUGIN PATH W H LIMIT_MB
//                                               through the Qt plugin's handler,
//                                               under Qt's allocation limit
//                                               (W or H 0: the full size)
//   rim_read_probe run PROGRAM ARGS...          any program, as a child
// Prints "<status> <width>x<height> <grey|mixed> <growth KB> <peak KB>
// <seconds>": the status of the read (plugin: 0 or 1; run: the exit code),
// the picture's size, whether every pixel is the grey 100 of the stretched
// test files, the peak resident memory the read added, the process's peak
// (run: the program's) and the processor time taken (user and system, all
// threads: what a busy machine does not inflate). A child's peak is its
// own: the probe is small when it starts one, and a process's peak is
// inherited by what it starts.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <QImage>
#include <QImageIOPlugin>
#include <QImageReader>
#include <QPluginLoader>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "codec/trace.h"
#include "imageio/rim_thumbnail.h"
#include "imageio/thumbnail_cache.h"

namespace {

long statusField(const char* name) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::size_t length = std::strlen(name);
  while (std::getline(in, line))
    if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
      return std::atol(line.c_str() + length + 1);
  return 0;
}

bool grey(const QImage& image) {
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x)
      if (rgb.pixel(x, y) != qRgb(100, 100, 100)) return false;
  return !rgb.isNull();
}

int readThroughPlugin(const char* pluginPath, const char* path, int width, int height, int limit,
                      QImage& image) {
  QPluginLoader loader(QString::fromLocal8Bit(pluginPath));
  auto* plugin = qobject_cast<QImageIOPlugin*>(loader.instance());
  if (plugin == nullptr) return 2;
  QFile file(QString::fromLocal8Bit(path));
  if (!file.open(QIODevice::ReadOnly)) return 3;
  QImageReader::setAllocationLimit(limit);
  QImageIOHandler* handler = plugin->create(&file, "rim");
  if (width > 0 && height > 0)
    handler->setOption(QImageIOHandler::ScaledSize, QSize(width, height));
  const bool read = handler->read(&image);
  delete handler;
  return read ? 0 : 1;
}

double seconds(const timeval& user, const timeval& system) {
  return static_cast<double>(user.tv_sec + system.tv_sec) +
         static_cast<double>(user.tv_usec + system.tv_usec) / 1e6;
}

double processorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return seconds(usage.ru_utime, usage.ru_stime);
}

// Runs argv[0] with its arguments and waits: its exit code (-1 when it did
// not exit), its peak resident memory and its processor time.
int runChild(char** argv, long& peakKb, double& used) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    execv(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return -1;
  peakKb = usage.ru_maxrss;
  used = seconds(usage.ru_utime, usage.ru_stime);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  setTraceStream(nullptr);
  if (argc < 4) return 64;
  const std::string mode = argv[1];
  // What loading the program and its libraries cost is not the read's.
  const long before = statusField("VmRSS");
  const double start = processorSeconds();
  QImage image;
  int result = 0;
  long peak = 0;
  double used = 0;
  if (mode == "run") {
    result = runChild(argv + 2, peak, used);
  } else if (mode == "thumbnail") {
    result = imageio::renderRimThumbnail(argv[2], std::atoi(argv[3]), image).code();
  } else if (mode == "window") {
    image = imageio::makeThumbnailPicture(argv[2], std::atoi(argv[3]));
    result = image.isNull() ? 1 : 0;
  } else if (mode == "scaled" && argc == 6) {
    const std::uint64_t budget = std::strtoull(argv[5], nullptr, 10) << 20;
    result = imageio::readRimScaled(argv[2], QSize(std::atoi(argv[3]), std::atoi(argv[4])), image,
                                    imageio::ReadBudget::ofMemory(budget))
                 .code();
  } else if (mode == "plugin" && argc == 7) {
    result = readThroughPlugin(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]),
                               std::atoi(argv[6]), image);
  } else {
    return 64;
  }
  if (mode != "run") {
    peak = statusField("VmHWM");
    used = processorSeconds() - start;
  }
  std::printf("%d %dx%d %s %ld %ld %.3f\n", result, image.width(), image.height(),
              grey(image) ? "grey" : "mixed", peak - before, peak, used);
  return 0;
}
