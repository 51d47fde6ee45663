// File names cross between Qt strings and the byte strings of the libraries
// in the file system's own encoding, so that any name on disk survives.
//
// Qt reads a name as UTF-8 and turns every byte that is not part of valid
// UTF-8 into U+FFFD, after which no file on disk bears the name any more.
// Here such a byte b becomes the lone low surrogate U+DC00 + b (b is 0x80 or
// more), which decoding valid UTF-8 never gives, and turns back into b: a
// name goes into a QString and comes out as the very bytes it was.
#pragma once

#include <QString>
#include <string>

class QUrl;

std::string toNativePath(const QString& path);

QString fromNativePath(const std::string& path);

// The path of a file:// URL, its escapes (%E9 among them) taken as the bytes
// they stand for; empty when the URL names no local file.
QString fromLocalFileUrl(const QUrl& url);
// The file:// URL of path, every byte of its name escaped as it is on disk.
QUrl toLocalFileUrl(const QString& path);
