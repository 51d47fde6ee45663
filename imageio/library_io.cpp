#include "imageio/library_io.h"

#include <unistd.h>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "codec/bmp_file.h"
#include "codec/limits.h"
#include "codec/rimformat.h"
#include "imageio/gif_palette.h"
#include "imageio/image_library.h"
#include "imageio/qimage_raster.h"
#include "platform/atomic_file.h"
#include "platform/paths.h"
#include "platform/regular_file.h"

namespace {

void setError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

// The lower-case extension of a path's last component, which Qt takes as the
// first guess of the format (as it does for a file opened by name). ".rim"
// gives none: RIM files are the codec's, and a reader for them among Qt's
// plugins (ours, once installed) must not change what is read here.
QByteArray formatHint(const std::string& path) {
  const std::string extension = targetExtension(path);
  if (extension.size() <= 1) return {};
  const QByteArray hint = QByteArray::fromStdString(extension.substr(1)).toLower();
  return hint == "rim" ? QByteArray() : hint;
}

// A file whose first bytes are those of a RIM file, whatever its name.
bool holdsRimData(QFile& file) {
  const QByteArray start = file.peek(2);
  return start.size() == 2 && (static_cast<std::uint8_t>(start[0]) |
                               static_cast<std::uint8_t>(start[1]) << 8) == kRimMagic;
}

// A file opened by its bytes: names that are not valid in the locale's
// encoding reach the file system unchanged, and only regular files are read.
bool openForReading(const std::string& path, QFile& file, std::string* error) {
  std::string why;
  const int fd = platform::openRegularFile(path, &why);
  if (fd < 0) {
    setError(error, why);
    return false;
  }
  if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
    ::close(fd);
    setError(error, file.errorString().toStdString());
    return false;
  }
  return true;
}

// openForReading for a QImageReader, with the format hint. RIM data is
// refused with the words Qt has for a format none of its readers knows, as
// when no RIM plugin is installed.
bool openForImageReader(const std::string& path, QFile& file, QByteArray& format,
                        std::string* error) {
  format = formatHint(path);
  if (!openForReading(path, file, error)) return false;
  if (holdsRimData(file)) {
    file.close();
    setError(error, "Unsupported image format");
    return false;
  }
  return true;
}

// The size of the image as it is shown: turned upright when its orientation
// tag asks for a quarter turn.
QSize uprightSize(QImageReader& reader) {
  QSize size = reader.size();
  if (size.isValid() && (reader.transformation() & QImageIOHandler::TransformationRotate90))
    size.transpose();
  return size;
}

}  // namespace

bool ReadImageSize(const std::string& path, int& width, int& height, std::string* error) {
  width = height = 0;
  if (!imageio::startImageLibrary()) {
    setError(error, "the image library cannot be started");
    return false;
  }
  QFile file;
  QByteArray format;
  if (!openForImageReader(path, file, format, error)) return false;
  QImageReader reader(&file, format);
  ChooseReaderByContent(reader, file);
  reader.setAutoTransform(true);
  const QSize size = uprightSize(reader);
  if (!size.isValid()) {
    setError(error, reader.errorString().toStdString());
    return false;
  }
  width = size.width();
  height = size.height();
  return true;
}

namespace {

// The one reading path of ordinary image files. With a box (upright width
// and height), a reader that can decode at a reduced scale does so at the
// smallest scale that still covers the picture fitted into the box; load
// then receives the picture's own size and the scale used.
bool loadThroughReader(const std::string& path, CImage& image, std::string* error, const QSize* box,
                       ReducedLoad* load) {
  image.Destroy();
  if (!imageio::startImageLibrary()) {
    setError(error, "the image library cannot be started");
    return false;
  }
  QFile file;
  QByteArray format;
  if (!openForImageReader(path, file, format, error)) return false;
  const bool gif = file.peek(3) == "GIF";
  QImageReader reader(&file, format);
  ChooseReaderByContent(reader, file);
  // Photographs are shown and converted upright, as their orientation tag
  // says.
  reader.setAutoTransform(true);
  // The header's size lets an oversized image be refused before Qt
  // allocates anything for it.
  const QSize announced = uprightSize(reader);
  if (announced.isValid()) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(announced.width()) *
                                 static_cast<std::uint64_t>(announced.height());
    if (pixels > codecLimits().maxPixels) {
      setError(error, "the image is too large (" + std::to_string(announced.width()) + " x " +
                          std::to_string(announced.height()) + " pixels)");
      return false;
    }
  }
  int reduction = 1;
  if (box != nullptr && announced.isValid() && reader.supportsOption(QImageIOHandler::ScaledSize)) {
    reduction =
        coveringReduction(announced.width(), announced.height(), box->width(), box->height());
    if (reduction > 1) {
      // The reader scales the picture as it is stored, before turning it.
      QSize stored((announced.width() + reduction - 1) / reduction,
                   (announced.height() + reduction - 1) / reduction);
      if (reader.transformation() & QImageIOHandler::TransformationRotate90) stored.transpose();
      reader.setScaledSize(stored);
    }
  }
  QImage decoded;
  // GIF pictures are read as 32-bit pixels and then become palette images.
  const imageio::DirectRead direct =
      reduction == 1 && !gif ? imageio::readIntoRaster(reader, announced, image, decoded)
                             : imageio::DirectRead::Unsuitable;
  if (direct == imageio::DirectRead::Done) {
    if (load != nullptr) *load = {announced.width(), announced.height(), reduction};
    return true;
  }
  if (direct == imageio::DirectRead::Unsuitable) decoded = reader.read();
  if (decoded.isNull()) {
    setError(error, reader.errorString().toStdString());
    return false;
  }
  // Qt hands out GIF images as 32-bit pixels; the file itself is an 8-bit
  // palette image, which is what the raster keeps.
  if (const auto palette = imageio::readGifPalette(path)) {
    QImage indexed = imageio::indexedWithPalette(decoded, *palette);
    if (!indexed.isNull()) decoded = std::move(indexed);
  }
  if (load != nullptr) {
    const QSize full = announced.isValid() ? announced : decoded.size();
    *load = {full.width(), full.height(), reduction};
  }
  if (!imageio::rasterFromQImage(decoded, image)) {
    setError(error, "the image is too large or memory ran out");
    return false;
  }
  return true;
}

}  // namespace

int coveringReduction(int fullWidth, int fullHeight, int boxWidth, int boxHeight) {
  if (fullWidth <= 0 || fullHeight <= 0 || boxWidth <= 0 || boxHeight <= 0) return 1;
  if (fullWidth <= boxWidth && fullHeight <= boxHeight) return 1;
  // The fitted size, aspect ratio kept (in 64 bits: sides of up to 2^31).
  const auto w = static_cast<std::int64_t>(fullWidth), h = static_cast<std::int64_t>(fullHeight);
  std::int64_t fittedWidth = boxWidth, fittedHeight = boxHeight;
  if (w * boxHeight > h * boxWidth)
    fittedHeight = std::max<std::int64_t>(1, h * boxWidth / w);
  else
    fittedWidth = std::max<std::int64_t>(1, w * boxHeight / h);
  for (int reduction : {8, 4, 2}) {
    if ((w + reduction - 1) / reduction >= fittedWidth &&
        (h + reduction - 1) / reduction >= fittedHeight)
      return reduction;
  }
  return 1;
}

bool LoadWithImageLibrary(const std::string& path, CImage& image, std::string* error) {
  return loadThroughReader(path, image, error, nullptr, nullptr);
}

bool LoadReducedWithImageLibrary(const std::string& path, int boxWidth, int boxHeight,
                                 CImage& image, ReducedLoad& load, std::string* error) {
  load = {};
  const QSize box(boxWidth, boxHeight);
  return loadThroughReader(path, image, error, &box, &load);
}

std::string targetExtension(const std::string& path) { return platform::fileExtension(path); }

std::string writerFormatFor(const std::string& path) {
  const std::string extension = targetExtension(path);
  if (extension.empty()) return {};
  // Qt's own BMP writer is always there and first for the name: no need to
  // load the plug-ins to find it.
  if (QString::fromStdString(extension).compare(QStringLiteral(".bmp"), Qt::CaseInsensitive) == 0)
    return "bmp";
  const QString wanted = QString::fromStdString(extension);
  // The first writer in Qt's order whose name matches.
  for (const QByteArray& format : QImageWriter::supportedImageFormats()) {
    if (QString::compare(QStringLiteral(".") + QString::fromLatin1(format), wanted,
                         Qt::CaseInsensitive) == 0)
      return format.toStdString();
  }
  return {};
}

bool SaveByExtension(const CImage& image, const std::string& path, std::string* error) {
  if (!imageio::startImageLibrary()) {
    setError(error, "the image library cannot be started");
    return false;
  }
  const std::string chosen = writerFormatFor(path);
  if (chosen.empty()) {
    setError(error, "no image format for the extension '" + targetExtension(path) + "'");
    return false;
  }
  return SaveWithFormat(image, path, chosen, error);
}

bool SaveWithFormat(const CImage& image, const std::string& path, const std::string& format,
                    std::string* error) {
  if (!imageio::startImageLibrary()) {
    setError(error, "the image library cannot be started");
    return false;
  }
  // 24-bit BMP, what every decoded RIM file becomes, goes straight from the
  // rows without Qt's writer.
  if (format == "bmp" && bmp::writable(image)) {
    int why = 0;
    if (bmp::save(image, path, &why)) return true;
    setError(error, "cannot write: " + platform::writeErrorText(why));
    return false;
  }
  if (!QImageWriter::supportedImageFormats().contains(QByteArray::fromStdString(format))) {
    setError(error, "no writer for the format '" + format + "'");
    return false;
  }
  // With alpha the raster becomes a 32-bit alpha image; otherwise its own
  // depth and colour table are handed over.
  const QImage pixels = imageio::qimageFromRaster(image);
  if (pixels.isNull()) {
    setError(error, "there is no image to write");
    return false;
  }

  // The temporary file is named and created by its bytes, so the target's
  // name reaches the disk unchanged whatever its encoding.
  platform::AtomicFile output(path);
  if (!output.open()) {
    setError(error, "cannot write: " + platform::writeErrorText(output.lastError()));
    return false;
  }
  {
    QFile file;
    if (!file.open(::fileno(output.file()), QIODevice::WriteOnly, QFileDevice::DontCloseHandle)) {
      setError(error, "cannot write: " + file.errorString().toStdString());
      return false;
    }
    QImageWriter writer;
    writer.setDevice(&file);
    writer.setFormat(QByteArray::fromStdString(format));
    const bool written = writer.write(pixels);
    const bool flushed = file.flush();
    if (!written || !flushed) {
      const QString why =
          file.error() != QFileDevice::NoError ? file.errorString() : writer.errorString();
      setError(error, "cannot write: " + why.toStdString());
      return false;
    }
  }
  if (!output.commit()) {
    setError(error, "cannot write: " + platform::writeErrorText(output.lastError()));
    return false;
  }
  return true;
}

void ChooseReaderByContent(QImageReader& reader, QIODevice& file) {
  const QByteArray start = file.peek(8);
  QByteArray own;
  if (start.startsWith("\x89PNG\r\n\x1a\n")) {
    own = "png";
  } else if (start.startsWith("\xff\xd8\xff")) {
    own = "jpeg";
  } else if (start.startsWith("GIF87a") || start.startsWith("GIF89a")) {
    own = "gif";
  } else if (start.startsWith("BM")) {
    own = "bmp";
  } else if (start.size() >= 3 && start[0] == 'P' && start[1] >= '1' && start[1] <= '6' &&
             std::isspace(static_cast<unsigned char>(start[2])) != 0) {
    // P1/P4 bitmaps, P2/P5 grey maps, P3/P6 pixel maps.
    static const char* const kinds[] = {"pbm", "pgm", "ppm"};
    own = kinds[(start[1] - '1') % 3];
  }
  if (own.isEmpty()) return;
  reader.setFormat(own);
  reader.setAutoDetectImageFormat(false);
}

bool OpenImageFile(const std::string& path, QFile& file, QByteArray& format, std::string* error) {
  return openForImageReader(path, file, format, error);
}
