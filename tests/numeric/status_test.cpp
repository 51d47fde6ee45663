#include "numeric/status.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <new>
#include <stdexcept>
#include <type_traits>

#include "numeric/status_guard.h"

// A status is a number of the code's own type and nothing else: a bool or a
// size does not become one, and a status does not become a number unasked.
static_assert(std::is_convertible_v<std::int32_t, Status>);
static_assert(!std::is_convertible_v<bool, Status>);
static_assert(!std::is_convertible_v<std::size_t, Status>);
static_assert(!std::is_convertible_v<Status, bool>);
static_assert(!std::is_convertible_v<Status, std::int32_t>);

namespace {

// The numbers are stored in the index and shown with their messages.
TEST(Status, CodesKeepTheirNumbers) {
  const struct {
    Status code;
    std::int32_t number;
  } cases[] = {
      {status::Success, 0},
      {status::BufferEmpty, 2},
      {status::BufferShort, 3},
      {status::OutOfRange, 4},
      {status::NoMemory, 7},
      {status::CannotOpenFile, 8},
      {status::CompressFailed, 9},
      {status::DecompressFailed, 12},
      {status::DividedByZero, 13},
      {status::ReadFailed, 14},
      {status::WriteFailed, 15},
      {status::UnsupportedVersion, 16},
      {status::InconsistentParameters, 17},
      {status::InvalidArguments, 18},
      {status::InvalidConfig, 19},
      {status::InvalidConfigValue, 20},
      {status::InvalidFileType, 21},
      {status::InvalidValues, 22},
      {status::NotReady, 23},
      {status::UnsupportedColorSpace, 27},
      {status::UnknownError, 30},
      {status::ValueNotFound, 31},
      {status::PlatformError, 33},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.code.code(), c.number);
    EXPECT_EQ(c.code, c.number);
    EXPECT_EQ(::testing::PrintToString(c.code), std::to_string(c.number));
  }
  EXPECT_EQ(Status(), status::Success);
  EXPECT_LT(status::PlatformError, status::Count);
}

Status countedStep(int& calls, Status result) {
  ++calls;
  return result;
}

Status twoSteps(int& calls, Status first, Status second) {
  FOLIM_RETURN_IF_ERROR(countedStep(calls, first));
  FOLIM_RETURN_IF_ERROR(countedStep(calls, second));
  return status::Success;
}

TEST(ReturnIfError, GivesTheFirstFailureAndRunsEachStepOnce) {
  const struct {
    Status first;
    Status second;
    Status result;
    int calls;
  } cases[] = {
      {status::Success, status::Success, status::Success, 2},
      {status::ReadFailed, status::NoMemory, status::ReadFailed, 1},
      {status::Success, status::NoMemory, status::NoMemory, 2},
  };
  for (const auto& c : cases) {
    int calls = 0;
    EXPECT_EQ(twoSteps(calls, c.first, c.second), c.result);
    EXPECT_EQ(calls, c.calls);
  }
}

TEST(GuardStatus, ExhaustedMemoryBecomesNoMemory) {
  EXPECT_EQ(guardStatus([]() -> Status { throw KPX::MatrixException{KPX::kTooFewMemory}; }),
            status::NoMemory);
  EXPECT_EQ(guardStatus([]() -> Status { throw std::bad_alloc(); }), status::NoMemory);
  EXPECT_EQ(guardStatus([] { throw std::bad_array_new_length(); }), status::NoMemory);
}

TEST(GuardStatus, PassesOnTheOperationsOwnStatus) {
  EXPECT_EQ(guardStatus([] { return status::ReadFailed; }), status::ReadFailed);
  int ran = 0;
  EXPECT_EQ(guardStatus([&] { ++ran; }), status::Success);  // nothing to return
  EXPECT_EQ(ran, 1);
}

TEST(GuardStatus, OtherExceptionsAreFaultsThatGoOnUp) {
  EXPECT_THROW(static_cast<void>(guardStatus([] { throw std::logic_error("a fault"); })),
               std::logic_error);
}

}  // namespace
