#include "support/exif_tags.h"

#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

namespace testing_support {

void writeExifTags(const std::string& path, const std::vector<ExifTag>& tags) {
  try {
    auto image = Exiv2::ImageFactory::open(path);
    ASSERT_NE(image.get(), nullptr) << path;
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    for (const auto& [key, value] : tags) exif[key] = value;
    image->setExifData(exif);
    image->writeMetadata();
  } catch (const std::exception& e) {
    FAIL() << path << ": " << e.what();
  }
}

}  // namespace testing_support
