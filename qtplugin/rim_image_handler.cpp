#include "qtplugin/rim_image_handler.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTemporaryFile>
#include <QVariant>
#include <cstdint>
#include <string>

#include "codec/rimformat.h"
#include "imageio/rim_thumbnail.h"

namespace {

// The header as the device holds it, without moving its position.
bool peekHeader(QIODevice* device, RIMHeader& header) {
  if (device == nullptr) return false;
  const QByteArray bytes = device->peek(kRimHeaderSize);
  if (bytes.size() != static_cast<int>(kRimHeaderSize)) return false;
  header = decodeHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()));
  return header.fileType == kRimMagic && validateHeader(header) == status::Success;
}

// The host's allocation limit bounds the whole read, as it bounds Qt's own
// readers: the picture handed out and the decoder's working memory (and its
// work in proportion). A limit of 0 lifts it.
imageio::ReadBudget hostBudget() {
  const int megabytes = QImageReader::allocationLimit();
  if (megabytes <= 0) return {};
  return imageio::ReadBudget::ofMemory(static_cast<std::uint64_t>(megabytes) << 20);
}

}  // namespace

bool RimImageHandler::canRead(QIODevice* device) {
  RIMHeader header;
  return peekHeader(device, header);
}

bool RimImageHandler::canRead() const {
  if (!canRead(device())) return false;
  setFormat("rim");
  return true;
}

bool RimImageHandler::read(QImage* image) {
  RIMHeader header;
  if (image == nullptr || !peekHeader(device(), header)) return false;
  // The codec reads files by name; a device that is not a plain file (a
  // resource, a buffer, a network reply) is copied to a temporary file.
  std::string path;
  QTemporaryFile copy;
  auto* file = qobject_cast<QFile*>(device());
  const bool plainFile = file != nullptr && !file->fileName().isEmpty() &&
                         !file->fileName().startsWith(':') && file->pos() == 0;
  if (plainFile) {
    path = QFile::encodeName(file->fileName()).toStdString();
  } else {
    if (!copy.open() || copy.write(device()->readAll()) < 0 || !copy.flush()) return false;
    path = QFile::encodeName(copy.fileName()).toStdString();
  }
  const QSize full(static_cast<int>(header.imageWidth), static_cast<int>(header.imageHeight));
  const QSize target = scaledSize_.isValid() && !scaledSize_.isEmpty() ? scaledSize_ : full;
  QImage picture;
  if (imageio::readRimScaled(path, target, picture, hostBudget()) != status::Success) return false;
  // A caller reading a sequence of images finds the device past this one.
  if (plainFile) file->seek(file->size());
  *image = picture;
  return true;
}

QVariant RimImageHandler::option(ImageOption option) const {
  RIMHeader header;
  if (option == Size && peekHeader(device(), header))
    return QSize(static_cast<int>(header.imageWidth), static_cast<int>(header.imageHeight));
  if (option == ScaledSize) return scaledSize_;
  return {};
}

void RimImageHandler::setOption(ImageOption option, const QVariant& value) {
  if (option == ScaledSize) scaledSize_ = value.toSize();
}

bool RimImageHandler::supportsOption(ImageOption option) const {
  return option == Size || option == ScaledSize;
}
