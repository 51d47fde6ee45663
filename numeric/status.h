// Status codes shared by every layer: a small non-negative integer, 0 for
// success. The numeric core returns them from learning; the codec adds the
// message table (codec/status.h).
//
// A status cannot be dropped unnoticed: the type is [[nodiscard]] and
// warnings are errors, so a call whose status is ignored does not build. A
// status ignored on purpose is discarded with static_cast<void> beside a
// comment that says why.
#pragma once

#include <cstdint>
#include <ostream>
#include <type_traits>

class [[nodiscard]] Status {
 public:
  constexpr Status() = default;
  // A number is a status (a test's expected 7), but only one of the code's
  // own type: a bool or a size does not pass for a status. The other way
  // there is no conversion at all: `return status;` in a function that
  // returns bool or int does not build; code() gives the number.
  template <class T, std::enable_if_t<std::is_same_v<T, std::int32_t>, int> = 0>
  constexpr Status(T code) : code_(code) {}

  constexpr std::int32_t code() const { return code_; }

  // With the named codes and with numbers (a test's expected 7); ordered by
  // number, so that 0 <= s < status::Count says s has a message.
  friend constexpr bool operator==(Status a, Status b) { return a.code_ == b.code_; }
  friend constexpr bool operator!=(Status a, Status b) { return a.code_ != b.code_; }
  friend constexpr bool operator<(Status a, Status b) { return a.code_ < b.code_; }
  friend constexpr bool operator<=(Status a, Status b) { return a.code_ <= b.code_; }
  friend constexpr bool operator>(Status a, Status b) { return a.code_ > b.code_; }
  friend constexpr bool operator>=(Status a, Status b) { return a.code_ >= b.code_; }
  // As its number.
  friend std::ostream& operator<<(std::ostream& out, Status s) { return out << s.code_; }

 private:
  std::int32_t code_ = 0;
};

namespace status {
inline constexpr Status Success{0};
inline constexpr Status BufferEmpty{2};
inline constexpr Status BufferShort{3};
inline constexpr Status OutOfRange{4};
inline constexpr Status NoMemory{7};
inline constexpr Status CannotOpenFile{8};
inline constexpr Status CompressFailed{9};
inline constexpr Status DecompressFailed{12};
inline constexpr Status DividedByZero{13};
inline constexpr Status ReadFailed{14};
inline constexpr Status WriteFailed{15};
inline constexpr Status UnsupportedVersion{16};
inline constexpr Status InconsistentParameters{17};
inline constexpr Status InvalidArguments{18};
inline constexpr Status InvalidConfig{19};
inline constexpr Status InvalidConfigValue{20};
inline constexpr Status InvalidFileType{21};
inline constexpr Status InvalidValues{22};
inline constexpr Status NotReady{23};
inline constexpr Status UnsupportedColorSpace{27};
inline constexpr Status UnknownError{30};
inline constexpr Status ValueNotFound{31};
inline constexpr Status PlatformError{33};
// Nothing produces 1, 5, 6, 10, 11, 24, 25, 26, 28, 29 or 32: the numbers
// stay taken and keep their messages, as every number below Count does.

inline constexpr std::int32_t Count = 34;  // number of codes with a fixed message
}  // namespace status

// Returns the status of expr from the enclosing function (one that returns a
// Status) unless it is status::Success.
#define FOLIM_RETURN_IF_ERROR(expr)                           \
  do {                                                        \
    const Status folimStatus_ = (expr);                       \
    if (folimStatus_ != status::Success) return folimStatus_; \
  } while (false)
