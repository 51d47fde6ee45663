// The checks of input and output paths that every image command shares,
// with clear messages, and the status line of a failed decoding.
#pragma once

#include <string>

#include "codec/status.h"

namespace cli {

// Why path cannot serve as an input file ("" when it can be opened and is a
// non-empty regular file): missing, a folder, not a regular file, empty,
// unreadable.
std::string inputFileProblem(const std::string& path);

// Why path cannot be written as an output file (""  when it can be tried):
// its folder is missing or is not a folder, or path names a folder, or a
// device, FIFO or socket that an output never replaces.
std::string outputFileProblem(const std::string& path);

// outputFileProblem, or "the output would overwrite the input" when output
// names the same file as input.
std::string outputProblemFor(const std::string& input, const std::string& output);

// Why path cannot serve as a folder ("" when it is one).
std::string folderProblem(const std::string& path);

// True when the two paths name the same file (the second may not exist).
bool sameFile(const std::string& a, const std::string& b);

// Why a --config FILE cannot be read ("" when it can). A file named on the
// command line must be there: a misspelt name would otherwise convert with
// the defaults without a word. A file that is not a readable regular file (a
// FIFO would block) is refused too.
std::string configFileProblem(const std::string& path);

// Why a --bases FILE cannot be used ("" when it can): it may be missing (the
// learned bases are then stored in it) or a readable bases file; anything
// else is refused, so that no other file is ever written over.
std::string basesFileProblem(const std::string& path);

// A status message on one line, with a hint for the statuses a wrong input
// gives ("Invalid file type. (not a RIM file)").
std::string statusLine(Status code);

}  // namespace cli
