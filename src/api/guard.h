// The guard every exported function runs in: nothing thrown below crosses
// the exported boundary.
//
// The guard sets the function's provisional failure value first, so that an
// early return leaves a meaningful code, runs the body and, when the body
// throws, sets the code again and answers the function's failure result.
// Running out of memory reports -1 in the functions that create handles
// (their "could not be created"), the provisional value elsewhere.
#pragma once

#include <cstdint>
#include <new>
#include <type_traits>

#include "api/handles.h"

namespace tavelnor::api {

struct Frame {
  int32_t provisional;           // the last error set first and after a throw
  bool out_of_memory_is_create;  // std::bad_alloc reports ZAVL_ERR_CREATE
  bool sets_last_error;          // false: the last error is never touched
};

// Functions with a handle; OpenData and OpenFile; OpenSchema; the special
// path functions, which leave the last error alone.
inline constexpr Frame kHandleFrame{ZAVL_ERR_HANDLE, false, true};
inline constexpr Frame kOpenDataFrame{ZAVL_ERR_HANDLE, true, true};
inline constexpr Frame kOpenSchemaFrame{ZAVL_ERR_CREATE, true, true};
inline constexpr Frame kQuietFrame{0, false, false};

// Runs `body` in `frame`; when it throws, answers `failure` (a value, or a
// callable that produces it).
template <class Failure, class Body>
auto Guard(const Frame& frame, Failure failure, Body body) noexcept -> decltype(body()) {
  if (frame.sets_last_error) SetLastError(frame.provisional);
  try {
    return body();
  } catch (const std::bad_alloc&) {
    if (frame.sets_last_error) {
      SetLastError(frame.out_of_memory_is_create ? ZAVL_ERR_CREATE : frame.provisional);
    }
  } catch (...) {
    if (frame.sets_last_error) SetLastError(frame.provisional);
  }
  if constexpr (std::is_invocable_v<Failure>) {
    return failure();
  } else {
    return failure;
  }
}

// For functions without a result.
inline constexpr auto kNothing = [] {};

}  // namespace tavelnor::api
