// The special path tables as process singletons, under one process-wide lock.
#include "paths/special_path_tables.h"

#include <map>
#include <mutex>

#include "foundation/platform/sync.h"
#include "foundation/process_singleton.h"

namespace tavelnor::paths {

namespace {

using OverrideMap = std::map<Chaine, Chaine>;
using RuleMap = std::map<Chaine, SpecialOXAPath::Rule, ChaineLessNoCase>;
using LegacyMap = std::map<int32_t, Chaine>;
struct LegacyDefsSlot {
  const SpecialOXAPath::LegacyDefault* list = nullptr;
};

// Each singleton handle is kept for the whole process, so the tables live
// until its very end whatever order the copies of the library unload in.
#define TAVELNOR_SHARED(Type, name)                       \
  static auto* holder = new ProcessSingleton<Type>(name); \
  return holder->Get()

platform::CriticalSection& Lock() {
  TAVELNOR_SHARED(platform::CriticalSection, "SpecialOXAPathLock");
}
OverrideMap& Overrides() { TAVELNOR_SHARED(OverrideMap, "SpecialOXAPathPaths"); }
RuleMap& Rules() { TAVELNOR_SHARED(RuleMap, "SpecialOXAPathRules"); }
LegacyMap& Legacies() { TAVELNOR_SHARED(LegacyMap, "SpecialOXAPathLegacies"); }
LegacyDefsSlot& LegacyDefs() { TAVELNOR_SHARED(LegacyDefsSlot, "SpecialOXAPathLegacyDefs"); }

#undef TAVELNOR_SHARED

// Runs `op` on `table` under the lock. The table is reached first, so that
// its creation (under the registry mutex) never happens inside the lock.
template <class Table, class Op>
auto Locked(Table& table, Op op) {
  platform::CriticalSection& lock = Lock();
  std::lock_guard<platform::CriticalSection> guard(lock);
  return op(table);
}

}  // namespace

std::optional<std::string> FindOverride(std::string_view name) {
  return Locked(Overrides(), [&](OverrideMap& m) -> std::optional<std::string> {
    auto it = m.find(Chaine(name));
    if (it == m.end()) return std::nullopt;
    return it->second.str();
  });
}

void StoreOverride(std::string_view name, std::string_view path) {
  Locked(Overrides(), [&](OverrideMap& m) { m.insert_or_assign(Chaine(name), Chaine(path)); });
}

void RemoveOverride(std::string_view name) {
  Locked(Overrides(), [&](OverrideMap& m) { m.erase(Chaine(name)); });
}

void ClearOverrides() {
  Locked(Overrides(), [](OverrideMap& m) { m.clear(); });
}

std::optional<SpecialOXAPath::Rule> FindRule(std::string_view name) {
  return Locked(Rules(), [&](RuleMap& m) -> std::optional<SpecialOXAPath::Rule> {
    auto it = m.find(Chaine(name));
    if (it == m.end()) return std::nullopt;
    return it->second;
  });
}

void StoreRule(std::string_view name, const SpecialOXAPath::Rule& rule) {
  Locked(Rules(), [&](RuleMap& m) { m.insert_or_assign(Chaine(name), rule); });
}

void RemoveRule(std::string_view name) {
  Locked(Rules(), [&](RuleMap& m) { m.erase(Chaine(name)); });
}

void ClearRules() {
  Locked(Rules(), [](RuleMap& m) { m.clear(); });
}

std::optional<std::string> FindLegacyOverride(int32_t legacy_id) {
  return Locked(Legacies(), [&](LegacyMap& m) -> std::optional<std::string> {
    auto it = m.find(legacy_id);
    if (it == m.end()) return std::nullopt;
    return it->second.str();
  });
}

void StoreLegacyOverride(int32_t legacy_id, std::string_view path) {
  Locked(Legacies(), [&](LegacyMap& m) { m.insert_or_assign(legacy_id, Chaine(path)); });
}

void ClearLegacyOverrides() {
  Locked(Legacies(), [](LegacyMap& m) { m.clear(); });
}

const SpecialOXAPath::LegacyDefault* LegacyDefaults() {
  return Locked(LegacyDefs(), [](LegacyDefsSlot& s) { return s.list; });
}

void SetLegacyDefaults(const SpecialOXAPath::LegacyDefault* list) {
  Locked(LegacyDefs(), [&](LegacyDefsSlot& s) { s.list = list; });
}

}  // namespace tavelnor::paths
