// The rows of the information panel, without the panel: values written as
// photographers write them, what is unknown left out.
#include "shell/image_info.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(ImageInfoTexts, ValuesAsPhotographersWriteThem) {
  const std::pair<ExifRational, const char*> exposures[] = {
      {{1, 250}, "1/250 s"}, {{10, 2500}, "1/250 s"}, {{3, 10}, "0.3 s"},
      {{2, 1}, "2 s"},       {{1, 1}, "1 s"},         {{15, 10}, "1.5 s"},
  };
  for (const auto& [seconds, text] : exposures)
    EXPECT_EQ(ExposureText(seconds), QString::fromUtf8(text)) << text;

  GpsPosition south;
  south.latitude = -33.856786;
  south.longitude = 151.215296;
  EXPECT_EQ(GpsText(south), QStringLiteral("33.85679° S, 151.21530° E"));
  south.altitude = -12.4;
  EXPECT_EQ(GpsText(south), QStringLiteral("33.85679° S, 151.21530° E, -12 m"));

  // A camera's make is not said twice.
  const std::pair<std::pair<const char*, const char*>, const char*> cameras[] = {
      {{"Canon", "Canon EOS 5D"}, "Canon EOS 5D"},
      {{"NIKON CORPORATION", "NIKON D750"}, "NIKON D750"},
      {{"FUJIFILM", "X-T3"}, "FUJIFILM X-T3"},
      {{"", "X-T3"}, "X-T3"},
      {{"Apple", ""}, "Apple"},
  };
  for (const auto& [camera, text] : cameras) {
    ImageMetadata m;
    m.cameraMake = camera.first;
    m.cameraModel = camera.second;
    m.fileSize = 1;
    QString shown;
    for (const InfoRow& row : DescribePicture(m))
      if (row.label == QStringLiteral("Camera")) shown = row.value;
    EXPECT_EQ(shown, QString::fromUtf8(text)) << text;
  }
}

TEST(ImageInfoRows, WhatIsUnknownIsLeftOutAndAProblemSaysWhy) {
  ImageMetadata m;
  m.name = "p.jpg";
  m.folder = "/pictures";
  m.fileSize = 2500000;
  m.width = 4000;
  m.height = 3000;
  m.format = "JPEG";
  QStringList labels;
  for (const InfoRow& row : DescribePicture(m)) labels << row.label;
  EXPECT_EQ(labels, (QStringList{"Name", "Folder", "File size", "Dimensions", "Format"}));

  ImageMetadata missing;
  missing.name = "gone.jpg";
  missing.folder = "/pictures";
  missing.problem = "No such file or directory";
  const QList<InfoRow> rows = DescribePicture(missing);
  ASSERT_EQ(rows.size(), 3);
  EXPECT_EQ(rows[2].label, QStringLiteral("Cannot be read"));
  EXPECT_EQ(rows[2].value, QStringLiteral("No such file or directory"));
}

}  // namespace
