#include "imageio/image_metadata.h"

#include <QImageIOHandler>
#include <QImageReader>
#include <QString>
#include <cctype>
#include <cstdio>
#include <exiv2/exiv2.hpp>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "codec/rimformat.h"
#include "imageio/file_kind.h"
#include "imageio/rim_thumbnail.h"

namespace {

// exiv2 keeps quiet about damaged files (they are reported as having no
// metadata) and its XMP parser must be set up before threads use it.
void startExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
}

// The metadata exiv2 finds in the file; false when it cannot read any.
bool readExiv2(const std::string& path, Exiv2::ExifData& exif, Exiv2::XmpData& xmp) {
  startExiv2();
  try {
    auto image = Exiv2::ImageFactory::open(path);
    if (image.get() == nullptr) return false;
    image->readMetadata();
    exif = image->exifData();
    xmp = image->xmpData();
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string exifText(const Exiv2::ExifData& exif, const char* key) {
  const auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end()) return {};
  std::string text = it->toString();
  // ASCII values are padded with blanks or zeros by some cameras.
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

std::string xmpText(const Exiv2::XmpData& xmp, const char* key) {
  const auto it = xmp.findKey(Exiv2::XmpKey(key));
  return it == xmp.end() ? std::string() : it->toString();
}

// The first date of the usual tags, best first.
std::string dateTakenText(const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp) {
  for (const char* key :
       {"Exif.Photo.DateTimeOriginal", "Exif.Photo.DateTimeDigitized", "Exif.Image.DateTime"}) {
    std::string text = exifText(exif, key);
    if (DateNumber(text) != 0) return text;
  }
  for (const char* key :
       {"Xmp.exif.DateTimeOriginal", "Xmp.photoshop.DateCreated", "Xmp.xmp.CreateDate"}) {
    std::string text = xmpText(xmp, key);
    if (DateNumber(text) != 0) return text;
  }
  return {};
}

std::optional<ExifRational> rationalOf(Exiv2::ExifData::const_iterator it,
                                       const Exiv2::ExifData& exif) {
  if (it == exif.end() || it->count() == 0) return std::nullopt;
  const Exiv2::Rational r = it->toRational(0);
  if (r.second <= 0 || r.first < 0) return std::nullopt;
  return ExifRational{r.first, r.second};
}

std::optional<double> positiveNumber(Exiv2::ExifData::const_iterator it,
                                     const Exiv2::ExifData& exif) {
  const std::optional<ExifRational> r = rationalOf(it, exif);
  if (!r || r->numerator == 0) return std::nullopt;
  return static_cast<double>(r->numerator) / r->denominator;
}

// Degrees from the three rationals of a GPS coordinate; nullopt when any is
// missing or undefined.
std::optional<double> degreesOf(const Exiv2::ExifData& exif, const char* key) {
  const auto it = exif.findKey(Exiv2::ExifKey(key));
  if (it == exif.end() || it->count() != 3) return std::nullopt;
  double degrees = 0;
  double unit = 1;
  for (long i = 0; i < 3; ++i) {
    const Exiv2::Rational r = it->toRational(i);
    if (r.second <= 0 || r.first < 0) return std::nullopt;
    degrees += static_cast<double>(r.first) / r.second / unit;
    unit *= 60;
  }
  return degrees;
}

std::optional<GpsPosition> gpsOf(const Exiv2::ExifData& exif) {
  const std::optional<double> latitude = degreesOf(exif, "Exif.GPSInfo.GPSLatitude");
  const std::optional<double> longitude = degreesOf(exif, "Exif.GPSInfo.GPSLongitude");
  if (!latitude || !longitude || *latitude > 90 || *longitude > 180) return std::nullopt;
  GpsPosition position;
  position.latitude = exifText(exif, "Exif.GPSInfo.GPSLatitudeRef") == "S" ? -*latitude : *latitude;
  position.longitude =
      exifText(exif, "Exif.GPSInfo.GPSLongitudeRef") == "W" ? -*longitude : *longitude;
  const auto altitude = exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSAltitude"));
  if (const std::optional<ExifRational> metres = rationalOf(altitude, exif)) {
    const double value = static_cast<double>(metres->numerator) / metres->denominator;
    // Reference 1: below sea level.
    position.altitude = exifText(exif, "Exif.GPSInfo.GPSAltitudeRef") == "1" ? -value : value;
  }
  return position;
}

void readExif(const Exiv2::ExifData& exif, const Exiv2::XmpData& xmp, ImageMetadata& out) {
  const std::int64_t date = DateNumber(dateTakenText(exif, xmp));
  if (date != 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d",
                  static_cast<int>(date / 10000000000), static_cast<int>(date / 100000000 % 100),
                  static_cast<int>(date / 1000000 % 100), static_cast<int>(date / 10000 % 100),
                  static_cast<int>(date / 100 % 100), static_cast<int>(date % 100));
    out.dateTaken = text;
  }
  out.cameraMake = exifText(exif, "Exif.Image.Make");
  out.cameraModel = exifText(exif, "Exif.Image.Model");
  const auto lens = Exiv2::lensName(exif);
  if (lens != exif.end()) {
    out.lens = lens->print(&exif);
    // exiv2 prints an unknown lens as "(123)", "n/a" or an empty text.
    if (!out.lens.empty() && (out.lens.front() == '(' || out.lens == "n/a")) out.lens.clear();
  }
  out.exposureTime = rationalOf(Exiv2::exposureTime(exif), exif);
  if (out.exposureTime && out.exposureTime->numerator == 0) out.exposureTime.reset();
  out.fNumber = positiveNumber(Exiv2::fNumber(exif), exif);
  const auto iso = Exiv2::isoSpeed(exif);
  if (iso != exif.end() && iso->count() > 0 && iso->toFloat(0) >= 1)
    out.iso = static_cast<int>(iso->toFloat(0));
  out.focalLength = positiveNumber(Exiv2::focalLength(exif), exif);
  const auto focal35 = exif.findKey(Exiv2::ExifKey("Exif.Photo.FocalLengthIn35mmFilm"));
  if (focal35 != exif.end() && focal35->count() > 0 && focal35->toFloat(0) >= 1)
    out.focalLength35 = static_cast<int>(focal35->toFloat(0));
  out.gps = gpsOf(exif);
}

// Size and format from the image reader, which reads no more than it needs
// to tell them.
void readPictureSize(const std::string& path, ImageMetadata& out) {
  QImageReader reader(QString::fromStdString(path));
  const QSize size = reader.size();
  if (!size.isValid()) return;
  out.format = reader.format().toUpper().toStdString();
  const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
  out.width = turned ? size.height() : size.width();
  out.height = turned ? size.width() : size.height();
}

void readRim(const std::string& path, ImageMetadata& out) {
  RIMHeader header;
  if (imageio::readRimHeader(path, header) != status::Success) return;
  out.format = "RIM";
  out.width = static_cast<int>(header.imageWidth);
  out.height = static_cast<int>(header.imageHeight);
  RimFacts facts;
  facts.colorSpace = header.colorSpace;
  facts.learningMethod = header.learningMethod;
  facts.patchWidth = header.patchWidth;
  facts.patchHeight = header.patchHeight;
  facts.dimension = header.dimension;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    if (readSectionSizes(file, out.fileSize, facts.sectionSizes) != status::Success)
      facts.sectionSizes[0] = facts.sectionSizes[1] = facts.sectionSizes[2] = 0;
    std::fclose(file);
  }
  out.rim = facts;
}

int digitsAt(const std::string& text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return -1;
  int value = 0;
  for (std::size_t i = at; i < at + count; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

}  // namespace

std::int64_t DateNumber(const std::string& text) {
  // YYYY?MM?DD, then optionally ?hh?mm and ?ss, at fixed places.
  const int year = digitsAt(text, 0, 4);
  const int month = digitsAt(text, 5, 2);
  const int day = digitsAt(text, 8, 2);
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  if (text.size() > 10) {
    hour = digitsAt(text, 11, 2);
    minute = digitsAt(text, 14, 2);
    second = text.size() > 16 ? digitsAt(text, 17, 2) : 0;
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 60) return 0;
  }
  return ((((static_cast<std::int64_t>(year) * 100 + month) * 100 + day) * 100 + hour) * 100 +
          minute) *
             100 +
         second;
}

ImageMetadata ReadImageMetadata(const std::string& path) {
  ImageMetadata out;
  const std::filesystem::path file(path);
  out.name = file.filename().string();
  out.folder = file.parent_path().string();
  std::error_code error;
  out.fileSize = std::filesystem::file_size(file, error);
  if (error) {
    out.fileSize = 0;
    out.problem = error.message();
    return out;
  }
  if (GetFileKind(out.name) == kFileKindRim) {
    readRim(path, out);
    return out;
  }
  readPictureSize(path, out);
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  if (readExiv2(path, exif, xmp)) readExif(exif, xmp, out);
  return out;
}

std::int64_t ReadDateTaken(const std::string& path) {
  if (GetFileKind(path) == kFileKindRim) return 0;
  Exiv2::ExifData exif;
  Exiv2::XmpData xmp;
  if (!readExiv2(path, exif, xmp)) return 0;
  return DateNumber(dateTakenText(exif, xmp));
}
