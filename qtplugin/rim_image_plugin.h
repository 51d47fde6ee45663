// The Qt image format plugin that lets any Qt 6 program read RIM files
// through QImageReader and QImage (format "rim").
#pragma once

#include <QImageIOPlugin>

class RimImagePlugin : public QImageIOPlugin {
  Q_OBJECT
  Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "rim.json")

 public:
  explicit RimImagePlugin(QObject* parent = nullptr);
  Capabilities capabilities(QIODevice* device, const QByteArray& format) const override;
  QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override;
};
