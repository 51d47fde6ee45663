// The signature of a search's query: taken from the index when the index
// holds the file as it is now, else made the way the index makes them.
#pragma once

#include <string>

#include "codec/status.h"
#include "index/refresh.h"
#include "index/signature_index.h"

// path is absolute, as the index keeps paths; params the parameter set's
// key. The index's copy is used when its row is readable and the file is
// unchanged since it was made (its stamp); otherwise source makes it (its
// status is returned, and what it says of a failure in cause when given).
Status QuerySignature(SignatureIndex& index, const std::string& path, const std::string& params,
                      const SignatureSource& source, Signature& signature,
                      std::string* cause = nullptr);
