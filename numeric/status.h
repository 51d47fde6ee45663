// Status codes shared by every layer: a small non-negative integer, 0 for
// success. The numeric core returns them from learning; the codec adds the
// message table (codec/status.h).
#pragma once

#include <cstdint>

using Status = std::int32_t;

namespace status {
constexpr Status Success = 0;
constexpr Status AlreadyLaunched = 1;
constexpr Status BufferEmpty = 2;
constexpr Status BufferShort = 3;
constexpr Status OutOfRange = 4;
constexpr Status LoadCacheFailed = 5;
constexpr Status StoreCacheFailed = 6;
constexpr Status NoMemory = 7;
constexpr Status CannotOpenFile = 8;
constexpr Status CompressFailed = 9;
constexpr Status LoadParametersFailed = 10;
constexpr Status StoreParametersFailed = 11;
constexpr Status DecompressFailed = 12;
constexpr Status DividedByZero = 13;
constexpr Status ReadFailed = 14;
constexpr Status WriteFailed = 15;
constexpr Status UnsupportedVersion = 16;
constexpr Status InconsistentParameters = 17;
constexpr Status InvalidArguments = 18;
constexpr Status InvalidConfig = 19;
constexpr Status InvalidConfigValue = 20;
constexpr Status InvalidFileType = 21;
constexpr Status InvalidValues = 22;
constexpr Status NotReady = 23;
constexpr Status CannotCreateProcess = 24;
constexpr Status NotRimFile = 25;
constexpr Status NotImplemented = 26;
constexpr Status UnsupportedColorSpace = 27;
constexpr Status NoQueryImage = 28;
constexpr Status Canceled = 29;
constexpr Status UnknownError = 30;
constexpr Status ValueNotFound = 31;
constexpr Status TimedOut = 32;
constexpr Status PlatformError = 33;

constexpr Status Count = 34;  // number of codes with a fixed message
}  // namespace status
