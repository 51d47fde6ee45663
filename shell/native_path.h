// File names cross between Qt strings and the byte strings of the libraries
// in the file system's own encoding, so that any name on disk survives.
#pragma once

#include <QFile>
#include <QString>
#include <string>

inline std::string toNativePath(const QString& path) {
  return QFile::encodeName(path).toStdString();
}

inline QString fromNativePath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}
