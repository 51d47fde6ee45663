#include "imageio/file_kind.h"

#include <QImageReader>
#include <algorithm>

#include "platform/directory.h"
#include "platform/paths.h"

int GetFileKind(const std::string& name) {
  const std::string lower = platform::toLowerAscii(name);
  // The whole name when it is shorter than three or four characters.
  const std::string r3 = lower.size() > 3 ? lower.substr(lower.size() - 3) : lower;
  const std::string r4 = lower.size() > 4 ? lower.substr(lower.size() - 4) : lower;

  if (r3 == "bmp") return kFileKindBmp;
  if (r3 == "gif") return kFileKindGif;
  if (r3 == "jpg" || r4 == "jpeg") return kFileKindJpeg;
  if (r3 == "png") return kFileKindPng;
  if (r3 == "ico") return kFileKindIco;
  if (r3 == "tif" || r4 == "tiff") return kFileKindTiff;
  if (r3 == "tga") return kFileKindTga;
  if (r3 == "pcx") return kFileKindPcx;
  if (r3 == "wmf" || r3 == "emf") return kFileKindMetafile;
  if (r3 == "j2k" || r3 == "jp2") return kFileKindJpeg2000;
  if (r3 == "j2c" || r3 == "jpc") return kFileKindJpeg2000Code;
  if (r3 == "pgx") return kFileKindPgx;
  if (r3 == "pnm" || r3 == "pgm" || r3 == "ppm") return kFileKindPnm;
  if (r3 == "ras") return kFileKindRas;
  if (r3 == "rim") return kFileKindRim;
  return kFileKindNone;
}

const std::vector<std::string>& readableImageExtensions() {
  static const std::vector<std::string> extensions = [] {
    std::vector<std::string> found;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
      found.push_back(platform::toLowerAscii(format.toStdString()));
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
  }();
  return extensions;
}

bool IsImageFileName(const std::string& name) {
  if (GetFileKind(name) != kFileKindNone) return true;
  const std::string extension = platform::toLowerAscii(platform::fileExtension(name));
  if (extension.size() < 2) return false;
  const std::vector<std::string>& readable = readableImageExtensions();
  return std::binary_search(readable.begin(), readable.end(), extension.substr(1));
}
