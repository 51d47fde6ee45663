// What a picture file is, as the information panel and the sorting by date
// read it: EXIF written with exiv2 here, read back through imageio.
#include "imageio/image_metadata.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <filesystem>

#include "support/exif_tags.h"
#include "support/small_rim.h"
#include "support/test_support.h"

using testing_support::ExifTag;
using testing_support::TempDir;

namespace {

// An example photograph written again, without the EXIF it came with.
void writePhotograph(const std::string& path) {
  const QImage photo(QString::fromStdString(testing_support::examplesPath("dune.jpg")));
  ASSERT_TRUE(photo.save(QString::fromStdString(path), "JPEG", 90));
}

class ImageMetadataTest : public ::testing::Test {
 protected:
  std::string photograph() {
    const std::string path = dir_.file("photo.jpg");
    writePhotograph(path);
    return path;
  }

  TempDir dir_;
};

TEST_F(ImageMetadataTest, EveryFactOfAPhotographWrittenWithExiv2) {
  const std::string path = photograph();
  testing_support::writeExifTags(path, {
                                           {"Exif.Image.Make", "Canon"},
                                           {"Exif.Image.Model", "Canon EOS 5D Mark II"},
                                           {"Exif.Photo.DateTimeOriginal", "2021:07:14 09:30:05"},
                                           {"Exif.Image.DateTime", "2022:01:01 00:00:00"},
                                           {"Exif.Photo.LensModel", "EF 24-105mm f/4L IS USM"},
                                           {"Exif.Photo.ExposureTime", "1/250"},
                                           {"Exif.Photo.FNumber", "56/10"},
                                           {"Exif.Photo.ISOSpeedRatings", "200"},
                                           {"Exif.Photo.FocalLength", "35/1"},
                                           {"Exif.Photo.FocalLengthIn35mmFilm", "52"},
                                           {"Exif.GPSInfo.GPSLatitudeRef", "N"},
                                           {"Exif.GPSInfo.GPSLatitude", "48/1 51/1 30/1"},
                                           {"Exif.GPSInfo.GPSLongitudeRef", "W"},
                                           {"Exif.GPSInfo.GPSLongitude", "2/1 17/1 24/1"},
                                           {"Exif.GPSInfo.GPSAltitudeRef", "0"},
                                           {"Exif.GPSInfo.GPSAltitude", "35/1"},
                                       });
  const ImageMetadata m = ReadImageMetadata(path);
  EXPECT_EQ(m.problem, "");
  EXPECT_EQ(m.name, "photo.jpg");
  EXPECT_EQ(m.folder, dir_.path());
  EXPECT_EQ(m.fileSize, std::filesystem::file_size(path));
  const QSize size = QImageReader(QString::fromStdString(path)).size();
  EXPECT_EQ(m.width, size.width());
  EXPECT_EQ(m.height, size.height());
  EXPECT_EQ(m.format, "JPEG");
  // The original's date, not the file's last edit.
  EXPECT_EQ(m.dateTaken, "2021-07-14 09:30:05");
  EXPECT_EQ(m.cameraMake, "Canon");
  EXPECT_EQ(m.cameraModel, "Canon EOS 5D Mark II");
  EXPECT_EQ(m.lens, "EF 24-105mm f/4L IS USM");
  ASSERT_TRUE(m.exposureTime.has_value());
  EXPECT_EQ(m.exposureTime->numerator, 1);
  EXPECT_EQ(m.exposureTime->denominator, 250);
  ASSERT_TRUE(m.fNumber.has_value());
  EXPECT_DOUBLE_EQ(*m.fNumber, 5.6);
  EXPECT_EQ(m.iso, 200);
  ASSERT_TRUE(m.focalLength.has_value());
  EXPECT_DOUBLE_EQ(*m.focalLength, 35.0);
  EXPECT_EQ(m.focalLength35, 52);
  ASSERT_TRUE(m.gps.has_value());
  EXPECT_NEAR(m.gps->latitude, 48 + 51 / 60.0 + 30 / 3600.0, 1e-9);
  EXPECT_NEAR(m.gps->longitude, -(2 + 17 / 60.0 + 24 / 3600.0), 1e-9);
  ASSERT_TRUE(m.gps->altitude.has_value());
  EXPECT_DOUBLE_EQ(*m.gps->altitude, 35.0);
  EXPECT_FALSE(m.rim.has_value());
  EXPECT_EQ(ReadDateTaken(path), 20210714093005);
}

TEST_F(ImageMetadataTest, APictureWithoutMetadataHasItsSizeAndFormatOnly) {
  const std::string path = dir_.file("plain.png");
  QImage picture(30, 20, QImage::Format_RGB32);
  picture.fill(Qt::darkGreen);
  ASSERT_TRUE(picture.save(QString::fromStdString(path)));
  const ImageMetadata m = ReadImageMetadata(path);
  EXPECT_EQ(m.width, 30);
  EXPECT_EQ(m.height, 20);
  EXPECT_EQ(m.format, "PNG");
  EXPECT_EQ(m.dateTaken, "");
  EXPECT_EQ(m.cameraModel, "");
  EXPECT_FALSE(m.exposureTime || m.fNumber || m.iso || m.focalLength || m.gps || m.rim);
  EXPECT_EQ(ReadDateTaken(path), 0);
}

TEST_F(ImageMetadataTest, TurnedPhotographsTellTheSizeTheyAreShownAt) {
  const std::string path = photograph();
  testing_support::tagOrientation(path, 6);
  const QSize stored =
      QImage(QString::fromStdString(testing_support::examplesPath("dune.jpg"))).size();
  const ImageMetadata m = ReadImageMetadata(path);
  EXPECT_EQ(m.width, stored.height());
  EXPECT_EQ(m.height, stored.width());
}

TEST_F(ImageMetadataTest, FilesThatCannotBeReadGiveWhatIsKnown) {
  const ImageMetadata missing = ReadImageMetadata(dir_.file("missing.jpg"));
  EXPECT_NE(missing.problem, "");
  EXPECT_EQ(missing.name, "missing.jpg");
  EXPECT_EQ(ReadDateTaken(dir_.file("missing.jpg")), 0);

  // Not a picture at all, under picture names.
  for (const char* name : {"garbage.jpg", "garbage.rim", "garbage.webp"}) {
    const std::string path = dir_.file(name);
    testing_support::writeFileBytes(path, "not a picture, only words");
    const ImageMetadata m = ReadImageMetadata(path);
    EXPECT_EQ(m.problem, "") << name;
    EXPECT_EQ(m.fileSize, 25u) << name;
    EXPECT_EQ(m.width, 0) << name;
    EXPECT_EQ(m.dateTaken, "") << name;
    EXPECT_FALSE(m.rim.has_value()) << name;
    EXPECT_EQ(ReadDateTaken(path), 0) << name;
  }
}

TEST_F(ImageMetadataTest, RimFilesTellTheirHeaderAndSections) {
  testing_support::SmallRimOptions options;
  options.colorSpace = 1;
  options.patchWidth = 4;
  options.patchHeight = 2;
  options.dimension = 6;
  options.width = 21;
  options.height = 9;
  const std::string path = dir_.file("small.rim");
  ASSERT_EQ(testing_support::writeSmallRim(path, options), status::Success);
  const ImageMetadata m = ReadImageMetadata(path);
  EXPECT_EQ(m.format, "RIM");
  EXPECT_EQ(m.width, 21);
  EXPECT_EQ(m.height, 9);
  ASSERT_TRUE(m.rim.has_value());
  EXPECT_EQ(m.rim->colorSpace, 1);
  EXPECT_EQ(m.rim->learningMethod, 0);
  EXPECT_EQ(m.rim->patchWidth, 4u);
  EXPECT_EQ(m.rim->patchHeight, 2u);
  EXPECT_EQ(m.rim->dimension, 6u);
  // The three sections and the 44-byte header make the whole file.
  const std::uint64_t sections =
      std::uint64_t{m.rim->sectionSizes[0]} + m.rim->sectionSizes[1] + m.rim->sectionSizes[2];
  EXPECT_GT(m.rim->sectionSizes[0], 40u);
  EXPECT_EQ(sections + 44, m.fileSize);

  // Cut short: the header still tells, the sections do not.
  const std::string bytes = testing_support::readFileBytes(path);
  const std::string cut = dir_.file("cut.rim");
  testing_support::writeFileBytes(cut, bytes.substr(0, bytes.size() - 10));
  const ImageMetadata damaged = ReadImageMetadata(cut);
  ASSERT_TRUE(damaged.rim.has_value());
  EXPECT_EQ(damaged.rim->dimension, 6u);
  EXPECT_EQ(damaged.rim->sectionSizes[0], 0u);
  EXPECT_EQ(damaged.rim->sectionSizes[2], 0u);
}

// Which of the usual tags gives the date taken.
struct DateCase {
  const char* name;
  std::vector<ExifTag> tags;
  std::int64_t expected;
};

void PrintTo(const DateCase& c, std::ostream* out) { *out << c.name; }

class DateTakenTest : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateTakenTest, BestTagFirst) {
  TempDir dir;
  const std::string path = dir.file("p.jpg");
  writePhotograph(path);
  testing_support::writeExifTags(path, GetParam().tags);
  EXPECT_EQ(ReadDateTaken(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tags, DateTakenTest,
    ::testing::Values(
        DateCase{"OriginalBeforeDigitized",
                 {{"Exif.Photo.DateTimeDigitized", "2020:02:02 02:02:02"},
                  {"Exif.Photo.DateTimeOriginal", "2019:01:01 01:01:01"}},
                 20190101010101},
        DateCase{"DigitizedBeforeLastEdit",
                 {{"Exif.Image.DateTime", "2023:03:03 03:03:03"},
                  {"Exif.Photo.DateTimeDigitized", "2020:02:02 02:02:02"}},
                 20200202020202},
        DateCase{"LastEditAlone", {{"Exif.Image.DateTime", "2023:03:03 03:03:03"}}, 20230303030303},
        DateCase{"BlankOriginalPassedOver",
                 {{"Exif.Photo.DateTimeOriginal", "    :  :     :  :  "},
                  {"Exif.Image.DateTime", "2023:03:03 03:03:03"}},
                 20230303030303},
        DateCase{"NoDate", {{"Exif.Image.Make", "Nikon"}}, 0}),
    [](const ::testing::TestParamInfo<DateCase>& p) { return std::string(p.param.name); });

TEST(DateNumber, TheDatesOfExifAndXmp) {
  const std::pair<const char*, std::int64_t> table[] = {
      {"2008:01:22 03:28:22", 20080122032822},
      {"2008-01-22T03:28:22+01:00", 20080122032822},
      {"2008-01-22T03:28", 20080122032800},
      {"2008:01:22", 20080122000000},
      {"1999:12:31 23:59:60", 19991231235960},
      {"", 0},
      {"    :  :     :  :  ", 0},
      {"0000:00:00 00:00:00", 0},
      {"2008:13:01 00:00:00", 0},
      {"2008:01:32 00:00:00", 0},
      {"2008:01:22 24:00:00", 0},
      {"2008:01:22 10:60:00", 0},
      {"2008:1:22", 0},
      {"yesterday", 0},
  };
  for (const auto& [text, number] : table) EXPECT_EQ(DateNumber(text), number) << text;
}

}  // namespace
