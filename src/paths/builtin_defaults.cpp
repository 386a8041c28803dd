// The built-in default of each special path, used when neither an override,
// Paths.ini nor a rule gives one.
//
// "A + B" resolves special path A (fully, in the same mode) and, when that is
// not empty, joins B below it and normalises the result; "as is" joins
// without normalising. Known folders come from the platform seam; when one is
// unavailable the defaults built on it are empty, except the documents root,
// which falls back to the system drive's root.
#include <string>
#include <vector>

#include "foundation/platform/directories.h"
#include "foundation/platform/file_admin.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/shell.h"
#include "paths/app_values.h"
#include "paths/host_folder.h"
#include "paths/resolution.h"
#include "paths/special_path_ids.h"

namespace tavelnor::paths::internal {

namespace {

constexpr char kBackupProbeFile[] = "###_TESTSAUVEGARDOXA_###.zip";

enum class Join { kNormalised, kAsIs };

class Defaults {
 public:
  explicit Defaults(Walk& walk) : walk_(walk), mode_(walk.mode) {}

  std::string Of(int32_t id) const;

 private:
  std::string Resolve(int32_t id) const { return ResolveById(id, walk_).path; }

  std::string Plus(int32_t base_id, const std::string& part, Join join = Join::kNormalised) const {
    const std::string base = Resolve(base_id);
    if (base.empty() || walk_.runaway) return {};
    std::string joined = platform::JoinPath(base, part);
    return join == Join::kAsIs ? joined : NormalisePath(joined, mode_);
  }

  // Known folder `csidl` with `parts` below it, normalised; empty when the
  // folder is unavailable.
  std::string BelowKnownFolder(int csidl, const std::vector<std::string>& parts) const {
    std::string path = platform::KnownFolderPath(csidl);
    if (path.empty()) return {};
    for (const std::string& part : parts) path = platform::JoinPath(path, part);
    return NormalisePath(path, mode_);
  }

  std::string DocumentsRoot() const {
    std::string root = platform::KnownFolderPath(platform::kCsidlCommonDocuments);
    if (root.empty()) root = platform::SystemDriveRoot("c:\\");
    return NormalisePath(platform::JoinPath(root, FileNameForm(AppSocietyId())), mode_);
  }

  std::string Backups() const {
    std::string candidate = Plus(kDocumentsRootID, "Sauvegardes");
    if (!candidate.empty()) {
      const std::string probe = platform::JoinPath(candidate, kBackupProbeFile);
      if (!platform::CreateEmptyFile(probe).ok() || !platform::RemoveFile(probe).ok()) {
        candidate.clear();
      }
    }
    if (!candidate.empty()) return candidate;
    return NormalisePath(platform::KnownFolderPath(platform::kCsidlPersonal), mode_);
  }

  Walk& walk_;
  PathMode mode_;
};

std::string Defaults::Of(int32_t id) const {
  switch (id) {
    case kAppParamsRoot:
    case kTools: return HostDirectory();
    case kAppParamsBaseVide: return Plus(kAppParamsRoot, "BaseVide", Join::kAsIs);
    case kAppParamsNewFolderParams: return Plus(kAppParamsRoot, "Param", Join::kAsIs);
    case kAppParamsLinksMenu: return Plus(kAppParamsRoot, "LinksMenu", Join::kAsIs);
    case kAppParamsSMSProviders: return Plus(kAppParamsRoot, "SMSProviders", Join::kAsIs);
    case kShare: return Plus(kDocumentsRootID, "Partage");
    case kCommon: return Plus(kShare, "Common");
    case kFoldersDemo: return Plus(kDocumentsRootID, "Demonstrations");
    case kFoldersUser: return Plus(kShare, "Dossiers");
    case kTemplatesRootSystem: return Plus(kAppParamsRoot, "Modeles");
    case kTemplatesRootShared: return Plus(kConfigRootShared, "Modeles");
    case kTemplatesWinGenSystem: return Plus(kTemplatesRootSystem, "WinGen");
    case kTemplatesWinGenShared: return Plus(kTemplatesRootShared, "WinGen");
    case kConfigRootSystem: return Resolve(kAppParamsRoot);
    case kConfigRootShared: return Plus(kShare, FileNameForm(AppName()));
    case kConfigFormatsSystem: return Plus(kConfigRootSystem, "Formats");
    case kConfigFormatsShared: return Plus(kConfigRootShared, "Formats");
    case kConfigImpExpSystem: return Plus(kConfigRootSystem, "ImpExp");
    case kConfigImpExpShared: return Plus(kConfigRootShared, "ImpExp");
    case kConfigInetShared: return Plus(kShare, "Inet");
    case kConfigSMSShared: return Plus(kShare, "SMS");
    case kConfigWatchShared:
    case kConfigServicePackagesShared: return Resolve(kConfigInetShared);
    case kConfigWelcome: return Plus(kConfigRootSystem, "Welcome");
    case kBackups: return Backups();
    case kUserData:
      return BelowKnownFolder(platform::kCsidlAppData, {AppSocietyId(), FileNameForm(AppName())});
    case kUserDataCommon: return Plus(kUserData, "Common");
    case kUserDataByVersion: return Plus(kUserData, ModuleVersionText());
    case kSocietyDataUser: return BelowKnownFolder(platform::kCsidlAppData, {AppSocietyId()});
    case kSocietyDataShared:
      return BelowKnownFolder(platform::kCsidlCommonAppData, {AppSocietyId()});
    case kDocumentsRootID: return DocumentsRoot();
    case kArchivesID: return Plus(kDocumentsRootID, "Archives");
    default: return {};
  }
}

}  // namespace

std::string BuiltinDefault(int32_t id, Walk& walk) {
  Descent down(walk);
  if (walk.runaway) return {};
  return Defaults(walk).Of(id);
}

}  // namespace tavelnor::paths::internal
