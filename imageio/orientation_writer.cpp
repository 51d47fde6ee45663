#include "imageio/orientation_writer.h"

#include <exiv2/exiv2.hpp>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/regular_file.h"

namespace {

// Each orientation as "mirror left to right (or not), then turn clockwise
// by this many quarters"; index = orientation - 1.
struct Placement {
  bool mirrored;
  int quarters;
};
constexpr Placement kPlacements[8] = {{false, 0}, {true, 0},  {false, 2}, {true, 2},
                                      {true, 3},  {false, 1}, {true, 1},  {false, 3}};

const char* const kOrientationKey = "Exif.Image.Orientation";

// Exiv2 keeps global state it sets up on first use, and writes warnings to
// standard error unless told otherwise.
void startExiv2() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    Exiv2::XmpParser::initialize();
  });
}

bool readWholeFile(const std::string& path, std::vector<Exiv2::byte>& bytes, std::string& why) {
  std::FILE* file = platform::openRegularStream(path, &why);
  if (file == nullptr) return false;
  bytes.clear();
  Exiv2::byte buffer[1 << 16];
  std::size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.insert(bytes.end(), buffer, buffer + got);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) why = "cannot read the file";
  return !failed;
}

int orientationOf(const Exiv2::ExifData& exif) {
  const auto tag = exif.findKey(Exiv2::ExifKey(kOrientationKey));
  if (tag == exif.end() || tag->count() == 0) return 1;
  const long value = tag->toLong();
  return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
}

}  // namespace

int turnedOrientation(int orientation, int quarterTurns) {
  if (orientation < 1 || orientation > 8) orientation = 1;
  const Placement was = kPlacements[orientation - 1];
  const int quarters = ((was.quarters + quarterTurns) % 4 + 4) % 4;
  for (int i = 0; i < 8; ++i) {
    if (kPlacements[i].mirrored == was.mirrored && kPlacements[i].quarters == quarters)
      return i + 1;
  }
  return 1;
}

int readOrientation(const std::string& path, std::string& why) {
  startExiv2();
  std::vector<Exiv2::byte> bytes;
  if (!readWholeFile(path, bytes, why)) return 0;
  try {
    auto image = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
    image->readMetadata();
    return orientationOf(image->exifData());
  } catch (const Exiv2::AnyError& error) {
    why = error.what();
    return 0;
  }
}

bool isJpegFile(const std::string& path) {
  std::string why;
  std::FILE* file = platform::openRegularStream(path, &why);
  if (file == nullptr) return false;
  unsigned char start[3] = {0, 0, 0};
  const bool read = std::fread(start, 1, sizeof start, file) == sizeof start;
  std::fclose(file);
  return read && start[0] == 0xFF && start[1] == 0xD8 && start[2] == 0xFF;
}

bool turnJpegByOrientation(const std::string& path, int quarterTurns, std::string& why) {
  startExiv2();
  std::vector<Exiv2::byte> bytes;
  if (!readWholeFile(path, bytes, why)) return false;
  std::vector<Exiv2::byte> turned;
  try {
    // Rewritten in memory, so that the file itself is only ever replaced.
    auto image = Exiv2::ImageFactory::open(bytes.data(), static_cast<long>(bytes.size()));
    if (image->imageType() != Exiv2::ImageType::jpeg) {
      why = "not a JPEG file";
      return false;
    }
    image->readMetadata();
    Exiv2::ExifData& exif = image->exifData();
    const int orientation = turnedOrientation(orientationOf(exif), quarterTurns);
    exif[kOrientationKey] = static_cast<std::uint16_t>(orientation);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0) {
      why = "cannot read the rewritten metadata";
      return false;
    }
    const Exiv2::DataBuf all = io.read(static_cast<long>(io.size()));
    io.close();
    turned.assign(all.pData_, all.pData_ + all.size_);
  } catch (const Exiv2::AnyError& error) {
    why = error.what();
    return false;
  }

  platform::AtomicFile output(path);
  if (!output.open()) {
    why = "cannot write: " + platform::writeErrorText(output.lastError());
    return false;
  }
  if (std::fwrite(turned.data(), 1, turned.size(), output.file()) != turned.size()) {
    why = "cannot write: " + platform::writeErrorText(errno);
    return false;
  }
  if (!output.commit()) {
    why = "cannot write: " + platform::writeErrorText(output.lastError());
    return false;
  }
  return true;
}
