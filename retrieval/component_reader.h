// Reading a single component of a RIM file without the rest: the header is
// read and checked, the component sized from it, and only its own section is
// read, straight from the offset the header gives.
#pragma once

#include <string>

#include "codec/components.h"
#include "codec/status.h"

// Which section a retrieval measure reads.
enum class RimSection { Averages, Bases };

// Opens path (8 on failure), reads the header (14 short, 21 another kind),
// checks it against the file's size (22), sizes component from it, seeks to
// the section's offset (14) and reads and decodes the section without
// dequantisation. Returns the first failing status; the file is closed in
// every case. Memory exhaustion anywhere gives 7.
Status ReadRimComponent(const std::string& path, RimSection section, CRIMComponent& component);
