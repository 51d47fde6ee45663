// Small pictures of RIM files for other programs (the desktop thumbnailer,
// the Qt image plugin, the shared thumbnail cache): drawn from the averages
// when they hold enough pixels for the size asked, from a full decode when
// they do not.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

#include "codec/rimformat.h"
#include "codec/status.h"

namespace imageio {

// Reads and checks the 44-byte header of a RIM file (8, 14, 21, 22).
Status readRimHeader(const std::string& path, RIMHeader& header);

// The size of an image of imageSize fitted into a box x box square: the
// aspect ratio kept, never enlarged, at least one pixel each way.
QSize fitInBox(const QSize& imageSize, int box);

// The RIM file's picture scaled smoothly to exactly target. The averages
// (one pixel per patch) serve when they are at least kPreviewRatio of the
// target each way and the file is whole; otherwise the file is decoded. A
// status other than 0 leaves out null: the file is damaged or unreadable.
inline constexpr double kPreviewRatio = 0.7;
Status readRimScaled(const std::string& path, const QSize& target, QImage& out);

// readRimScaled into fitInBox(image size, box): the desktop thumbnail.
Status renderRimThumbnail(const std::string& path, int box, QImage& out);

}  // namespace imageio
