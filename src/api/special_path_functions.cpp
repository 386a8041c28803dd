// The five exported special path functions. Unlike the rest of the exported
// interface they leave the last error code alone; every failure, including
// anything thrown below, is an empty result.
#include "paths/legacy_paths.h"
#include "paths/special_paths.h"
#include "tavelnor/zavl.h"

namespace {

using tavelnor::paths::CopyToCallerBuffer;
using tavelnor::paths::PathMode;

// Runs `resolve` and copies its path into the caller's buffer; on failure the
// buffer is zero-filled.
template <class Resolve>
ZAVL_BOOL ResolveInto(char* buffer, int32_t size, Resolve resolve) {
  if (buffer == nullptr || size < 1) return 0;
  try {
    return CopyToCallerBuffer(resolve(), buffer, size);
  } catch (...) {
    return CopyToCallerBuffer({}, buffer, size);
  }
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
  if (path == nullptr) return 0;
  try {
    return tavelnor::paths::ForceSpecialPath(id, path) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_ForceSpecialPathByName(const char* name, const char* path) {
  if (name == nullptr || path == nullptr) return 0;
  try {
    return tavelnor::paths::ForceSpecialPath(std::string_view(name), path) ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

ZAVL_API ZAVL_BOOL ZAVL_CALL ZAVL_GetLegacyPath(int32_t legacy_id, char* buffer, int32_t size) {
  return ResolveInto(buffer, size,
                     [&] { return tavelnor::paths::ResolveLegacyPath(legacy_id).path; });
}

}  // extern "C"
