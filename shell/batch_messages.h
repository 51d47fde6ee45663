// The batch conversions' texts (shared with the command line, which prints
// them as they are) in the window's language.
#pragma once

#include <QString>
#include <string>

// text with every known message and reason of the conversions translated
// (context "BatchMessages"); names and the codec's own causes stay as they are.
QString translateBatchText(const std::string& text);
