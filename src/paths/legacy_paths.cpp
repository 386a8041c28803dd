// Resolution of the legacy paths; sources and order are listed in
// legacy_paths.h.
#include "paths/legacy_paths.h"

#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

#include "foundation/platform/path_text.h"
#include "foundation/platform/registry.h"
#include "foundation/platform/shell.h"
#include "paths/app_values.h"
#include "paths/host_folder.h"
#include "paths/path_forms.h"
#include "paths/special_path_ids.h"
#include "paths/special_path_tables.h"

namespace tavelnor::paths {

namespace {

using namespace SpecialOXAPath;

constexpr size_t kRegistryValueLimit = 260;
constexpr size_t kRegistryPathValueLimit = 276;

// A registry key path below a software root: root, then `tail`.
std::string KeyBelow(const std::string& root, const std::string& tail) {
  return root + "\\" + tail;
}

// The value, from the virtual store first when the system has one, then from
// the machine hive; nullopt when neither holds a non-empty value.
std::optional<std::string> ReadSoftwareValue(const std::string& tail, const std::string& value,
                                             size_t limit) {
  std::vector<std::pair<platform::RegistryHive, std::string>> roots;
  if (platform::RegistryHasVirtualStore()) {
    const std::string sid = platform::CurrentUserSidText();
    if (!sid.empty()) {
      roots.emplace_back(platform::RegistryHive::kUsers,
                         sid + "_Classes\\VirtualStore\\Machine\\Software");
    }
  }
  roots.emplace_back(platform::RegistryHive::kLocalMachine, "Software");
  for (const auto& [hive, root] : roots) {
    Result<std::string> read =
        platform::ReadRegistryString(hive, KeyBelow(root, tail), value, limit);
    if (read.ok() && !read->empty()) return std::move(read).value();
  }
  return std::nullopt;
}

std::string CompanyKey() {
  std::string key = AppValue(kAppRegistryKey);
  return key.empty() ? AppSocietyId() : key;
}

std::string ApplicationKey() {
  if (AppValue(kAppRegistryKey).empty()) return AppName();
  std::string profile = AppValue(kAppProfileName);
  return profile.empty() ? AppName() : profile;
}

std::string FromRegistry(const std::string& tail, const std::string& value) {
  std::optional<std::string> read = ReadSoftwareValue(tail, value, kRegistryValueLimit);
  return read ? NormalisePath(*read, PathMode::kMustExist) : std::string();
}

std::string BelowKnownFolder(int csidl, std::initializer_list<std::string> parts) {
  std::string path = platform::KnownFolderPath(csidl);
  if (path.empty()) return {};
  for (const std::string& part : parts) path = platform::JoinPath(path, part);
  return NormalisePath(path, PathMode::kMustExist);
}

std::string FromDefaultsList(int32_t legacy_id) {
  const LegacyDefault* entry = LegacyDefaults();
  const std::string programs = platform::KnownFolderPath(platform::kCsidlProgramFiles);
  if (entry == nullptr || programs.empty()) return {};
  for (; entry->relative != nullptr; ++entry) {
    if (entry->legacy_id != legacy_id) continue;
    std::string path =
        NormalisePath(platform::JoinPath(programs, entry->relative), PathMode::kMustExist);
    if (!path.empty()) return path;
  }
  return {};
}

std::string InstalledAppFolder() {
  const std::string short_name = AppShortName();
  if (short_name.empty()) return {};
  std::optional<std::string> file =
      ReadSoftwareValue("OXA\\InstalledApps\\" + short_name, "Path", kRegistryPathValueLimit);
  if (!file) return {};
  return NormalisePath(platform::DirectoryPart(platform::ExpandEnvironment(*file)),
                       PathMode::kMustExist);
}

// The sources, one function each.
std::string CommonTablesValue() {
  return FromRegistry(CompanyKey() + "\\Common\\Settings", "CommonTablesPath");
}
std::string FoldersBaseValue() {
  return FromRegistry(CompanyKey() + "\\Common\\Settings", "FoldersBase");
}
std::string TemplatesValue() {
  return FromRegistry(CompanyKey() + "\\" + ApplicationKey() + "\\Settings", "ModelesPath");
}
std::string TemplatesInCommonData() {
  return BelowKnownFolder(platform::kCsidlCommonAppData,
                          {AppSocietyId(), FileNameForm(AppName()), "Modeles"});
}
std::string TemplatesFromList() { return FromDefaultsList(kLegacyTemplates); }
std::string InstalledAppFromList() { return FromDefaultsList(kLegacyInstalledApp); }
std::string ExistingHostDirectory() { return NormalisePath(HostDirectory(), PathMode::kMustExist); }
std::string DriveFolders() {
  const std::string company = platform::JoinPath(platform::SystemDriveRoot("C:\\"), AppSocietyId());
  return NormalisePath(platform::JoinPath(company, "Dossiers"), PathMode::kMustExist);
}
std::string SharedFolders() {
  return BelowKnownFolder(platform::kCsidlCommonDocuments, {AppSocietyId(), "Dossiers"});
}

using SourceFn = std::string (*)();

LegacyPath FirstOf(std::initializer_list<std::pair<LegacySource, SourceFn>> sources) {
  for (const auto& [source, find] : sources) {
    std::string path = find();
    if (!path.empty()) return {std::move(path), source};
  }
  return {};
}

}  // namespace

std::string_view LegacySourceName(LegacySource source) {
  switch (source) {
    case LegacySource::kNone: return "none";
    case LegacySource::kOverride: return "override";
    case LegacySource::kRegistry: return "registry";
    case LegacySource::kKnownFolder: return "known folder";
    case LegacySource::kDefaultsList: return "defaults list";
    case LegacySource::kHostDirectory: return "host directory";
    case LegacySource::kDriveRoot: return "drive root";
  }
  return "none";
}

LegacyPath ResolveLegacyPath(int32_t legacy_id) {
  if (std::optional<std::string> forced = FindLegacyOverride(legacy_id)) {
    return {std::move(*forced), LegacySource::kOverride};
  }
  switch (legacy_id) {
    case kLegacyCommonTables: return FirstOf({{LegacySource::kRegistry, CommonTablesValue}});
    case kLegacyFoldersBase: return FirstOf({{LegacySource::kRegistry, FoldersBaseValue}});
    case kLegacyTemplates:
      return FirstOf({{LegacySource::kRegistry, TemplatesValue},
                      {LegacySource::kKnownFolder, TemplatesInCommonData},
                      {LegacySource::kDefaultsList, TemplatesFromList}});
    case kLegacyInstalledApp:
      return FirstOf({{LegacySource::kRegistry, InstalledAppFolder},
                      {LegacySource::kDefaultsList, InstalledAppFromList},
                      {LegacySource::kHostDirectory, ExistingHostDirectory}});
    case kLegacyDriveFolders: return FirstOf({{LegacySource::kDriveRoot, DriveFolders}});
    case kLegacySharedFolders: return FirstOf({{LegacySource::kKnownFolder, SharedFolders}});
    default: return {};
  }
}

}  // namespace tavelnor::paths
