// What the image commands of folim-cli share: checking input and output
// paths with clear messages, loading an input image, the trace target and
// the progress line of the batch commands.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/file_checks.h"
#include "codec/parameters.h"
#include "codec/raster.h"
#include "imageio/image_ex.h"

namespace cli {

// Why a --config FILE cannot be read ("" when it can). A file named on the
// command line must be there: a misspelt name would otherwise convert with
// the defaults without a word. A file that is not a readable regular file (a
// FIFO would block) is refused too.
std::string configFileProblem(const std::string& path);

// Why a --bases FILE cannot be used ("" when it can): it may be missing (the
// learned bases are then stored in it) or a readable bases file; anything
// else is refused, so that no other file is ever written over.
std::string basesFileProblem(const std::string& path);

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
