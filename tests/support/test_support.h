// Helpers shared by the tests.
#pragma once

#include <cstddef>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

// Path of a file under tests/data.
std::string dataPath(const std::string& name);
// Path of a photograph of the bundled corpus (tests/data/corpus).
std::string corpusPath(const std::string& name);
// The photographs of the corpus (JPEG files only, sorted by name).
std::vector<std::string> corpusPhotographs();
// Path of a file under examples/.
std::string examplesPath(const std::string& name);
// Copies example photographs into dir under new names, p100.jpg, p101.jpg,
// ..., JPEG and PNG files in turn, each with its own extension.
void copyExamplePhotos(const std::string& dir, int copies);
// Path of a built program (build/bin).
std::string binPath(const std::string& name);

// A fresh temporary directory, removed with everything in it on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Redirects the codec trace into a string for the lifetime of the object.
class TraceCapture {
 public:
  TraceCapture();
  ~TraceCapture();
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::string text() const { return stream_.str(); }

 private:
  std::ostringstream stream_;
  std::ostream* previous_;
};

std::string readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const std::string& bytes);
// Writes n empty files named prefix000.jpg ... in dir: listed as images,
// but holding none.
void writeUnreadableImages(const std::string& dir, int n, const std::string& prefix = "img");

// How many entries dir holds (files and folders, not looked into).
std::size_t filesIn(const std::string& dir);
// The permission bits of path itself (a link not followed); 0 when it is
// missing.
unsigned modeOf(const std::string& path);
bool contains(const std::string& text, const std::string& part);
// Whether the tests run as root, who may read and write anything.
bool runningAsRoot();

// Inserts an EXIF orientation tag (1 to 8) after the start marker of the
// JPEG at path.
void tagOrientation(const std::string& path, int orientation);

}  // namespace testing_support
