// Reading one RIM image for Qt: its size from the header, its pixels from
// the decoder, or from the patch averages when a small scaled picture is
// asked for; within Qt's allocation limit.
#pragma once

#include <QImageIOHandler>
#include <QSize>

class RimImageHandler : public QImageIOHandler {
 public:
  bool canRead() const override;
  bool read(QImage* image) override;
  QVariant option(ImageOption option) const override;
  void setOption(ImageOption option, const QVariant& value) override;
  bool supportsOption(ImageOption option) const override;

  // True when the device's next bytes start like a RIM file.
  static bool canRead(QIODevice* device);

 private:
  QSize scaledSize_;
};
