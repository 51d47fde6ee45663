// What the tests of the document and its view-models share: one
// QCoreApplication for the whole program (no GUI at all), the signature
// index and thumbnail cache in a temporary folder, and waiting for the
// background work to arrive.
#pragma once

#include "support/qt_events.h"

namespace document_testing {

using testing_support::waitUntil;

}  // namespace document_testing
