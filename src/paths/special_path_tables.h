// The process-wide tables behind the special paths, each a process singleton
// shared by every copy of the library in the process (same build):
//
//   "SpecialOXAPathPaths"       overrides: special path name -> path, as set
//                               by ForceSpecialPath (names compare exactly)
//   "SpecialOXAPathRules"       derivation rules: name -> SpecialOXAPath::Rule
//                               (names compare without regard to case); other
//                               modules fill it, resolution only reads it
//   "SpecialOXAPathLegacies"    legacy overrides: legacy id -> path
//   "SpecialOXAPathLegacyDefs"  one pointer to a legacy defaults list, null
//                               until a module sets it
//   "SpecialOXAPathLock"        the critical section guarding all four
//
// Every access goes through the functions below, which hold the lock only for
// the one table operation. The objects are shared only among modules of the
// same build, so their layout is the compiler's natural one.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/chaine.h"
#include "paths/special_path_ids.h"

namespace tavelnor::paths {

namespace SpecialOXAPath {

// How a special path derives from another one: `relative` below `base`.
struct Rule {
  uint8_t kind = 0;  // 0: `base` is a special path name; else an identifier in decimal
  Chaine base;
  Chaine relative;
};

// One entry of a legacy defaults list: a folder below the program files
// folder that may hold legacy path `legacy_id`. A list ends with an entry
// whose `relative` is null; it must outlive its registration.
struct LegacyDefault {
  int32_t legacy_id;
  const char* relative;
};

}  // namespace SpecialOXAPath

// Overrides (table "SpecialOXAPathPaths").
std::optional<std::string> FindOverride(std::string_view name);
void StoreOverride(std::string_view name, std::string_view path);
void RemoveOverride(std::string_view name);
void ClearOverrides();

// Rules (table "SpecialOXAPathRules").
std::optional<SpecialOXAPath::Rule> FindRule(std::string_view name);
void StoreRule(std::string_view name, const SpecialOXAPath::Rule& rule);
void RemoveRule(std::string_view name);
void ClearRules();

// Legacy overrides (table "SpecialOXAPathLegacies").
std::optional<std::string> FindLegacyOverride(int32_t legacy_id);
void StoreLegacyOverride(int32_t legacy_id, std::string_view path);
void ClearLegacyOverrides();

// The legacy defaults list ("SpecialOXAPathLegacyDefs"); null when unset.
const SpecialOXAPath::LegacyDefault* LegacyDefaults();
void SetLegacyDefaults(const SpecialOXAPath::LegacyDefault* list);

}  // namespace tavelnor::paths
