#include "shell/native_path.h"

#include <QByteArray>
#include <QUrl>
#include <cstddef>

namespace {

// The length of the valid UTF-8 sequence at s (left bytes available), or 0
// when s does not start one: no overlong forms, no surrogates, nothing above
// U+10FFFF.
std::size_t validSequenceLength(const unsigned char* s, std::size_t left) {
  const unsigned char lead = s[0];
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || s[1] < low || s[1] > high) return 0;
  for (std::size_t k = 2; k < length; ++k)
    if (s[k] < 0x80 || s[k] > 0xBF) return 0;
  return length;
}

constexpr char16_t kEscapeBase = 0xDC00;

}  // namespace

QString fromNativePath(const std::string& path) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(path.data());
  const std::size_t size = path.size();
  QString out;
  out.reserve(static_cast<qsizetype>(size));
  std::size_t runStart = 0;
  const auto flush = [&](std::size_t end) {
    if (end > runStart)
      out += QString::fromUtf8(path.data() + runStart, static_cast<qsizetype>(end - runStart));
  };
  for (std::size_t i = 0; i < size;) {
    const std::size_t length = validSequenceLength(bytes + i, size - i);
    if (length != 0) {
      i += length;
      continue;
    }
    flush(i);
    out += QChar(static_cast<char16_t>(kEscapeBase + bytes[i]));
    runStart = ++i;
  }
  flush(size);
  return out;
}

std::string toNativePath(const QString& path) {
  std::string out;
  out.reserve(static_cast<std::size_t>(path.size()));
  qsizetype runStart = 0;
  const auto flush = [&](qsizetype end) {
    if (end > runStart) out += path.mid(runStart, end - runStart).toUtf8().toStdString();
  };
  for (qsizetype i = 0; i < path.size(); ++i) {
    const char16_t c = path[i].unicode();
    // The low half of a surrogate pair is a character's, not an escape.
    const bool paired = i > 0 && QChar::isHighSurrogate(path[i - 1].unicode());
    if (c < kEscapeBase + 0x80 || c > kEscapeBase + 0xFF || paired) continue;
    flush(i);
    out += static_cast<char>(c - kEscapeBase);
    runStart = i + 1;
  }
  flush(path.size());
  return out;
}

QString fromLocalFileUrl(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  const QByteArray encoded = url.path(QUrl::FullyEncoded).toLatin1();
  return fromNativePath(QByteArray::fromPercentEncoding(encoded).toStdString());
}

QUrl toLocalFileUrl(const QString& path) {
  const QByteArray bytes = QByteArray::fromStdString(toNativePath(path));
  return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
}
