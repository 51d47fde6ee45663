#include "support/test_support.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "codec/trace.h"

namespace testing_support {

std::string dataPath(const std::string& name) {
  return std::string(FOLIM_TEST_DATA_DIR) + "/" + name;
}

std::string corpusPath(const std::string& name) { return dataPath("corpus/" + name); }

std::vector<std::string> corpusPhotographs() {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dataPath("corpus"))) {
    if (e.path().extension() == ".jpg") names.push_back(e.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string examplesPath(const std::string& name) {
  return std::string(FOLIM_EXAMPLES_DIR) + "/" + name;
}

void copyExamplePhotos(const std::string& dir, int copies) {
  const char* const names[] = {"aqua.jpg", "blinds.jpg", "dune.jpg", "ladybird.png"};
  for (int i = 0; i < copies; ++i) {
    const std::string name = names[i % 4];
    writeFileBytes(dir + "/p" + std::to_string(100 + i) + name.substr(name.size() - 4),
                   readFileBytes(examplesPath(name)));
  }
}

std::string binPath(const std::string& name) { return std::string(FOLIM_BIN_DIR) + "/" + name; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "folim-test-XXXXXX").string();
  char* made = mkdtemp(&pattern[0]);
  if (made == nullptr) ADD_FAILURE() << "cannot create a temporary directory";
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

TraceCapture::TraceCapture() : previous_(setTraceStream(&stream_)) {}
TraceCapture::~TraceCapture() { setTraceStream(previous_); }

std::string readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void writeUnreadableImages(const std::string& dir, int n, const std::string& prefix) {
  for (int i = 0; i < n; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%03d.jpg", prefix.c_str(), i);
    writeFileBytes(dir + "/" + name, "");
  }
}

std::size_t filesIn(const std::string& dir) {
  std::size_t n = 0;
  for (auto it = std::filesystem::directory_iterator(dir);
       it != std::filesystem::directory_iterator(); ++it)
    ++n;
  return n;
}

unsigned modeOf(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

bool runningAsRoot() { return ::geteuid() == 0; }

void tagOrientation(const std::string& path, int orientation) {
  const std::string tiff = std::string("II*\0\x08\0\0\0", 8) + std::string("\x01\0", 2) +
                           std::string("\x12\x01\x03\0\x01\0\0\0", 8) +
                           std::string(1, static_cast<char>(orientation)) + std::string(3, '\0') +
                           std::string(4, '\0');
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  const std::size_t length = payload.size() + 2;
  const std::string app1 = std::string("\xFF\xE1", 2) + static_cast<char>(length >> 8) +
                           static_cast<char>(length & 0xFF) + payload;
  const std::string jpeg = readFileBytes(path);
  writeFileBytes(path, jpeg.substr(0, 2) + app1 + jpeg.substr(2));
}

}  // namespace testing_support
