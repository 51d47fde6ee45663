#include "shell/image_info.h"

#include <QLocale>
#include <cmath>

#include "shell/folim_doc.h"
#include "shell/native_path.h"

namespace {

QString number(double v, int precision = 3) { return QString::number(v, 'g', precision); }

QString bytesText(std::uint64_t bytes) {
  const QLocale locale;
  const auto n = static_cast<qint64>(bytes);
  if (n < 1000) return CImageInfo::tr("%1 bytes").arg(n);
  return CImageInfo::tr("%1 (%2 bytes)")
      .arg(locale.formattedDataSize(n, 1, QLocale::DataSizeSIFormat), locale.toString(n));
}

// "Canon EOS 5D" rather than "Canon Canon EOS 5D".
QString cameraText(const ImageMetadata& m) {
  const QString make = QString::fromStdString(m.cameraMake).trimmed();
  const QString model = QString::fromStdString(m.cameraModel).trimmed();
  if (make.isEmpty() || model.isEmpty()) return make + model;
  if (model.startsWith(make.section(QLatin1Char(' '), 0, 0), Qt::CaseInsensitive)) return model;
  return make + QLatin1Char(' ') + model;
}

QString colorSpaceName(std::uint16_t id) {
  switch (id) {
    case 0:
      return QStringLiteral("RGB");
    case 1:
      return QStringLiteral("YCC");
    case 2:
      return QStringLiteral("HSV");
    default:
      return QString::number(id);
  }
}

void addRim(const RimFacts& rim, QList<InfoRow>& rows) {
  rows.append({CImageInfo::tr("Colour space"), colorSpaceName(rim.colorSpace)});
  rows.append({CImageInfo::tr("Patch"),
               CImageInfo::tr("%1 × %2 pixels").arg(rim.patchWidth).arg(rim.patchHeight)});
  rows.append({CImageInfo::tr("Dimension"), QString::number(rim.dimension)});
  rows.append({CImageInfo::tr("Bases"),
               rim.learningMethod == 1 ? CImageInfo::tr("ICA") : CImageInfo::tr("PCA")});
  if (rim.sectionSizes[0] == 0) return;
  rows.append({CImageInfo::tr("Averages section"), bytesText(rim.sectionSizes[0])});
  rows.append({CImageInfo::tr("Bases section"), bytesText(rim.sectionSizes[1])});
  rows.append({CImageInfo::tr("Coefficients section"), bytesText(rim.sectionSizes[2])});
}

}  // namespace

QString ExposureText(const ExifRational& seconds) {
  const double value = static_cast<double>(seconds.numerator) / seconds.denominator;
  // 1/250 s as photographers write it; 0.3 s and 2 s as they are.
  if (value < 1 && seconds.numerator > 0 && seconds.denominator % seconds.numerator == 0)
    return CImageInfo::tr("1/%1 s").arg(seconds.denominator / seconds.numerator);
  return CImageInfo::tr("%1 s").arg(number(value));
}

QString GpsText(const GpsPosition& position) {
  const QString latitude = CImageInfo::tr("%1° %2").arg(
      QString::number(std::fabs(position.latitude), 'f', 5),
      position.latitude < 0 ? CImageInfo::tr("S") : CImageInfo::tr("N"));
  const QString longitude = CImageInfo::tr("%1° %2").arg(
      QString::number(std::fabs(position.longitude), 'f', 5),
      position.longitude < 0 ? CImageInfo::tr("W") : CImageInfo::tr("E"));
  QString text = latitude + QStringLiteral(", ") + longitude;
  if (position.altitude)
    text += QStringLiteral(", ") + CImageInfo::tr("%1 m").arg(std::lround(*position.altitude));
  return text;
}

QList<InfoRow> DescribePicture(const ImageMetadata& m) {
  QList<InfoRow> rows;
  const auto add = [&rows](const QString& label, const QString& value) {
    if (!value.isEmpty()) rows.append({label, value});
  };
  add(CImageInfo::tr("Name"), fromNativePath(m.name));
  add(CImageInfo::tr("Folder"), fromNativePath(m.folder));
  if (!m.problem.empty()) {
    add(CImageInfo::tr("Cannot be read"), fromNativePath(m.problem));
    return rows;
  }
  add(CImageInfo::tr("File size"), bytesText(m.fileSize));
  if (m.width > 0 && m.height > 0)
    add(CImageInfo::tr("Dimensions"),
        CImageInfo::tr("%1 × %2 pixels (%3 megapixels)")
            .arg(m.width)
            .arg(m.height)
            .arg(number(m.width * static_cast<double>(m.height) / 1e6, 2)));
  add(CImageInfo::tr("Format"), QString::fromStdString(m.format));
  add(CImageInfo::tr("Date taken"), QString::fromStdString(m.dateTaken));
  add(CImageInfo::tr("Camera"), cameraText(m));
  add(CImageInfo::tr("Lens"), QString::fromStdString(m.lens));
  if (m.exposureTime) add(CImageInfo::tr("Exposure time"), ExposureText(*m.exposureTime));
  if (m.fNumber) add(CImageInfo::tr("Aperture"), QStringLiteral("f/") + number(*m.fNumber, 2));
  if (m.iso) add(CImageInfo::tr("ISO"), QString::number(*m.iso));
  if (m.focalLength) {
    QString focal = CImageInfo::tr("%1 mm").arg(number(*m.focalLength));
    if (m.focalLength35)
      focal += QLatin1Char(' ') + CImageInfo::tr("(%1 mm on 35 mm film)").arg(*m.focalLength35);
    add(CImageInfo::tr("Focal length"), focal);
  }
  if (m.gps) add(CImageInfo::tr("GPS position"), GpsText(*m.gps));
  if (m.rim) addRim(*m.rim, rows);
  return rows;
}

CImageInfo::CImageInfo(CFolimDoc& doc, QObject* parent) : QObject(parent), doc_(doc) {
  connect(&doc_, &CFolimDoc::currentImageChanged, this, [this](const QString& path) {
    if (active_) read(path);
  });
}

void CImageInfo::SetActive(bool active) {
  active_ = active;
  if (active_ && path_ != doc_.currentPath()) read(doc_.currentPath());
}

void CImageInfo::read(const QString& path) {
  path_ = path;
  rows_ =
      path.isEmpty() ? QList<InfoRow>() : DescribePicture(ReadImageMetadata(toNativePath(path)));
  emit changed();
}
