// Opening files for reading only when they are regular files. A FIFO, a
// device or a socket that carries an image or configuration name would
// block the open (or every read) for ever; such a file is refused at once.
#pragma once

#include <cstdio>
#include <string>

namespace platform {

// The reason given for a file that exists but is no regular file.
inline constexpr const char* kNotRegularFile = "is not a regular file";

// A read-only descriptor of path, or -1 when it cannot be opened or is not a
// regular file; why (when given) then receives the reason.
int openRegularFile(const std::string& path, std::string* why = nullptr);

// The same as a C stream opened "rb"; nullptr on failure.
std::FILE* openRegularStream(const std::string& path, std::string* why = nullptr);

// True when path names an existing file that is not regular (a FIFO, a
// device, a socket or a folder), found without opening it.
bool existsButIsNotRegular(const std::string& path);

}  // namespace platform
