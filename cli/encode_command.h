// folim-cli encode: one image file to one RIM file. The reading of the
// input is handed in, so that the program can encode the files it reads
// without the image library (plain PPM files) and leave every other file to
// the full command set.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "codec/parameters.h"
#include "codec/raster.h"

namespace cli {

// How the input image is inspected and read.
class EncoderInput {
 public:
  virtual ~EncoderInput() = default;
  // A RIM file (the decoder reads it; it is not refused from its header).
  virtual bool isRim(const std::string& path) const = 0;
  // The size its header announces; false when it is not known.
  virtual bool readSize(const std::string& path, int& width, int& height) const = 0;
  // Why its data cannot be decoded whole ("" when it can).
  virtual std::string damage(const std::string& path) const = 0;
  // Reads it into image(); on failure writes one line to err, prefixed by
  // prefix, and returns false.
  virtual bool load(const std::string& path, const std::string& prefix, std::ostream& err) = 0;
  virtual const CImage& image() const = 0;
};

// The encode command with input as its reader.
int encodeWith(Invocation& inv, EncoderInput& input);

// The command's arguments split as it reads them.
ParsedArgs parseEncodeArgs(const std::vector<std::string>& args);

// The encode command's entry in a command table, running with run.
Command encodeCommand(int (*run)(Invocation&));

// The learning-method option ("pca" or "ica", any case) as the batch job's
// "PCA" or "ICA"; "" for anything else.
std::string methodChoice(const std::string& text);
// "PCA": MaxIterations 0; "ICA": 100 when it is 0; "" leaves it as it is.
void applyMethod(const std::string& method, LearningParameters& learning);

}  // namespace cli
