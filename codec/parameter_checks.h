// The checks the encoder makes of a set of conversion parameters before it
// takes them over, each naming the config.ini key whose value it refuses,
// so that a refusal can say which key and value caused it.
#pragma once

#include <string>

#include "codec/parameters.h"
#include "codec/status.h"

struct ParameterFault {
  Status status = status::Success;  // status::Success when the records are usable
  const char* section = "";         // the key's section in config.ini
  const char* key = "";
  std::string value;  // as the parameter dump prints it
  std::string rule;   // what the value would have to be
};

// The first fault of the records, in the order the encoder meets them: a
// dimension larger than the patch holds (status::InconsistentParameters),
// then values out of the coder's ranges (status::InvalidConfigValue).
ParameterFault findParameterFault(const CommonParameters& common,
                                  const LearningParameters& learning,
                                  const CompressionParameters& compression);

// "[Compression] CoeffQuantizeStep = -5: must be at least 1", or, when
// configFile names a readable file that lacks the key, "[Common] PatchWidth
// is missing from FILE". Empty for a record without fault.
std::string describeParameterFault(const ParameterFault& fault, const std::string& configFile);
