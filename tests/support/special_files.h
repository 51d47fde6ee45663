// Files that are not regular files, made where a test wants them: the
// outputs that no writer may replace and the inputs that must never block.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace testing_support {

enum class SpecialFile { Fifo, Socket, CharacterDevice };

inline constexpr SpecialFile kSpecialFiles[] = {SpecialFile::Fifo, SpecialFile::Socket,
                                                SpecialFile::CharacterDevice};

// Why a test cannot make that kind here ("" when it can): a device node
// needs root.
std::string cannotMake(SpecialFile kind);

const char* specialFileName(SpecialFile kind);
// The kind's name as the name of a test in a table over kSpecialFiles.
std::string specialFileTestName(const ::testing::TestParamInfo<SpecialFile>& info);

// Makes a file of that kind at path (a device node with the numbers of
// /dev/null, never a real /dev entry); false when it cannot be made.
bool makeSpecialFile(const std::string& path, SpecialFile kind);

// True when path (not followed if it is a link) is still of that kind.
bool isSpecialFile(const std::string& path, SpecialFile kind);

}  // namespace testing_support
