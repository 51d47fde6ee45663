#include "platform/ini.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iterator>
#include <memory>

#include "platform/regular_file.h"

namespace platform {
namespace {

std::string trim(const std::string& s) {
  std::size_t b = 0;
  std::size_t e = s.size();
  while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
  while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
  return s.substr(b, e - b);
}

bool equalNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

// The file's bytes up to kMaxIniBytes, read in pieces: memory follows what
// the file holds (a config.ini is a few hundred bytes and is read once per
// key), not the cap. Only a regular file is read: a FIFO would block.
std::optional<std::string> readCapped(const std::string& path) {
  struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  const std::unique_ptr<std::FILE, Closer> in(openRegularStream(path));
  if (!in) return std::nullopt;
  std::string content;
  char piece[4096];
  while (content.size() < kMaxIniBytes) {
    const std::size_t want = std::min(sizeof piece, kMaxIniBytes - content.size());
    const std::size_t got = std::fread(piece, 1, want, in.get());
    if (got == 0) break;
    content.append(piece, got);
  }
  return content;
}

}  // namespace

std::optional<std::string> iniValue(const std::string& path, const std::string& section,
                                    const std::string& key) {
  const std::optional<std::string> content = readCapped(path);
  if (!content) return std::nullopt;

  const std::string& text = *content;
  bool inSection = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = trim(text.substr(pos, end - pos));
    pos = end + 1;

    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      const std::size_t close = line.find(']');
      const std::string name =
          trim(close == std::string::npos ? line.substr(1) : line.substr(1, close - 1));
      inSection = equalNoCase(name, section);
      continue;
    }
    if (!inSection) continue;
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (equalNoCase(trim(line.substr(0, eq)), key)) return trim(line.substr(eq + 1));
  }
  return std::nullopt;
}

std::string iniGetString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, std::size_t bufferSize,
                         const std::string& path) {
  std::string value = iniValue(path, section, key).value_or(defaultValue);
  const std::size_t room = bufferSize == 0 ? 0 : bufferSize - 1;
  if (value.size() > room) value.resize(room);
  return value;
}

std::int32_t iniGetInt(const std::string& section, const std::string& key,
                       std::int32_t defaultValue, const std::string& path) {
  const std::optional<std::string> value = iniValue(path, section, key);
  if (!value) return defaultValue;
  const std::string& s = *value;
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  std::uint32_t magnitude = 0;  // wraps modulo 2^32 like a C conversion
  for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
    magnitude = magnitude * 10u + static_cast<std::uint32_t>(s[i] - '0');
  if (negative) magnitude = 0u - magnitude;
  return static_cast<std::int32_t>(magnitude);
}

}  // namespace platform
