// Finding image files that are cut short. Qt's readers fill what a truncated
// JPEG, BMP or GIF file lacks with grey or black and report success; the
// viewer may show such a picture, but a conversion must not pass it off as
// the whole image.
#pragma once

#include <string>

namespace imageio {

// Why the file at path is not a whole image ("" when nothing is missing, or
// when its format is none of JPEG, BMP and GIF, whose readers are strict).
// The format is recognised by the file's first bytes, not by its name.
std::string imageDamage(const std::string& path);

}  // namespace imageio
