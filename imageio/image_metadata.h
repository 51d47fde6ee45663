// What a picture file is: what the file system and the image reader know of
// it, the photograph's EXIF and XMP (read through exiv2) and, for a RIM file,
// its header and section sizes. Only read: nothing here writes a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// A rational EXIF value (an exposure of 1/250 s is 1 and 250).
struct ExifRational {
  std::int32_t numerator = 0;
  std::int32_t denominator = 1;
};

struct GpsPosition {
  double latitude = 0;             // degrees, north positive
  double longitude = 0;            // degrees, east positive
  std::optional<double> altitude;  // metres above sea level
};

// The header of a RIM file as the panel tells it.
struct RimFacts {
  std::uint16_t colorSpace = 0;      // 0 RGB, 1 YCC, 2 HSV
  std::uint16_t learningMethod = 0;  // 0 PCA bases, 1 ICA bases
  std::uint32_t patchWidth = 0;
  std::uint32_t patchHeight = 0;
  std::uint32_t dimension = 0;
  // Sizes of the averages, bases and coefficients sections, header included;
  // all 0 when the sections do not fit the file.
  std::uint32_t sectionSizes[3] = {0, 0, 0};
};

struct ImageMetadata {
  std::string name;    // file name as spelled on disk
  std::string folder;  // the folder it lies in
  std::uint64_t fileSize = 0;
  // Pixel size as the picture is shown (EXIF orientation applied); 0 when
  // the file cannot be read.
  int width = 0;
  int height = 0;
  std::string format;     // "JPEG", "PNG", "RIM", ...; empty when unknown
  std::string dateTaken;  // "YYYY-MM-DD HH:MM:SS", or as much of it as is known
  std::string cameraMake;
  std::string cameraModel;
  std::string lens;
  std::optional<ExifRational> exposureTime;  // seconds
  std::optional<double> fNumber;
  std::optional<int> iso;
  std::optional<double> focalLength;  // millimetres
  std::optional<int> focalLength35;   // millimetres on 35 mm film
  std::optional<GpsPosition> gps;
  std::optional<RimFacts> rim;
  // Why the file could not be read at all; empty when it could.
  std::string problem;
};

// Everything above of the file at path. Never throws: what cannot be read
// stays empty.
ImageMetadata ReadImageMetadata(const std::string& path);

// The date a photograph was taken, as the number YYYYMMDDhhmmss (0 when it
// has none or it cannot be read), from its metadata alone: the pixels are
// not decoded. Safe to call on several threads at once.
std::int64_t ReadDateTaken(const std::string& path);

// A date of EXIF ("2008:01:22 03:28:22") or XMP ("2008-01-22T03:28:22+01:00")
// as YYYYMMDDhhmmss; 0 when it is no date.
std::int64_t DateNumber(const std::string& text);
