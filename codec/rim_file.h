// A C file handle that closes itself, for the codec's one-operation files.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/regular_file.h"

struct RimFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using RimFile = std::unique_ptr<std::FILE, RimFileCloser>;

// Files are read only when they are regular files: a FIFO or a device under
// a RIM name would block a search or a conversion for ever.
inline RimFile openRimFile(const std::string& path, const char* mode) {
  if (mode[0] == 'r' && mode[1] != '+') return RimFile(platform::openRegularStream(path));
  return RimFile(std::fopen(path.c_str(), mode));
}
