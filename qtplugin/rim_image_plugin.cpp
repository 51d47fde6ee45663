#include "qtplugin/rim_image_plugin.h"

#include "numeric/trace.h"
#include "qtplugin/rim_image_handler.h"

RimImagePlugin::RimImagePlugin(QObject* parent) : QImageIOPlugin(parent) {
  // The codec's trace belongs to Folim's own programs; a host program's
  // standard output is not ours to write to. The plugin keeps its own copy
  // of the codec, so this leaves any other user of the trace alone.
  setTraceStream(nullptr);
}

QImageIOPlugin::Capabilities RimImagePlugin::capabilities(QIODevice* device,
                                                          const QByteArray& format) const {
  if (format == "rim") return CanRead;
  // Without a format name the contents decide (a renamed RIM file).
  if (format.isEmpty() && device != nullptr && device->isOpen() && RimImageHandler::canRead(device))
    return CanRead;
  return {};
}

QImageIOHandler* RimImagePlugin::create(QIODevice* device, const QByteArray& format) const {
  auto* handler = new RimImageHandler;
  handler->setDevice(device);
  handler->setFormat(format.isEmpty() ? QByteArray("rim") : format);
  return handler;
}
