// What the image commands of folim-cli share: checking input and output
// paths with clear messages, loading an input image, the trace target and
// the progress line of the batch commands.
#pragma once

#include <iosfwd>
#include <string>

#include "cli/encode_command.h"
#include "cli/file_checks.h"
#include "codec/parameters.h"
#include "codec/raster.h"
#include "imageio/image_ex.h"

namespace cli {

// Loads an input image: RIM files (by name) through the decoder, other
// files through the image library. On failure writes one line to err,
// prefixed by prefix, and returns false.
bool loadInputImage(const std::string& path, CImageEx& image, const std::string& prefix,
                    std::ostream& err);

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
