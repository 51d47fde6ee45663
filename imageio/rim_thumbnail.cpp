#include "imageio/rim_thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "codec/raster.h"
#include "codec/rim_codec.h"
#include "codec/rim_file.h"
#include "imageio/qimage_raster.h"

namespace imageio {
namespace {

QImage scaledTo(const QImage& image, const QSize& target) {
  if (image.size() == target) return image;
  return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

}  // namespace

Status readRimHeader(const std::string& path, RIMHeader& header) {
  RimFile file = openRimFile(path, "rb");
  if (!file) return status::CannotOpenFile;
  FOLIM_RETURN_IF_ERROR(readHeader(file.get(), header));
  return validateHeader(header);
}

QSize fitInBox(const QSize& imageSize, int box) {
  if (imageSize.isEmpty() || box <= 0) return {};
  if (imageSize.width() <= box && imageSize.height() <= box) return imageSize;
  return imageSize.scaled(box, box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

Status readRimScaled(const std::string& path, const QSize& target, QImage& out,
                     const ReadBudget& budget) {
  out = QImage();
  if (target.isEmpty()) return status::InvalidValues;
  RimLayout layout;
  FOLIM_RETURN_IF_ERROR(readRimLayout(path, layout));
  const RIMHeader& header = layout.header;
  const double columns = std::ceil(static_cast<double>(header.imageWidth) / header.patchWidth);
  const double rows = std::ceil(static_cast<double>(header.imageHeight) / header.patchHeight);
  CImage raster;
  bool drawn = false;
  // The averages say nothing of the rest of the file; a file cut short must
  // not pass for whole through its preview.
  if (columns >= kPreviewRatio * target.width() && rows >= kPreviewRatio * target.height() &&
      layout.whole && budget.admits(averagesCost(layout, target))) {
    CRIMCodec codec;
    drawn = codec.renderAveragePreview(raster, path) == status::Success;
  }
  if (!drawn) {
    if (!budget.admits(decodeCost(layout, target))) return status::NoMemory;
    CRIMCodec codec;
    FOLIM_RETURN_IF_ERROR(codec.decodeFile(raster, path));
  }
  QImage image = qimageFromRaster(raster);
  raster.Destroy();
  if (image.isNull()) return status::NoMemory;
  out = scaledTo(image, target);
  return out.isNull() ? status::NoMemory : status::Success;
}

Status renderRimThumbnail(const std::string& path, int box, QImage& out) {
  out = QImage();
  RIMHeader header;
  FOLIM_RETURN_IF_ERROR(readRimHeader(path, header));
  const QSize size(static_cast<int>(std::min<std::uint32_t>(header.imageWidth, 1u << 30)),
                   static_cast<int>(std::min<std::uint32_t>(header.imageHeight, 1u << 30)));
  return readRimScaled(path, fitInBox(size, box), out);
}

}  // namespace imageio
