// Writing a photograph's EXIF with exiv2, as a camera or a photo tool would,
// for the tests that read it back.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// exiv2 key ("Exif.Photo.DateTimeOriginal") and value as exiv2 reads it
// from text ("2021:07:14 09:30:05", "1/250", "48/1 51/1 30/1").
using ExifTag = std::pair<std::string, std::string>;

// Adds the tags to the metadata of the picture at path (a JPEG, PNG, TIFF or
// WebP file); fails the test when exiv2 cannot write them.
void writeExifTags(const std::string& path, const std::vector<ExifTag>& tags);

}  // namespace testing_support
