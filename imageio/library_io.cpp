#include "imageio/library_io.h"

#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>

#include "codec/limits.h"
#include "imageio/bmp_writer.h"
#include "imageio/gif_palette.h"
#include "imageio/image_library.h"
#include "imageio/qimage_raster.h"

namespace {

QString qtPath(const std::string& path) { return QFile::decodeName(path.c_str()); }

void setError(std::string* error, const std::string& text) {
  if (error != nullptr) *error = text;
}

}  // namespace

bool LoadWithImageLibrary(const std::string& path, CImage& image, std::string* error) {
  image.Destroy();
  if (!imageio::startImageLibrary()) {
    setError(error, "the image library cannot be started");
    return false;
  }
  QImageReader reader(qtPath(path));
  // The header's size lets an oversized image be refused before Qt
  // allocates anything for it.
  const QSize announced = reader.size();
  if (announced.isValid()) {
    const std::uint64_t pixels = static_cast<std::uint64_t>(announced.width()) *
                                 static_cast<std::uint64_t>(announced.height());
    if (pixels > codecLimits().maxPixels) {
      setError(error, "the image is too large (" + std::to_string(announced.width()) + " x " +
                          std::to_string(announced.height()) + " pixels)");
      return false;
    }
  }
  QImage decoded = reader.read();
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
  if (!imageio::rasterFromQImage(decoded, image)) {
    setError(error, "the image is too large or memory ran out");
    return false;
  }
  return true;
}

std::string targetExtension(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::size_t dot = last.find_last_of('.');
  return dot == std::string::npos ? std::string() : last.substr(dot);
}

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

bool SaveByExtension(const CImage& image, const std::string& path) {
  if (!imageio::startImageLibrary()) return false;
  const std::string chosen = writerFormatFor(path);
  if (chosen.empty()) return false;
  return SaveWithFormat(image, path, chosen);
}

bool SaveWithFormat(const CImage& image, const std::string& path, const std::string& format) {
  if (!imageio::startImageLibrary()) return false;
  // 24-bit BMP, what every decoded RIM file becomes: straight from the rows.
  if (format == "bmp" && imageio::directBmpWritable(image)) {
    QSaveFile file(qtPath(path));
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (!imageio::writeBmp24(image, file)) {
      file.cancelWriting();
      file.commit();  // removes the temporary
      return false;
    }
    return file.commit();
  }
  if (!QImageWriter::supportedImageFormats().contains(QByteArray::fromStdString(format)))
    return false;
  // With alpha the raster becomes a 32-bit alpha image; otherwise its own
  // depth and colour table are handed over.
  const QImage pixels = imageio::qimageFromRaster(image);
  if (pixels.isNull()) return false;

  QSaveFile file(qtPath(path));
  if (!file.open(QIODevice::WriteOnly)) return false;
  QImageWriter writer(&file, QByteArray::fromStdString(format));
  if (!writer.write(pixels)) {
    file.cancelWriting();
    file.commit();  // removes the temporary
    return false;
  }
  return file.commit();
}
