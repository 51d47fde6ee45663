#include "cli/search_output.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace cli {
namespace {

std::string hexEscape(const char* prefix, unsigned byte) {
  char text[12];
  std::snprintf(text, sizeof text, "%s%02x", prefix, byte & 0xFFu);
  return text;
}

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none
// (overlong forms and surrogates included).
std::size_t utf8Length(const std::string& text, std::size_t i) {
  const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char b = at(i);
  std::size_t n = 0;
  unsigned min = 0;
  unsigned code = 0;
  if (b < 0x80) return 1;
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
    min = 0x80;
    code = b & 0x1Fu;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    min = 0x800;
    code = b & 0x0Fu;
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    min = 0x10000;
    code = b & 0x07u;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (std::size_t k = 1; k < n; ++k) {
    if ((at(i + k) & 0xC0u) != 0x80u) return 0;
    code = (code << 6) | (at(i + k) & 0x3Fu);
  }
  if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return n;
}

std::string number(double value) {
  char text[64];
  std::snprintf(text, sizeof text, "%.6f", value);
  return text;
}

std::string jsonNumber(double value) { return std::isfinite(value) ? number(value) : "null"; }

}  // namespace

std::string escapePathForLine(const std::string& path) {
  std::string out;
  out.reserve(path.size());
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += hexEscape("\\x", byte);
    } else {
      out += c;
    }
  }
  return out;
}

std::string jsonString(const std::string& bytes) {
  std::string out = "\"";
  for (std::size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const std::size_t n = utf8Length(bytes, i);
    if (n == 0) {
      out += hexEscape("\\udc", byte);
      ++i;
      continue;
    }
    if (n > 1) {
      out.append(bytes, i, n);
    } else if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += hexEscape("\\u00", byte);
    } else {
      out += static_cast<char>(byte);
    }
    i += n;
  }
  return out + "\"";
}

void printSearchCandidate(std::ostream& out, const ImageEntry& c, SearchFormat format) {
  switch (format) {
    case SearchFormat::Lines:
      out << number(c.score) << ' ' << number(c.edgeSimilarity) << ' ' << number(c.colorSimilarity)
          << ' ' << escapePathForLine(c.path) << '\n';
      break;
    case SearchFormat::Null:
      out << number(c.score) << ' ' << number(c.edgeSimilarity) << ' ' << number(c.colorSimilarity)
          << ' ' << c.path << '\0';
      break;
    case SearchFormat::Json:
      out << "{\"score\":" << jsonNumber(c.score) << ",\"edge\":" << jsonNumber(c.edgeSimilarity)
          << ",\"colour\":" << jsonNumber(c.colorSimilarity) << ",\"path\":" << jsonString(c.path)
          << "}\n";
      break;
  }
}

}  // namespace cli
