// Resolution of the special paths: by identifier, by name, and the overrides
// that callers force. This is the library side of the five exported special
// path functions; other modules of the library (the table definitions, which
// place data files in the "Common" folder) call it directly.
//
// By identifier: the override table, then resolution by name, then the
// identifier's built-in default. By name: Paths.ini, then the rule table.
// Overrides are returned exactly as stored; everything else is normalised
// (path_forms.h) in the mode asked for. A chain of rules that refers back to
// itself ends, 32 levels down, in an empty result.
//
// Thread-safety: every function may be called from any thread; the tables'
// lock is held only while one table is read or written.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "paths/path_forms.h"

namespace tavelnor::paths {

// Where a resolved path came from.
enum class PathSource { kNone, kOverride, kPathsIni, kRule, kDefault };
std::string_view PathSourceName(PathSource source);

struct ResolvedPath {
  std::string path;  // empty when nothing was found
  PathSource source = PathSource::kNone;
};

// Resolves special path `id` (empty for a number that is not in the table).
ResolvedPath ResolveSpecialPath(int32_t id, PathMode mode);

// Resolves `name` through Paths.ini and the rules only: no override, no
// built-in default.
ResolvedPath ResolveSpecialPathByName(std::string_view name, PathMode mode);

// Sets the override of `name` to `path` normalised in must-exist mode, or
// removes it when `path` is empty. Returns false, leaving the table as it
// was, when the normalised path is empty (the folder does not exist) or the
// name is empty.
bool ForceSpecialPath(std::string_view name, std::string_view path);
// The same for the name of `id`; false for a number that is not in the table.
bool ForceSpecialPath(int32_t id, std::string_view path);

// Copies `text` into a caller's buffer of `size` bytes: when it does not fit,
// its first size-1 bytes and a zero; otherwise the text followed by zeros up
// to the end of the buffer. Nothing is written when `buffer` is null or
// `size` < 1. Returns 1 when `text` is non-empty and was written, else 0.
int32_t CopyToCallerBuffer(std::string_view text, char* buffer, int32_t size);

}  // namespace tavelnor::paths
