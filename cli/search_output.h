// How folim-cli search prints one ranked candidate. Each format keeps one
// candidate per record whatever bytes its path holds:
//   lines  "<score> <edge> <colour> <path>\n", numbers as %.6f; in the path a
//          backslash is written "\\" and a control byte as "\n", "\t", "\r"
//          or "\xHH", so no name can start a line of its own;
//   null   the same fields with the path as it is, the record ended by NUL;
//   json   one object per line: {"score":..,"edge":..,"colour":..,"path":".."},
//          a byte that is not UTF-8 written as the escape \udcXX (what
//          Python's surrogateescape decoding gives), a number that is not
//          finite as null.
#pragma once

#include <iosfwd>
#include <string>

#include "retrieval/search.h"

namespace cli {

enum class SearchFormat { Lines, Null, Json };

// The path as the lines format writes it.
std::string escapePathForLine(const std::string& path);
// The bytes as a JSON string literal, quotes included.
std::string jsonString(const std::string& bytes);

void printSearchCandidate(std::ostream& out, const ImageEntry& candidate, SearchFormat format);

}  // namespace cli
