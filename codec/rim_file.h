// A C file handle that closes itself, for the codec's one-operation files.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

struct RimFileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using RimFile = std::unique_ptr<std::FILE, RimFileCloser>;

inline RimFile openRimFile(const std::string& path, const char* mode) {
  return RimFile(std::fopen(path.c_str(), mode));
}
