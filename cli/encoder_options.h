// The encoder options that encode, convert-to-rim and params share:
// --quality, --step, --dimension and --no-rdo.
#pragma once

#include <string>
#include <vector>

#include "cli/cli.h"
#include "codec/encoder_settings.h"

namespace cli {

// Option names for parseArgs: a command's own value options plus these.
std::vector<std::string> withEncoderValueOptions(std::vector<std::string> names);
const std::vector<std::string>& encoderFlagOptions();

// Reads the options into settings; on a bad value returns false with a
// one-line message in error.
bool readEncoderSettings(const ParsedArgs& args, EncoderSettings& settings, std::string& error);

// The usage fragment and the help paragraph of these options.
extern const char* const kEncoderOptionsUsage;
std::string encoderOptionsHelp();

}  // namespace cli
