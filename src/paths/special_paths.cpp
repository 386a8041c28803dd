// Resolution of special paths by identifier and by name, and forcing.
#include "paths/special_paths.h"

#include <charconv>
#include <cstring>

#include "foundation/platform/path_text.h"
#include "paths/host_folder.h"
#include "paths/resolution.h"
#include "paths/special_path_ids.h"
#include "paths/special_path_tables.h"

namespace tavelnor::paths {

namespace internal {

ResolvedPath ResolveById(int32_t id, Walk& walk) {
  Descent down(walk);
  const std::optional<std::string_view> name = SpecialPathName(id);
  if (!name || walk.runaway) return {};
  if (std::optional<std::string> forced = FindOverride(*name)) {
    return {std::move(*forced), PathSource::kOverride};
  }
  ResolvedPath by_name = ResolveByName(*name, walk);
  if (walk.runaway) return {};
  if (!by_name.path.empty()) return by_name;
  std::string path = BuiltinDefault(id, walk);
  if (path.empty() || walk.runaway) return {};
  return {std::move(path), PathSource::kDefault};
}

ResolvedPath ResolveByName(std::string_view name, Walk& walk) {
  Descent down(walk);
  if (name.empty() || walk.runaway) return {};
  if (std::optional<std::string> value = PathsIniValue(name)) {
    return {NormalisePath(*value, walk.mode), PathSource::kPathsIni};
  }
  const std::optional<SpecialOXAPath::Rule> rule = FindRule(name);
  if (!rule) return {};
  std::string base;
  if (rule->kind == 0) {
    base = ResolveByName(rule->base.view(), walk).path;
  } else {
    const std::string_view digits = rule->base.view();
    int32_t id = 0;
    auto [end, err] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    if (err == std::errc() && end == digits.data() + digits.size() && !digits.empty()) {
      base = ResolveById(id, walk).path;
    }
  }
  if (base.empty() || walk.runaway) return {};
  return {NormalisePath(platform::JoinPath(base, rule->relative.view()), walk.mode),
          PathSource::kRule};
}

}  // namespace internal

std::string_view PathSourceName(PathSource source) {
  switch (source) {
    case PathSource::kNone: return "none";
    case PathSource::kOverride: return "override";
    case PathSource::kPathsIni: return "Paths.ini";
    case PathSource::kRule: return "rule";
    case PathSource::kDefault: return "default";
  }
  return "none";
}

ResolvedPath ResolveSpecialPath(int32_t id, PathMode mode) {
  internal::Walk walk(mode);
  return internal::ResolveById(id, walk);
}

ResolvedPath ResolveSpecialPathByName(std::string_view name, PathMode mode) {
  internal::Walk walk(mode);
  return internal::ResolveByName(name, walk);
}

bool ForceSpecialPath(std::string_view name, std::string_view path) {
  if (name.empty()) return false;
  if (path.empty()) {
    RemoveOverride(name);
    return true;
  }
  const std::string normalised = NormalisePath(path, PathMode::kMustExist);
  if (normalised.empty()) return false;
  StoreOverride(name, normalised);
  return true;
}

bool ForceSpecialPath(int32_t id, std::string_view path) {
  const std::optional<std::string_view> name = SpecialPathName(id);
  return name && ForceSpecialPath(*name, path);
}

int32_t CopyToCallerBuffer(std::string_view text, char* buffer, int32_t size) {
  if (buffer == nullptr || size < 1) return 0;
  const size_t capacity = static_cast<size_t>(size);
  if (text.size() >= capacity) {
    if (capacity > 1) std::memcpy(buffer, text.data(), capacity - 1);
    buffer[capacity - 1] = '\0';
  } else {
    if (!text.empty()) std::memcpy(buffer, text.data(), text.size());
    std::memset(buffer + text.size(), 0, capacity - text.size());
  }
  return text.empty() ? 0 : 1;
}

}  // namespace tavelnor::paths
