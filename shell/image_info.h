// The information panel without its widget: the rows (label, value) that
// tell what the current picture is, read again whenever the current picture
// changes, but only while the panel is shown.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include "imageio/image_metadata.h"

class CFolimDoc;

struct InfoRow {
  QString label;
  QString value;
};

// The rows of a picture's metadata, in the panel's order; what is unknown
// is left out.
QList<InfoRow> DescribePicture(const ImageMetadata& metadata);

// Texts of single values, as the rows show them.
QString ExposureText(const ExifRational& seconds);
QString GpsText(const GpsPosition& position);

class CImageInfo : public QObject {
  Q_OBJECT

 public:
  explicit CImageInfo(CFolimDoc& doc, QObject* parent = nullptr);

  // While inactive nothing is read; becoming active reads the current
  // picture.
  void SetActive(bool active);
  bool isActive() const { return active_; }
  // The picture described (empty when none is current) and its rows.
  const QString& path() const { return path_; }
  const QList<InfoRow>& rows() const { return rows_; }

 signals:
  void changed();

 private:
  void read(const QString& path);

  CFolimDoc& doc_;
  bool active_ = false;
  QString path_;
  QList<InfoRow> rows_;
};
