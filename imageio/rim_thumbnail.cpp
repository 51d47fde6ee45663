#include "imageio/rim_thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "codec/raster.h"
#include "codec/rim_codec.h"
#include "codec/rim_file.h"
#include "imageio/qimage_raster.h"

namespace imageio {
namespace {

std::uint32_t readU32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The averages say nothing of the rest of the file; a file cut short or with
// a wrong coefficient offset must not pass for whole through its preview.
// Whole: the coefficient section's header lies where the header says and
// its payload ends exactly at the end of the file.
bool fileLooksWhole(const std::string& path, const RIMHeader& header) {
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  if (error) return false;
  RimFile file = openRimFile(path, "rb");
  if (!file || std::fseek(file.get(), static_cast<long>(header.coeffOffset), SEEK_SET) != 0)
    return false;
  std::uint8_t bytes[8];
  if (std::fread(bytes, 1, sizeof bytes, file.get()) != sizeof bytes) return false;
  const std::uint64_t end =
      std::uint64_t{header.coeffOffset} + kSectionHeaderSize + readU32(bytes + 4);
  return readU32(bytes) <= 1 && end == size;
}

QImage scaledTo(const QImage& image, const QSize& target) {
  if (image.size() == target) return image;
  return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

Status readRimHeader(const std::string& path, RIMHeader& header) {
  RimFile file = openRimFile(path, "rb");
  if (!file) return status::CannotOpenFile;
  const Status s = readHeader(file.get(), header);
  if (s != status::Success) return s;
  return validateHeader(header);
}

QSize fitInBox(const QSize& imageSize, int box) {
  if (imageSize.isEmpty() || box <= 0) return {};
  if (imageSize.width() <= box && imageSize.height() <= box) return imageSize;
  return imageSize.scaled(box, box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

Status readRimScaled(const std::string& path, const QSize& target, QImage& out) {
  out = QImage();
  if (target.isEmpty()) return status::InvalidValues;
  RIMHeader header;
  Status s = readRimHeader(path, header);
  if (s != status::Success) return s;
  const double columns = std::ceil(static_cast<double>(header.imageWidth) / header.patchWidth);
  const double rows = std::ceil(static_cast<double>(header.imageHeight) / header.patchHeight);
  CImage raster;
  bool fromAverages = false;
  if (columns >= kPreviewRatio * target.width() && rows >= kPreviewRatio * target.height() &&
      fileLooksWhole(path, header)) {
    CRIMCodec codec;
    fromAverages = codec.renderAveragePreview(raster, path) == status::Success;
  }
  if (!fromAverages) {
    CRIMCodec codec;
    s = codec.decodeFile(raster, path);
    if (s != status::Success) return s;
  }
  const QImage image = qimageFromRaster(raster);
  if (image.isNull()) return status::NoMemory;
  out = scaledTo(image, target);
  return out.isNull() ? status::NoMemory : status::Success;
}

Status renderRimThumbnail(const std::string& path, int box, QImage& out) {
  out = QImage();
  RIMHeader header;
  const Status s = readRimHeader(path, header);
  if (s != status::Success) return s;
  const QSize size(static_cast<int>(std::min<std::uint32_t>(header.imageWidth, 1u << 30)),
                   static_cast<int>(std::min<std::uint32_t>(header.imageHeight, 1u << 30)));
  return readRimScaled(path, fitInBox(size, box), out);
}

}  // namespace imageio
