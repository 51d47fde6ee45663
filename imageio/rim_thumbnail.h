// Small pictures of RIM files for other programs (the desktop thumbnailer,
// the Qt image plugin, the shared thumbnail cache): drawn from the averages
// when they hold enough pixels for the size asked, from a full decode when
// they do not; either only within a budget of memory and work.
#pragma once

#include <QImage>
#include <QSize>
#include <string>

#include "codec/rimformat.h"
#include "codec/status.h"
#include "imageio/rim_read_cost.h"

namespace imageio {

// Reads and checks the 44-byte header of a RIM file (status::CannotOpenFile,
// status::ReadFailed, status::InvalidFileType, status::InvalidValues).
Status readRimHeader(const std::string& path, RIMHeader& header);

// The size of an image of imageSize fitted into a box x box square: the
// aspect ratio kept, never enlarged, at least one pixel each way.
QSize fitInBox(const QSize& imageSize, int box);

// The RIM file's picture scaled smoothly to exactly target. The averages
// (one pixel per patch) serve when they are at least kPreviewRatio of the
// target each way and the file is whole as the decoder reads it; otherwise
// the file is decoded. A way of drawing whose estimated cost the budget does
// not admit is not tried; when neither fits, status::NoMemory and nothing is
// allocated for the picture. A status other than status::Success leaves out
// null: the file is damaged, unreadable or too costly.
inline constexpr double kPreviewRatio = 0.7;
Status readRimScaled(const std::string& path, const QSize& target, QImage& out,
                     const ReadBudget& budget = thumbnailBudget());

// readRimScaled into fitInBox(image size, box) within the thumbnail budget:
// the desktop thumbnail.
Status renderRimThumbnail(const std::string& path, int box, QImage& out);

}  // namespace imageio
