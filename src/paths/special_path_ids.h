// The special path identifiers with their fixed names, and the legacy path
// identifiers.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tavelnor::paths {

// Identifiers of the special paths. 23 and 32 are not used.
enum SpecialPathId : int32_t {
  kAppParamsRoot = 0,
  kAppParamsBaseVide = 1,
  kAppParamsNewFolderParams = 2,
  kShare = 3,
  kCommon = 4,
  kFoldersDemo = 5,
  kFoldersUser = 6,
  kTemplatesRootSystem = 7,
  kTemplatesRootShared = 8,
  kTemplatesWinGenSystem = 9,
  kTemplatesWinGenShared = 10,
  kConfigRootSystem = 11,
  kConfigRootShared = 12,
  kConfigFormatsSystem = 13,
  kConfigFormatsShared = 14,
  kConfigImpExpSystem = 15,
  kConfigImpExpShared = 16,
  kConfigInetShared = 17,
  kConfigSMSShared = 18,
  kConfigWatchShared = 19,
  kConfigWelcome = 20,
  kBackups = 21,
  kTools = 22,
  kUserData = 24,
  kUserDataCommon = 25,
  kUserDataByVersion = 26,
  kAppParamsLinksMenu = 27,
  kAppParamsSMSProviders = 28,
  kConfigServicePackagesShared = 29,
  kSocietyDataUser = 30,
  kSocietyDataShared = 31,
  kDocumentsRootID = 33,
  kArchivesID = 34,
};

struct SpecialPathEntry {
  int32_t id;
  std::string_view name;
};

// The 33 identifiers with their names, in identifier order.
std::span<const SpecialPathEntry> SpecialPathTable();

// The name of `id`; nullopt for a number that is not in the table.
std::optional<std::string_view> SpecialPathName(int32_t id);

// The identifier whose name is exactly `name`; nullopt when none.
std::optional<int32_t> SpecialPathIdOf(std::string_view name);

namespace SpecialOXAPath {

// The places where older releases kept their data.
enum LegacyID : int32_t {
  kLegacyCommonTables = 0,   // registry: CommonTablesPath
  kLegacyFoldersBase = 1,    // registry: FoldersBase
  kLegacyTemplates = 2,      // registry: ModelesPath, then fallbacks
  kLegacyInstalledApp = 3,   // registry: the installed application's folder
  kLegacyDriveFolders = 4,   // the company's folders at the drive root
  kLegacySharedFolders = 5,  // the company's folders in the shared documents
};

inline constexpr int32_t kLegacyCount = 6;

}  // namespace SpecialOXAPath

}  // namespace tavelnor::paths
