// The five exported special path functions. Unlike the rest of the exported
// interface they leave the last error code alone; every failure, including
// anything thrown below, is an empty result.
#include "api/guard.h"
#include "paths/legacy_paths.h"
#include "paths/special_paths.h"
#include "tavelnor/zavl.h"

namespace {

using tavelnor::api::Guard;
using tavelnor::api::kQuietFrame;
using tavelnor::paths::CopyToCallerBuffer;
using tavelnor::paths::PathMode;

// Runs `resolve` and copies its path into the caller's buffer; on failure,
// anything thrown included, the buffer is zero-filled.
template <class Resolve>
ZAVL_BOOL ResolveInto(char* buffer, int32_t size, Resolve resolve) {
  if (buffer == nullptr || size < 1) return 0;
  return Guard(
      kQuietFrame, [&] { return CopyToCallerBuffer({}, buffer, size); },
      [&] { return CopyToCallerBuffer(resolve(), buffer, size); });
}

}  // namespace

extern "C" {

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetSpecialPathByID(int32_t id, char* buffer, int32_t size) {
  return ResolveInto(buffer, size, [&] {
    return tavelnor::paths::ResolveSpecialPath(id, PathMode::kMustExist).path;
  });
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetSpecialPathByName(const char* name, char* buffer,
                                                       int32_t size) {
  return ResolveInto(buffer, size, [&] {
    if (name == nullptr) return std::string();
    return tavelnor::paths::ResolveSpecialPathByName(name, PathMode::kMustExist).path;
  });
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_ForceSpecialPathByID(int32_t id, const char* path) {
  return Guard(kQuietFrame, ZAVL_BOOL{0}, [&]() -> ZAVL_BOOL {
    if (path == nullptr) return 0;
    return tavelnor::paths::ForceSpecialPath(id, path) ? 1 : 0;
  });
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_ForceSpecialPathByName(const char* name, const char* path) {
  return Guard(kQuietFrame, ZAVL_BOOL{0}, [&]() -> ZAVL_BOOL {
    if (name == nullptr || path == nullptr) return 0;
    return tavelnor::paths::ForceSpecialPath(std::string_view(name), path) ? 1 : 0;
  });
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetLegacyPath(int32_t legacy_id, char* buffer, int32_t size) {
  return ResolveInto(buffer, size,
                     [&] { return tavelnor::paths::ResolveLegacyPath(legacy_id).path; });
}

}  // extern "C"
