// The legacy paths: the override table, every identifier's sources in order,
// and the registry's virtual store before the machine hive.
#include "paths/legacy_paths.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/platform/registry.h"
#include "foundation/platform/shell.h"
#include "paths/app_values.h"
#include "paths/host_folder.h"
#include "paths/paths_sandbox.h"
#include "paths/special_path_ids.h"
#include "paths/special_path_tables.h"

namespace tavelnor::paths {
namespace {

using namespace SpecialOXAPath;

class LegacyPaths : public testing::PathsSandbox {
 protected:
  // A section of the user file holding the virtual store's copy of the
  // machine key "Software\<tail>".
  static std::string VirtualSection(const std::string& tail) {
    return "[Software\\Classes\\VirtualStore\\Machine\\Software\\" + tail + "]\n";
  }
  static std::string MachineSection(const std::string& tail) {
    return "[Software\\" + tail + "]\n";
  }
  static LegacySource SourceOf(int32_t id) { return ResolveLegacyPath(id).source; }
};

TEST_F(LegacyPaths, OverrideIsReturnedAsStored) {
  StoreLegacyOverride(kLegacyCommonTables, " not\\checked ");
  StoreLegacyOverride(9, "/any/number");
  EXPECT_EQ(Legacy(kLegacyCommonTables), " not\\checked ");
  EXPECT_EQ(SourceOf(kLegacyCommonTables), LegacySource::kOverride);
  EXPECT_EQ(Legacy(9), "/any/number");
  EXPECT_EQ(Legacy(10), "");
  EXPECT_EQ(Legacy(-1), "");
}

TEST_F(LegacyPaths, CommonSettingsFromTheMachineHive) {
  const std::string tables = MakeDir("tables");
  const std::string folders = MakeDir("folders");
  WriteMachineRegistry(MachineSection("OXA\\Common\\Settings") + "CommonTablesPath=" + tables +
                       "\nFoldersBase=" + folders + "\n");
  EXPECT_EQ(Legacy(kLegacyCommonTables), tables);
  EXPECT_EQ(SourceOf(kLegacyCommonTables), LegacySource::kRegistry);
  EXPECT_EQ(Legacy(kLegacyFoldersBase), folders);
  // The registry's folder must exist.
  WriteMachineRegistry(MachineSection("OXA\\Common\\Settings") +
                       "CommonTablesPath=" + PathOf("missing") + "\n");
  EXPECT_EQ(Legacy(kLegacyCommonTables), "");
  EXPECT_EQ(SourceOf(kLegacyCommonTables), LegacySource::kNone);
}

TEST_F(LegacyPaths, VirtualStoreComesFirstAndAnEmptyOrOversizedCopyLeadsOn) {
  ASSERT_TRUE(platform::RegistryHasVirtualStore());
  const std::string machine = MakeDir("machine");
  const std::string virt = MakeDir("virtual");
  WriteMachineRegistry(MachineSection("OXA\\Common\\Settings") + "CommonTablesPath=" + machine +
                       "\nFoldersBase=" + machine + "\n");
  WriteUserRegistry(VirtualSection("OXA\\Common\\Settings") + "CommonTablesPath=" + virt +
                    "\nFoldersBase=\n");
  EXPECT_EQ(Legacy(kLegacyCommonTables), virt);
  EXPECT_EQ(Legacy(kLegacyFoldersBase), machine);  // empty virtual value
  WriteUserRegistry(VirtualSection("OXA\\Common\\Settings") + "CommonTablesPath=/" +
                    std::string(259, 'v') + "\n");
  EXPECT_EQ(Legacy(kLegacyCommonTables), machine);  // 261 bytes: over the limit
}

TEST_F(LegacyPaths, CompanyAndApplicationKeysFromTheHost) {
  const std::string by_society = MakeDir("society");
  const std::string by_key = MakeDir("key");
  const std::string by_profile = MakeDir("profile");
  const std::string by_app = MakeDir("app");
  WriteMachineRegistry(MachineSection("ACME\\Common\\Settings") + "FoldersBase=" + by_society +
                       "\n" + MachineSection("Maker\\Common\\Settings") + "FoldersBase=" + by_key +
                       "\n" + MachineSection("Maker\\Profile\\Settings") +
                       "ModelesPath=" + by_profile + "\n" +
                       MachineSection("ACME\\Gestion\\Settings") + "ModelesPath=" + by_app + "\n");
  SetAppValue(kAppSocietyId, "ACME");
  SetAppValue(kAppName, "Gestion");
  EXPECT_EQ(Legacy(kLegacyFoldersBase), by_society);
  EXPECT_EQ(Legacy(kLegacyTemplates), by_app);
  SetAppValue(kAppProfileName, "Profile");  // ignored without a registry key
  EXPECT_EQ(Legacy(kLegacyTemplates), by_app);
  SetAppValue(kAppRegistryKey, "Maker");
  EXPECT_EQ(Legacy(kLegacyFoldersBase), by_key);
  EXPECT_EQ(Legacy(kLegacyTemplates), by_profile);
}

TEST_F(LegacyPaths, TemplatesFallBackToCommonDataThenTheDefaultsList) {
  SetAppValue(kAppSocietyId, "ACME");
  SetAppValue(kAppName, "Gestion|Pro");
  static const LegacyDefault kList[] = {
      {kLegacyTemplates, "OXA/Missing"},
      {kLegacyInstalledApp, "OXA/App"},
      {kLegacyTemplates, "OXA\\Modeles"},
      {kLegacyTemplates, "OXA/Later"},
      {0, nullptr},
  };
  SetLegacyDefaults(kList);
  MakeDir("known/programs/OXA/App");
  MakeDir("known/programs/OXA/Later");
  EXPECT_EQ(Legacy(kLegacyTemplates), PathOf("known/programs/OXA/Later"));
  EXPECT_EQ(SourceOf(kLegacyTemplates), LegacySource::kDefaultsList);
  const std::string listed = MakeDir("known/programs/OXA/Modeles");
  EXPECT_EQ(Legacy(kLegacyTemplates), listed);  // the list's order decides
  const std::string common = MakeDir("known/commondata/ACME/GestionPro/Modeles");
  EXPECT_EQ(Legacy(kLegacyTemplates), common);
  EXPECT_EQ(SourceOf(kLegacyTemplates), LegacySource::kKnownFolder);
  SetKnownFolder(platform::kCsidlCommonAppData, "");
  SetKnownFolder(platform::kCsidlProgramFiles, "");
  EXPECT_EQ(Legacy(kLegacyTemplates), "");
}

TEST_F(LegacyPaths, InstalledApplicationFolderFromItsRegisteredProgram) {
  const std::string installed = MakeDir("apps/gestion");
  SetEnvironment("TAVELNOR_T_ROOT", root_.string());
  WriteMachineRegistry(MachineSection("OXA\\InstalledApps\\GC") +
                       "Path=%TAVELNOR_T_ROOT%/apps/gestion/gestion.exe\n");
  EXPECT_EQ(Legacy(kLegacyInstalledApp), host_);  // no short name: registry skipped
  EXPECT_EQ(SourceOf(kLegacyInstalledApp), LegacySource::kHostDirectory);
  SetAppValue(kAppShortName, "GC");
  EXPECT_EQ(Legacy(kLegacyInstalledApp), installed);
  EXPECT_EQ(SourceOf(kLegacyInstalledApp), LegacySource::kRegistry);
}

TEST_F(LegacyPaths, InstalledApplicationPathHasItsOwnLimit) {
  // 275 bytes and a terminator fit the "Path" value; the other values stop at 260.
  const std::string dir = MakeDir("apps/" + std::string(200, 'p'));
  std::string file = dir + "/" + std::string(275 - dir.size() - 1, 'f');
  ASSERT_EQ(file.size(), 275u);
  WriteMachineRegistry(MachineSection("OXA\\InstalledApps\\GC") + "Path=" + file + "\n");
  SetAppValue(kAppShortName, "GC");
  EXPECT_EQ(Legacy(kLegacyInstalledApp), dir);
  WriteMachineRegistry(MachineSection("OXA\\InstalledApps\\GC") + "Path=" + file + "f\n");
  EXPECT_EQ(Legacy(kLegacyInstalledApp), host_);
}

TEST_F(LegacyPaths, InstalledApplicationFallsBackToTheDefaultsListThenTheHost) {
  SetAppValue(kAppShortName, "GC");
  WriteMachineRegistry(MachineSection("OXA\\InstalledApps\\GC") + "Path=" + PathOf("gone/x.exe") +
                       "\n");
  static const LegacyDefault kList[] = {{kLegacyInstalledApp, "OXA/App"}, {0, nullptr}};
  SetLegacyDefaults(kList);
  EXPECT_EQ(Legacy(kLegacyInstalledApp), host_);
  const std::string listed = MakeDir("known/programs/OXA/App");
  EXPECT_EQ(Legacy(kLegacyInstalledApp), listed);
  SetHostDirectoryForTesting(PathOf("no-host"));
  SetLegacyDefaults(nullptr);
  EXPECT_EQ(Legacy(kLegacyInstalledApp), "");
}

TEST_F(LegacyPaths, CompanyFoldersAtTheDriveRoot) {
  // "/" + company + "/Dossiers": a company written as a path below the root
  // lands in the sandbox.
  const std::string company = root_.string().substr(1) + "/drive";
  SetAppValue(kAppSocietyId, company);
  EXPECT_EQ(Legacy(kLegacyDriveFolders), "");
  const std::string folders = MakeDir("drive/Dossiers");
  EXPECT_EQ(Legacy(kLegacyDriveFolders), folders);
  EXPECT_EQ(SourceOf(kLegacyDriveFolders), LegacySource::kDriveRoot);
}

TEST_F(LegacyPaths, CompanyFoldersInTheSharedDocuments) {
  EXPECT_EQ(Legacy(kLegacySharedFolders), "");
  const std::string shared = MakeDir("known/commondocs/OXA/Dossiers");
  EXPECT_EQ(Legacy(kLegacySharedFolders), shared);
  SetKnownFolder(platform::kCsidlCommonDocuments, "");
  EXPECT_EQ(Legacy(kLegacySharedFolders), "");
}

}  // namespace
}  // namespace tavelnor::paths
