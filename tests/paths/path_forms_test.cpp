// The forms of a special path: the file-name form, normalisation, the version
// text, and the application values they draw on.
#include "paths/path_forms.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "foundation/platform/process.h"
#include "foundation/string_resources.h"
#include "paths/app_values.h"
#include "paths/paths_sandbox.h"

namespace tavelnor::paths {
namespace {

using platform::ModuleVersion;

struct FormCase {
  std::string text;
  std::string form;
};

TEST(FileNameForm, Table) {
  // clang-format off
  const FormCase cases[] = {
      {"Gestion commerciale", "Gestion commerciale"},
      {"a\r\r\nb", "a b"}, {"a\r\nb", "a b"},  // one space for the whole sequence
      {"a\rb\nc\td", "a b c d"}, {"a\x01\x1F" "b", "ab"},  // control characters deleted
      {"<a>:\"b\"/c\\d|e?f*g", "abcdefg"},  // the nine reserved characters
      {"  lead and trail . . ", "lead and trail"},
      {"..dots first", "..dots first"}, {"name...", "name"},  // only trailing dots go
      {"", "_"}, {" . ", "_"}, {"?*", "_"},
      {"CON", "CON_"}, {"con", "con_"}, {"Nul", "Nul_"}, {"PRN", "PRN_"}, {"aux", "aux_"},
      {"COM1", "COM1_"}, {"lpt9", "lpt9_"}, {"CON.", "CON_"},  // the trailing dot goes first
      {"COM0", "COM0"}, {"LPT10", "LPT10"}, {"CONSOLE", "CONSOLE"},  // digits 1 to 9 only
      {"\xC9" "tude", "\xC9" "tude"},  // Windows-1252 letters stay
  };
  // clang-format on
  for (const FormCase& c : cases) EXPECT_EQ(FileNameForm(c.text), c.form) << c.text;
}

TEST(VersionText, EachModuleState) {
  ModuleVersion v;
  v.state = ModuleVersion::State::kFound;
  v.major = 11;
  v.minor = 5;
  EXPECT_EQ(VersionText(v), "11.5");
  v.state = ModuleVersion::State::kNoVersionResource;
  EXPECT_EQ(VersionText(v), "Alpha");
  v.state = ModuleVersion::State::kNoModuleFile;
  EXPECT_EQ(VersionText(v), "***");
  // The build's own module has a version: a dot, neither "Alpha" nor "***".
  const std::string own = ModuleVersionText();
  EXPECT_NE(own.find('.'), std::string::npos) << own;
}

using Normalise = testing::PathsSandbox;

TEST_F(Normalise, TrimsExpandsAndAnchorsBelowTheHost) {
  MakeDir("host/Data");
  MakeDir("expanded");
  SetEnvironment("TAVELNOR_T_ROOT", root_.string());
  EXPECT_EQ(NormalisePath(" \t" + PathOf("expanded") + "\r\n", PathMode::kMustExist),
            PathOf("expanded"));
  EXPECT_EQ(NormalisePath("%TAVELNOR_T_ROOT%/expanded", PathMode::kMustExist), PathOf("expanded"));
  EXPECT_EQ(NormalisePath("Data", PathMode::kMustExist), host_ + "/Data");
  EXPECT_EQ(NormalisePath("  ", PathMode::kCreate), "");
  // Blanks brought in by the expansion are trimmed too.
  SetEnvironment("TAVELNOR_T_PADDED", "  " + PathOf("expanded") + " ");
  EXPECT_EQ(NormalisePath("%TAVELNOR_T_PADDED%", PathMode::kMustExist), PathOf("expanded"));
}

TEST_F(Normalise, MissingFolderEmptyOrCreatedWithItsParents) {
  const std::string missing = PathOf("x/y/z");
  EXPECT_EQ(NormalisePath(missing, PathMode::kMustExist), "");
  EXPECT_FALSE(IsDir(missing));
  EXPECT_EQ(NormalisePath(missing, PathMode::kCreate), missing);
  EXPECT_TRUE(IsDir(missing));
  EXPECT_EQ(NormalisePath("rel\\sub", PathMode::kCreate), host_ + "/rel/sub");
  EXPECT_TRUE(IsDir(host_ + "/rel/sub"));
}

TEST_F(Normalise, CreationFailureGivesEmpty) {
  std::ofstream(PathOf("file")) << "x";
  EXPECT_EQ(NormalisePath(PathOf("file/sub"), PathMode::kCreate), "");
  EXPECT_EQ(NormalisePath(PathOf("file"), PathMode::kMustExist), "");  // not a directory
}

using AppValues = testing::PathsSandbox;

TEST_F(AppValues, DefaultsThenHostValues) {
  EXPECT_EQ(AppName(), std::string(LoadResourceString(kIdsApplicationTitle)));
  EXPECT_EQ(AppSocietyId(), "OXA");
  EXPECT_EQ(AppShortName(), "");
  SetAppValue("app.societyid", "ACME");  // keys compare without regard to case
  EXPECT_EQ(AppSocietyId(), "ACME");
  RemoveAppValue("App.SocietyID");
  EXPECT_EQ(AppSocietyId(), "OXA");
  SetAppValue(kAppSocietyId, "");  // present but empty: no default
  EXPECT_EQ(AppSocietyId(), "");
}

TEST_F(AppValues, LoadedFromPairs) {
  EXPECT_EQ(LoadAppValues(" App.Name = Gestion ; App.SocietyID=ACME;;junk;=x;App.ShortName="), 3);
  EXPECT_EQ(AppName(), "Gestion");
  EXPECT_EQ(AppSocietyId(), "ACME");
  EXPECT_EQ(AppShortName(), "");
  EXPECT_EQ(LoadAppValues(""), 0);
}

}  // namespace
}  // namespace tavelnor::paths
