// folim-thumbnailer: the picture of a RIM file for file managers that follow
// the desktop's thumbnailer convention (folim.thumbnailer names it).
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>
#include <QUrl>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/status.h"
#include "imageio/rim_thumbnail.h"
#include "numeric/trace.h"

namespace {

const char* const kUsage =
    "Usage: folim-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "\n"
    "Writes a PNG picture of the RIM file INPUT (a path or a file:// URI),\n"
    "at most SIZE pixels (default 128) on its longer side, to OUTPUT. The\n"
    "picture is drawn from the file's patch averages when they are large\n"
    "enough, else from the decoded image. A file that cannot be read leaves\n"
    "OUTPUT untouched and ends with exit status 1; bad usage ends with 2.\n";

int usage(const char* problem) {
  if (problem != nullptr) std::fprintf(stderr, "folim-thumbnailer: %s\n", problem);
  std::fputs(kUsage, stderr);
  return 2;
}

std::string localPath(const QString& argument) {
  if (argument.startsWith(QStringLiteral("file://"))) {
    const QUrl url = QUrl::fromEncoded(argument.toUtf8());
    return QFile::encodeName(url.toLocalFile()).toStdString();
  }
  return QFile::encodeName(argument).toStdString();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // Only the picture is this program's output.
  setTraceStream(nullptr);
  int size = 128;
  QStringList files;
  const QStringList args = QCoreApplication::arguments().mid(1);
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == QStringLiteral("-h") || a == QStringLiteral("--help")) {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (a == QStringLiteral("-s") || a == QStringLiteral("--size")) {
      if (i + 1 >= args.size()) return usage("-s needs a size");
      bool ok = false;
      size = args[++i].toInt(&ok);
      if (!ok || size < 1 || size > 4096) return usage("the size must be 1 to 4096");
    } else {
      files << a;
    }
  }
  if (files.size() != 2) return usage("INPUT and OUTPUT are needed");

  const std::string input = localPath(files[0]);
  QImage picture;
  const Status s = imageio::renderRimThumbnail(input, size, picture);
  if (s != status::Success) {
    std::fprintf(stderr, "folim-thumbnailer: %s: %s", input.c_str(), statusMessage(s));
    return 1;
  }
  // Written whole or not at all: a file manager must never pick up half a
  // picture.
  QSaveFile file(QFile::decodeName(localPath(files[1]).c_str()));
  QImageWriter writer(&file, "png");
  if (!file.open(QIODevice::WriteOnly) || !writer.write(picture) || !file.commit()) {
    std::fprintf(stderr, "folim-thumbnailer: cannot write %s\n", qPrintable(files[1]));
    return 1;
  }
  return 0;
}
