// The built-in default of every special path, the Backups writability test
// and the documents root fallback.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "foundation/platform/shell.h"
#include "paths/app_values.h"
#include "paths/host_folder.h"
#include "paths/path_forms.h"
#include "paths/paths_sandbox.h"
#include "paths/special_path_ids.h"
#include "paths/special_paths.h"

namespace tavelnor::paths {
namespace {

namespace fs = std::filesystem;

class BuiltinDefaults : public testing::PathsSandbox {
 protected:
  void SetUp() override {
    PathsSandbox::SetUp();
    // The company keeps its colon where it is used unchanged and loses it in
    // file-name form; the application name is always in file-name form.
    SetAppValue(kAppSocietyId, "AC:ME");
    SetAppValue(kAppName, "Gestion: Pro ");
  }
};

struct DefaultCase {
  int32_t id;
  const char* below;  // sandbox folder the default starts from
  const char* tail;   // and the rest of the path
  bool created;       // false: joined "as is", never created
};

TEST_F(BuiltinDefaults, EveryIdentifierInCreateMode) {
  const std::string version = ModuleVersionText();
  const DefaultCase cases[] = {
      {kAppParamsRoot, "host", "", true},
      {kAppParamsBaseVide, "host", "/BaseVide", false},
      {kAppParamsNewFolderParams, "host", "/Param", false},
      {kAppParamsLinksMenu, "host", "/LinksMenu", false},
      {kAppParamsSMSProviders, "host", "/SMSProviders", false},
      {kDocumentsRootID, "known/commondocs", "/ACME", true},
      {kShare, "known/commondocs", "/ACME/Partage", true},
      {kCommon, "known/commondocs", "/ACME/Partage/Common", true},
      {kFoldersDemo, "known/commondocs", "/ACME/Demonstrations", true},
      {kFoldersUser, "known/commondocs", "/ACME/Partage/Dossiers", true},
      {kTemplatesRootSystem, "host", "/Modeles", true},
      {kTemplatesRootShared, "known/commondocs", "/ACME/Partage/Gestion Pro/Modeles", true},
      {kTemplatesWinGenSystem, "host", "/Modeles/WinGen", true},
      {kTemplatesWinGenShared, "known/commondocs", "/ACME/Partage/Gestion Pro/Modeles/WinGen",
       true},
      {kConfigRootSystem, "host", "", true},
      {kConfigRootShared, "known/commondocs", "/ACME/Partage/Gestion Pro", true},
      {kConfigFormatsSystem, "host", "/Formats", true},
      {kConfigFormatsShared, "known/commondocs", "/ACME/Partage/Gestion Pro/Formats", true},
      {kConfigImpExpSystem, "host", "/ImpExp", true},
      {kConfigImpExpShared, "known/commondocs", "/ACME/Partage/Gestion Pro/ImpExp", true},
      {kConfigInetShared, "known/commondocs", "/ACME/Partage/Inet", true},
      {kConfigSMSShared, "known/commondocs", "/ACME/Partage/SMS", true},
      {kConfigWatchShared, "known/commondocs", "/ACME/Partage/Inet", true},
      {kConfigServicePackagesShared, "known/commondocs", "/ACME/Partage/Inet", true},
      {kConfigWelcome, "host", "/Welcome", true},
      {kBackups, "known/commondocs", "/ACME/Sauvegardes", true},
      {kTools, "host", "", true},
      {kUserData, "known/appdata", "/AC:ME/Gestion Pro", true},
      {kUserDataCommon, "known/appdata", "/AC:ME/Gestion Pro/Common", true},
      {kSocietyDataUser, "known/appdata", "/AC:ME", true},
      {kSocietyDataShared, "known/commondata", "/AC:ME", true},
      {kArchivesID, "known/commondocs", "/ACME/Archives", true},
  };
  EXPECT_EQ(std::size(cases) + 1, SpecialPathTable().size());  // 26 is checked below
  for (const DefaultCase& c : cases) {
    const std::string expected = PathOf(c.below) + c.tail;
    const ResolvedPath r = ResolveSpecialPath(c.id, PathMode::kCreate);
    EXPECT_EQ(r.path, expected) << "id " << c.id;
    EXPECT_EQ(r.source, PathSource::kDefault) << "id " << c.id;
    EXPECT_EQ(IsDir(expected), c.created) << "id " << c.id;
    // Once made, the must-exist resolution finds the same folder.
    EXPECT_EQ(ById(c.id), expected) << "id " << c.id;
  }
  const std::string by_version = PathOf("known/appdata") + "/AC:ME/Gestion Pro/" + version;
  EXPECT_EQ(ResolveSpecialPath(kUserDataByVersion, PathMode::kCreate).path, by_version);
  EXPECT_TRUE(IsDir(by_version));
}

TEST_F(BuiltinDefaults, AsIsDefaultsNeedNoFolderButTheirBase) {
  EXPECT_EQ(ById(kAppParamsBaseVide), host_ + "/BaseVide");
  EXPECT_FALSE(IsDir(host_ + "/BaseVide"));
  SetHostDirectoryForTesting(PathOf("gone"));
  EXPECT_EQ(ById(kAppParamsRoot), PathOf("gone"));  // the host directory itself is not checked
  EXPECT_EQ(ById(kTemplatesRootSystem), "");
}

TEST_F(BuiltinDefaults, AnOverriddenBaseCarriesItsDependants) {
  const std::string forced = MakeDir("elsewhere");
  ASSERT_TRUE(ForceSpecialPath(kDocumentsRootID, forced));
  EXPECT_EQ(ResolveSpecialPath(kCommon, PathMode::kCreate).path, forced + "/Partage/Common");
  EXPECT_EQ(ResolveSpecialPath(kArchivesID, PathMode::kCreate).path, forced + "/Archives");
}

TEST_F(BuiltinDefaults, UnavailableKnownFolders) {
  SetKnownFolder(platform::kCsidlAppData, "");
  SetKnownFolder(platform::kCsidlCommonAppData, "");
  for (int32_t id :
       {kUserData, kUserDataCommon, kUserDataByVersion, kSocietyDataUser, kSocietyDataShared}) {
    EXPECT_EQ(ResolveSpecialPath(id, PathMode::kCreate).path, "") << id;
  }
}

TEST_F(BuiltinDefaults, DocumentsRootFallsBackToTheDriveRoot) {
  SetKnownFolder(platform::kCsidlCommonDocuments, "");
  SetAppValue(kAppSocietyId, "tmp");  // "/" + company: an existing folder
  EXPECT_EQ(ById(kDocumentsRootID), "/tmp");
  SetAppValue(kAppSocietyId, "tavelnor-no-such-company");
  EXPECT_EQ(ById(kDocumentsRootID), "");
}

class Backups : public BuiltinDefaults {
 protected:
  static constexpr char kProbe[] = "###_TESTSAUVEGARDOXA_###.zip";
};

TEST_F(Backups, MissingCandidateFallsBackToTheDocumentsAWritableOneIsKept) {
  EXPECT_EQ(ById(kBackups), documents_);
  EXPECT_FALSE(IsDir(PathOf("known/commondocs/ACME/Sauvegardes")));
  const std::string candidate = MakeDir("known/commondocs/ACME/Sauvegardes");
  EXPECT_EQ(ById(kBackups), candidate);
  EXPECT_FALSE(fs::exists(candidate + "/" + kProbe));
  fs::remove(candidate);
  SetKnownFolder(platform::kCsidlPersonal, "");
  EXPECT_EQ(ById(kBackups), "");
}

TEST_F(Backups, CandidateRefusingTheProbeFallsBackToTheDocuments) {
  // A directory in the probe's place: creating the file fails even for root.
  const std::string candidate = MakeDir("known/commondocs/ACME/Sauvegardes");
  MakeDir(std::string("known/commondocs/ACME/Sauvegardes/") + kProbe);
  EXPECT_EQ(ById(kBackups), documents_);
  EXPECT_EQ(ResolveSpecialPath(kBackups, PathMode::kCreate).path, documents_);
  EXPECT_TRUE(IsDir(candidate + "/" + kProbe));
}

}  // namespace
}  // namespace tavelnor::paths
