// Reading of Windows-style INI files (config.ini): sections in brackets,
// key=value lines, ';' or '#' comment lines. Section and key names compare
// without regard to case, surrounding blanks are trimmed, and the first
// occurrence of a key wins. Any bytes are accepted; nothing is ever read past
// a buffer, and files larger than kMaxIniBytes are read only up to that size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace platform {

inline constexpr std::size_t kMaxIniBytes = 1u << 20;

// The value of key in section, or nothing when the file cannot be opened or
// the key is missing.
std::optional<std::string> iniValue(const std::string& path, const std::string& section,
                                    const std::string& key);

// Like GetPrivateProfileString: the value (or defaultValue when missing),
// cut to bufferSize - 1 characters.
std::string iniGetString(const std::string& section, const std::string& key,
                         const std::string& defaultValue, std::size_t bufferSize,
                         const std::string& path);

// Like GetPrivateProfileInt: defaultValue when the key is missing; otherwise
// the leading decimal integer of the value (optional sign), 0 when the value
// does not start with a number; values beyond 32 bits wrap like a C cast.
std::int32_t iniGetInt(const std::string& section, const std::string& key,
                       std::int32_t defaultValue, const std::string& path);

}  // namespace platform
