// The table of special path identifiers and names.
#include "paths/special_path_ids.h"

#include <array>

namespace tavelnor::paths {

namespace {
constexpr std::array<SpecialPathEntry, 33> kTable = {{
    {kAppParamsRoot, "AppParamsRoot"},
    {kAppParamsBaseVide, "AppParamsBaseVide"},
    {kAppParamsNewFolderParams, "AppParamsNewFolderParams"},
    {kShare, "Share"},
    {kCommon, "Common"},
    {kFoldersDemo, "FoldersDemo"},
    {kFoldersUser, "FoldersUser"},
    {kTemplatesRootSystem, "TemplatesRootSystem"},
    {kTemplatesRootShared, "TemplatesRootShared"},
    {kTemplatesWinGenSystem, "TemplatesWinGenSystem"},
    {kTemplatesWinGenShared, "TemplatesWinGenShared"},
    {kConfigRootSystem, "ConfigRootSystem"},
    {kConfigRootShared, "ConfigRootShared"},
    {kConfigFormatsSystem, "ConfigFormatsSystem"},
    {kConfigFormatsShared, "ConfigFormatsShared"},
    {kConfigImpExpSystem, "ConfigImpExpSystem"},
    {kConfigImpExpShared, "ConfigImpExpShared"},
    {kConfigInetShared, "ConfigInetShared"},
    {kConfigSMSShared, "ConfigSMSShared"},
    {kConfigWatchShared, "ConfigWatchShared"},
    {kConfigWelcome, "ConfigWelcome"},
    {kBackups, "Backups"},
    {kTools, "Tools"},
    {kUserData, "UserData"},
    {kUserDataCommon, "UserDataCommon"},
    {kUserDataByVersion, "UserDataByVersion"},
    {kAppParamsLinksMenu, "AppParamsLinksMenu"},
    {kAppParamsSMSProviders, "AppParamsSMSProviders"},
    {kConfigServicePackagesShared, "ConfigServicePackagesShared"},
    {kSocietyDataUser, "SocietyDataUser"},
    {kSocietyDataShared, "SocietyDataShared"},
    {kDocumentsRootID, "DocumentsRootID"},
    {kArchivesID, "ArchivesID"},
}};
}  // namespace

std::span<const SpecialPathEntry> SpecialPathTable() { return kTable; }

std::optional<std::string_view> SpecialPathName(int32_t id) {
  for (const SpecialPathEntry& e : kTable) {
    if (e.id == id) return e.name;
  }
  return std::nullopt;
}

std::optional<int32_t> SpecialPathIdOf(std::string_view name) {
  for (const SpecialPathEntry& e : kTable) {
    if (e.name == name) return e.id;
  }
  return std::nullopt;
}

}  // namespace tavelnor::paths
