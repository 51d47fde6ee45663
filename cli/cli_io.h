// What the image commands of folim-cli share: checking input and output
// paths with clear messages, loading an input image, the trace target and
// the progress line of the batch commands.
#pragma once

#include <iosfwd>
#include <string>

#include "codec/parameters.h"
#include "codec/raster.h"
#include "imageio/image_ex.h"

namespace cli {

// Why path cannot serve as an input file ("" when it can be opened and is a
// non-empty regular file): missing, a folder, not a regular file, empty,
// unreadable.
std::string inputFileProblem(const std::string& path);

// Why path cannot be written as an output file (""  when it can be tried):
// its folder is missing or is not a folder, or path names a folder.
std::string outputFileProblem(const std::string& path);

// Why a --config FILE cannot be read ("" when it can, or when none was
// given). A missing file gives the defaults, as config.ini beside the
// program does; a file that exists but is not a readable regular file (a
// FIFO would block) is refused.
std::string configFileProblem(const std::string& path);

// Why a --bases FILE cannot be used ("" when it can): it may be missing (the
// learned bases are then stored in it) or a readable bases file; anything
// else is refused, so that no other file is ever written over.
std::string basesFileProblem(const std::string& path);

// Why path cannot serve as a folder ("" when it is one).
std::string folderProblem(const std::string& path);

// True when the two paths name the same file (the second may not exist).
bool sameFile(const std::string& a, const std::string& b);

// A status message on one line, with a hint for the statuses a wrong input
// gives ("Invalid file type. (not a RIM file)").
std::string statusLine(Status code);

// Loads an input image: RIM files (by name) through the decoder, other
// files through the image library. On failure writes one line to err,
// prefixed by prefix, and returns false.
bool loadInputImage(const std::string& path, CImageEx& image, const std::string& prefix,
                    std::ostream& err);

// The learning-method option ("pca" or "ica", any case) as the batch job's
// "PCA" or "ICA"; "" for anything else.
std::string methodChoice(const std::string& text);
// "PCA": MaxIterations 0; "ICA": 100 when it is 0; "" leaves it as it is.
void applyMethod(const std::string& method, LearningParameters& learning);

// "\r[3/12] name" on standard error, only when err is standard error and
// that is a terminal; finish() ends the line if one was drawn. When the trace
// is printed too, each counter gets a line of its own instead.
class ProgressLine {
 public:
  ProgressLine(std::ostream& err, bool inPlace);
  void show(std::size_t index, std::size_t total, const std::string& name);
  void finish();

 private:
  std::ostream& err_;
  bool enabled_;
  bool inPlace_;
  bool drawn_ = false;
};

}  // namespace cli
