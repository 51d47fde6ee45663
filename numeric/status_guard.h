// The exception boundary of every layer: the matrix library and the standard
// containers report exhausted memory by throwing, the layers' functions by
// returning status::NoMemory.
#pragma once

#include <new>
#include <type_traits>

#include "numeric/matrix.h"
#include "numeric/status.h"

// Runs operation and returns its status (status::Success for an operation
// that returns nothing); status::NoMemory when it throws KPX::MatrixException
// or std::bad_alloc, the only exceptions the layers raise. Anything else is a
// fault and goes on up.
template <class Operation>
Status guardStatus(Operation&& operation) {
  try {
    if constexpr (std::is_void_v<std::invoke_result_t<Operation&>>) {
      operation();
      return status::Success;
    } else {
      return operation();
    }
  } catch (const KPX::MatrixException&) {
    return status::NoMemory;
  } catch (const std::bad_alloc&) {
    return status::NoMemory;
  }
}
