// Resolution of special paths by identifier and by name: precedence, Paths.ini,
// rules, modes, forcing, and the exported functions' buffer rule.
#include "paths/special_paths.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "paths/app_values.h"
#include "paths/paths_sandbox.h"
#include "paths/special_path_ids.h"
#include "paths/special_path_tables.h"
#include "tavelnor/zavl.h"

namespace tavelnor::paths {
namespace {

using SpecialOXAPath::Rule;

class SpecialPaths : public testing::PathsSandbox {
 protected:
  static Rule ByNameRule(const char* base, const char* relative) { return Rule{0, base, relative}; }
  static Rule ByIdRule(const char* id, const char* relative) { return Rule{1, id, relative}; }
};

TEST_F(SpecialPaths, OverrideBeatsPathsIniBeatsRuleBeatsDefault) {
  const std::string by_default = MakeDir("known/commondocs/OXA/Partage");
  const std::string by_rule = MakeDir("known/commondocs/OXA/RuleShare");
  const std::string by_ini = MakeDir("ini-share");
  const std::string forced = MakeDir("forced");

  ResolvedPath r = ResolveSpecialPath(kShare, PathMode::kMustExist);
  EXPECT_EQ(r.path, by_default);
  EXPECT_EQ(r.source, PathSource::kDefault);

  StoreRule("Share", ByIdRule("33", "RuleShare"));
  r = ResolveSpecialPath(kShare, PathMode::kMustExist);
  EXPECT_EQ(r.path, by_rule);
  EXPECT_EQ(r.source, PathSource::kRule);

  WritePathsIni("[Paths]\nShare=" + by_ini + "\n");
  r = ResolveSpecialPath(kShare, PathMode::kMustExist);
  EXPECT_EQ(r.path, by_ini);
  EXPECT_EQ(r.source, PathSource::kPathsIni);

  ASSERT_EQ(ZAVL_ForceSpecialPathByID(kShare, forced.c_str()), 1);
  r = ResolveSpecialPath(kShare, PathMode::kMustExist);
  EXPECT_EQ(r.path, forced);
  EXPECT_EQ(r.source, PathSource::kOverride);
  EXPECT_EQ(ById(kShare), forced);

  ASSERT_EQ(ZAVL_ForceSpecialPathByID(kShare, ""), 1);  // removed: Paths.ini again
  EXPECT_EQ(ById(kShare), by_ini);
}

TEST_F(SpecialPaths, PathsIniExpandsVariablesAndAnchorsRelativeValues) {
  MakeDir("expanded/Share");
  MakeDir("host/Data");
  SetEnvironment("TAVELNOR_T_ROOT", root_.string());
  WritePathsIni(
      "; folders of this installation\n"
      "[paths]\n"
      "SHARE = \t%TAVELNOR_T_ROOT%/expanded/Share \t\r\n"
      "common=Data\n");
  EXPECT_EQ(ById(kShare), PathOf("expanded/Share"));
  EXPECT_EQ(ByName("Share"), PathOf("expanded/Share"));
  EXPECT_EQ(ById(kCommon), host_ + "/Data");
}

TEST_F(SpecialPaths, PathsIniNamingAMissingFolderFallsBackToTheDefault) {
  const std::string by_default = MakeDir("known/commondocs/OXA/Partage");
  WritePathsIni("[Paths]\nShare=" + PathOf("nowhere") + "\nCommon=   \n");
  EXPECT_EQ(ByName("Share"), "");
  EXPECT_EQ(ById(kShare), by_default);
  // A blank value is no value: the rule is consulted.
  const std::string ruled = MakeDir("ruled");
  StoreRule("Common", ByNameRule("Base", ""));
  WritePathsIni("[Paths]\nCommon=  \nBase=" + ruled + "\n");
  EXPECT_EQ(ResolveSpecialPathByName("Common", PathMode::kMustExist).source, PathSource::kRule);
}

TEST_F(SpecialPaths, MustExistGivesNothingForAMissingDefaultCreateModeMakesIt) {
  EXPECT_EQ(ById(kShare), "");
  EXPECT_EQ(ById(kDocumentsRootID), "");
  EXPECT_EQ(ResolveSpecialPath(kShare, PathMode::kMustExist).source, PathSource::kNone);
  EXPECT_FALSE(IsDir(PathOf("known/commondocs/OXA")));
  // Create mode makes the folder and its parents.
  SetAppValue("App.Name", "Gestion");
  const ResolvedPath r = ResolveSpecialPath(kConfigFormatsShared, PathMode::kCreate);
  EXPECT_EQ(r.path, PathOf("known/commondocs/OXA/Partage/Gestion/Formats"));
  EXPECT_TRUE(IsDir(r.path));
  EXPECT_EQ(ById(kConfigFormatsShared), r.path);  // now it exists
}

TEST_F(SpecialPaths, ForcingAMissingFolderFailsAndKeepsTheOverride) {
  const std::string forced = MakeDir("forced");
  ASSERT_EQ(ZAVL_ForceSpecialPathByID(kCommon, forced.c_str()), 1);
  EXPECT_EQ(ZAVL_ForceSpecialPathByID(kCommon, PathOf("missing").c_str()), 0);
  EXPECT_EQ(ById(kCommon), forced);
  EXPECT_EQ(ZAVL_ForceSpecialPathByName("Common", PathOf("missing").c_str()), 0);
  EXPECT_EQ(FindOverride("Common"), forced);
  // Never set and forced to a missing folder: still absent.
  EXPECT_EQ(ZAVL_ForceSpecialPathByName("Elsewhere", PathOf("missing").c_str()), 0);
  EXPECT_EQ(FindOverride("Elsewhere"), std::nullopt);
  // "" removes, also when there is nothing to remove.
  EXPECT_EQ(ZAVL_ForceSpecialPathByName("Common", ""), 1);
  EXPECT_EQ(FindOverride("Common"), std::nullopt);
  EXPECT_EQ(ZAVL_ForceSpecialPathByName("Common", ""), 1);
}

TEST_F(SpecialPaths, OverrideStoredNormalisedAndReturnedAsStored) {
  MakeDir("host/Rel");
  ASSERT_EQ(ZAVL_ForceSpecialPathByID(kTools, "  Rel \r\n"), 1);
  EXPECT_EQ(FindOverride("Tools"), host_ + "/Rel");
  std::filesystem::remove(host_ + "/Rel");
  EXPECT_EQ(ById(kTools), host_ + "/Rel");  // no existence test on the way out
  StoreOverride("Tools", " not\\normalised ");
  EXPECT_EQ(ById(kTools), " not\\normalised ");
}

TEST_F(SpecialPaths, OverrideNamesCompareExactlyAndByNameReadsOnlyPathsIni) {
  const std::string forced = MakeDir("forced");
  ASSERT_EQ(ZAVL_ForceSpecialPathByName("tools", forced.c_str()), 1);
  EXPECT_EQ(ById(kTools), host_);  // "Tools" has no override
  ASSERT_EQ(ZAVL_ForceSpecialPathByName("Tools", forced.c_str()), 1);
  EXPECT_EQ(ById(kTools), forced);
  EXPECT_EQ(ByName("Tools"), "") << "by name ignores overrides and defaults";
  WritePathsIni("[Paths]\nTools=" + forced + "\nCustom=" + forced + "\n");
  EXPECT_EQ(ByName("Tools"), forced);
  EXPECT_EQ(ByName("custom"), forced);  // any name, not only the table's
}

TEST_F(SpecialPaths, RulesByNameAndByIdentifier) {
  const std::string base = MakeDir("base");
  MakeDir("base/Sub/Deeper");
  MakeDir("host/Modeles/Extra");
  WritePathsIni("[Paths]\nBase=" + base + "\n");
  StoreRule("ByName", ByNameRule("Base", "Sub\\Deeper"));
  StoreRule("ById", ByIdRule("0", "Modeles\\Extra"));
  StoreRule("Chained", ByNameRule("byname", ""));  // rule names ignore case
  EXPECT_EQ(ByName("ByName"), base + "/Sub/Deeper");
  EXPECT_EQ(ByName("byid"), host_ + "/Modeles/Extra");
  EXPECT_EQ(ByName("Chained"), base + "/Sub/Deeper/");
  EXPECT_EQ(ResolveSpecialPathByName("ById", PathMode::kMustExist).source, PathSource::kRule);
}

TEST_F(SpecialPaths, RulesWithoutAUsableBaseGiveNothing) {
  StoreRule("NoBase", ByNameRule("Unknown", "x"));
  StoreRule("EmptyBase", ByNameRule("", "x"));
  StoreRule("BadNumber", ByIdRule("3x", "x"));
  StoreRule("NotAnId", ByIdRule("23", "x"));
  StoreRule("Missing", ByIdRule("0", "NotThere"));
  for (const char* name : {"NoBase", "EmptyBase", "BadNumber", "NotAnId", "Missing"}) {
    EXPECT_EQ(ByName(name), "") << name;
  }
  EXPECT_EQ(ResolveSpecialPathByName("Missing", PathMode::kCreate).path, host_ + "/NotThere");
}

TEST_F(SpecialPaths, CircularRulesEndEmptyWithoutCreatingAnything) {
  StoreRule("A", ByNameRule("B", "x"));
  StoreRule("B", ByNameRule("A", "y"));
  StoreRule("Share", ByIdRule("3", "again"));  // its own identifier
  StoreRule("ViaIni", ByNameRule("ViaIni", "z"));
  EXPECT_EQ(ByName("A"), "");
  EXPECT_EQ(ByName("ViaIni"), "");
  EXPECT_EQ(ById(kShare), "");
  EXPECT_EQ(ById(kCommon), "");  // built on Share
  EXPECT_EQ(ResolveSpecialPath(kShare, PathMode::kCreate).path, "");
  EXPECT_EQ(ResolveSpecialPath(kCommon, PathMode::kCreate).path, "");
  EXPECT_EQ(ResolveSpecialPathByName("A", PathMode::kCreate).path, "");
  EXPECT_FALSE(IsDir(PathOf("known/commondocs/OXA")));
  // The rest of the table is unaffected.
  EXPECT_EQ(ResolveSpecialPath(kDocumentsRootID, PathMode::kCreate).path,
            PathOf("known/commondocs/OXA"));
}

TEST_F(SpecialPaths, UnknownIdentifiersAndNames) {
  for (int32_t id : {23, 32, 35, -1, 1000}) {
    EXPECT_EQ(ById(id), "") << id;
    EXPECT_EQ(ZAVL_ForceSpecialPathByID(id, host_.c_str()), 0) << id;
  }
  EXPECT_EQ(ByName(""), "");
  EXPECT_EQ(ZAVL_ForceSpecialPathByName("", host_.c_str()), 0);
  EXPECT_EQ(SpecialPathTable().size(), 33u);
  EXPECT_EQ(SpecialPathIdOf("DocumentsRootID"), kDocumentsRootID);
  EXPECT_EQ(SpecialPathName(kBackups), "Backups");
}

// The buffer rule, through an override of known length.
class CallerBuffer : public SpecialPaths {
 protected:
  void SetUp() override {
    SpecialPaths::SetUp();
    StoreOverride("Tools", kText);
  }
  static constexpr char kText[] = "0123456789";  // 10 characters
};

TEST_F(CallerBuffer, TextIsCutOrZeroFilledToTheSizeAndNothingBeyond) {
  // identifier, size, answer, text kept; the rest of the size is zeros.
  const struct {
    int32_t id, size, answer;
    const char* text;
  } cases[] = {{kTools, 1, 1, ""},       {kTools, 2, 1, "0"},  {kTools, 5, 1, "0123"},
               {kTools, 10, 1, "012345678"}, {kTools, 14, 1, kText}, {23, 6, 0, ""}};
  for (const auto& c : cases) {
    char buf[16];
    std::memset(buf, 'x', sizeof(buf));
    EXPECT_EQ(ZAVL_GetSpecialPathByID(c.id, buf, c.size), c.answer) << c.size;
    EXPECT_EQ(std::string(buf), c.text) << c.size;
    for (int32_t i = static_cast<int32_t>(std::strlen(c.text)); i < c.size; ++i) {
      EXPECT_EQ(buf[i], '\0') << c.size << "/" << i;
    }
    EXPECT_EQ(buf[c.size], 'x') << "written past the buffer, size " << c.size;
  }
}

TEST_F(CallerBuffer, NullPointersAndSizesBelowOneAreRefused) {
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(ZAVL_GetSpecialPathByID(kTools, buf, 0), 0);
  EXPECT_EQ(ZAVL_GetSpecialPathByID(kTools, buf, -5), 0);
  EXPECT_EQ(ZAVL_GetSpecialPathByName("Tools", buf, 0), 0);
  EXPECT_EQ(ZAVL_GetLegacyPath(0, buf, -1), 0);
  EXPECT_EQ(std::string(buf, 4), "xxxx");
  EXPECT_EQ(ZAVL_GetSpecialPathByID(kTools, nullptr, 16), 0);
  EXPECT_EQ(ZAVL_GetSpecialPathByName("Tools", nullptr, 16), 0);
  EXPECT_EQ(ZAVL_GetLegacyPath(0, nullptr, 16), 0);
  EXPECT_EQ(ZAVL_GetSpecialPathByName(nullptr, buf, 4), 0);
  EXPECT_EQ(std::string(buf, 4), std::string(4, '\0'));
  EXPECT_EQ(ZAVL_ForceSpecialPathByID(kTools, nullptr), 0);
  EXPECT_EQ(ZAVL_ForceSpecialPathByName(nullptr, host_.c_str()), 0);
  EXPECT_EQ(ZAVL_ForceSpecialPathByName("Tools", nullptr), 0);
  EXPECT_EQ(FindOverride("Tools"), kText);
}

TEST_F(CallerBuffer, LastErrorIsLeftAlone) {
  ASSERT_EQ(ZAVL_OpenSchema(PathOf("no-such.dic").c_str(), 0), nullptr);
  const int32_t before = ZAVL_GetLastError();
  ASSERT_NE(before, 0);
  char buf[32];
  ZAVL_GetSpecialPathByID(kTools, buf, sizeof(buf));
  ZAVL_GetSpecialPathByID(23, buf, sizeof(buf));
  ZAVL_GetSpecialPathByName(nullptr, buf, sizeof(buf));
  ZAVL_ForceSpecialPathByID(kCommon, PathOf("missing").c_str());
  ZAVL_ForceSpecialPathByName("Common", host_.c_str());
  ZAVL_GetLegacyPath(9, buf, sizeof(buf));
  EXPECT_EQ(ZAVL_GetLastError(), before);
}

}  // namespace
}  // namespace tavelnor::paths
