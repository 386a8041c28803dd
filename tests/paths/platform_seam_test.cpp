// The platform pieces under the special paths: path texts, environment
// expansion, directory creation, INI text and the POSIX registry files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "foundation/ini_text.h"
#include "foundation/platform/directories.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/process.h"
#include "foundation/platform/registry.h"
#include "foundation/platform/shell.h"
#include "paths/paths_sandbox.h"

namespace tavelnor::platform {
namespace {

namespace fs = std::filesystem;
using paths::testing::PathsSandbox;

struct JoinCase {
  const char* base;
  const char* part;
  const char* joined;
};

TEST(PathText, JoinUsesOneNativeSeparator) {
  const JoinCase cases[] = {
      {"/srv/oxa", "Partage", "/srv/oxa/Partage"},
      {"/srv/oxa/", "Partage", "/srv/oxa/Partage"},  // no doubled separator
      {"/", "OXA", "/OXA"},                          // the drive-root fallback
      {"", "Data", "Data"},
      {"/srv", "Modeles\\WinGen", "/srv/Modeles/WinGen"},  // Windows-style part
      {"c:\\", "OXA", "c:/OXA"},
  };
  for (const JoinCase& c : cases) EXPECT_EQ(JoinPath(c.base, c.part), c.joined) << c.base;
}

TEST(PathText, RelativeDirectoryAndDriveRoot) {
  EXPECT_TRUE(IsRelativePath("Data"));
  EXPECT_TRUE(IsRelativePath("./Data"));
  EXPECT_TRUE(IsRelativePath(""));
  EXPECT_FALSE(IsRelativePath("/srv"));
  EXPECT_FALSE(IsRelativePath("\\srv"));
  EXPECT_FALSE(IsRelativePath("C:\\Data")) << "a drive anchors a text written for Windows";
  EXPECT_EQ(PathRoot("C:\\Data"), "C:\\");
  EXPECT_EQ(PathRoot("D:x"), "D:");
  EXPECT_EQ(PathRoot("/srv/x"), "/");
  EXPECT_EQ(PathRoot("Data/x"), "");

  EXPECT_EQ(DirectoryPart("/usr/bin/tool"), "/usr/bin");
  EXPECT_EQ(DirectoryPart("/tool"), "/");
  EXPECT_EQ(DirectoryPart("C:\\Prog\\app.exe"), "C:\\Prog");
  EXPECT_EQ(DirectoryPart("C:\\app.exe"), "C:\\");
  EXPECT_EQ(DirectoryPart("app.exe"), "");

  EXPECT_EQ(SystemDriveRoot("c:\\"), "/");
  EXPECT_EQ(SystemDriveRoot("C:\\"), "/");
}

struct ExpandCase {
  const char* text;
  const char* expanded;
};

TEST(ExpandEnvironment, KnownNamesReplacedUnknownKeptAsWritten) {
  ASSERT_TRUE(SetEnv("TAVELNOR_T_A", "alpha"));
  ASSERT_TRUE(SetEnv("TAVELNOR_T_EMPTY", ""));
  ASSERT_TRUE(SetEnv("TAVELNOR_T_NOPE", nullptr));
  const ExpandCase cases[] = {
      {"%TAVELNOR_T_A%/x", "alpha/x"},
      {"a%TAVELNOR_T_A%b%TAVELNOR_T_A%c", "aalphabalphac"},
      {"%TAVELNOR_T_NOPE%/x", "%TAVELNOR_T_NOPE%/x"},
      {"%TAVELNOR_T_NOPE%TAVELNOR_T_A%", "%TAVELNOR_T_NOPEalpha"},  // the closing % opens again
      {"50%", "50%"},
      {"%%", "%%"},
      {"%TAVELNOR_T_EMPTY%x", "x"},
      {"no reference", "no reference"},
  };
  for (const ExpandCase& c : cases) EXPECT_EQ(ExpandEnvironment(c.text), c.expanded) << c.text;
  SetEnv("TAVELNOR_T_A", nullptr);
  SetEnv("TAVELNOR_T_EMPTY", nullptr);
}

TEST(IniText, SectionsKeysCommentsAndDuplicates) {
  const std::string text =
      "\xEF\xBB\xBF"
      "top=ignored\r\n"
      "; a comment\r\n"
      "[Paths]\r\n"
      "  Share = /srv/share  \r\n"
      "# Share=/commented\n"
      "Common=/first\n"
      "[ other ]\n"
      "Common=/other\n"
      "[PATHS]\n"
      "common=/last\n"
      "Odd=a=b;c#d\n"
      "no equals sign\n"
      "Empty=\n"
      "[unclosed\n"
      "Late=/still paths\r";
  EXPECT_EQ(FindIniValue(text, "paths", "SHARE"), "/srv/share");
  EXPECT_EQ(FindIniValue(text, "Paths", "Common"), "/last");
  EXPECT_EQ(FindIniValue(text, "other", "Common"), "/other");
  EXPECT_EQ(FindIniValue(text, "Paths", "Odd"), "a=b;c#d");
  EXPECT_EQ(FindIniValue(text, "Paths", "Empty"), "");
  EXPECT_EQ(FindIniValue(text, "Paths", "Late"), "/still paths");
  EXPECT_EQ(FindIniValue(text, "Paths", "top"), std::nullopt);
  EXPECT_EQ(FindIniValue(text, "", "top"), std::nullopt);
  EXPECT_EQ(FindIniValue(text, "Paths", "missing"), std::nullopt);
  EXPECT_EQ(FindIniValue("", "Paths", "Share"), std::nullopt);
}

using DirectoriesTest = PathsSandbox;

TEST_F(DirectoriesTest, CreatesEveryMissingLevelButNeverThroughAFile) {
  const std::string deep = PathOf("a/b/c");
  ASSERT_TRUE(CreateDirectories(deep).ok());
  EXPECT_TRUE(IsDir(deep));
  EXPECT_TRUE(CreateDirectories(deep).ok());  // already there
  EXPECT_TRUE(CreateDirectories(PathOf("a\\b\\d")).ok());
  EXPECT_TRUE(IsDir(PathOf("a/b/d")));
  EXPECT_FALSE(CreateDirectories("").ok());
  std::ofstream(PathOf("plain")) << "x";
  EXPECT_FALSE(CreateDirectories(PathOf("plain/sub")).ok());
  EXPECT_FALSE(CreateDirectories(PathOf("plain")).ok());
}

TEST_F(DirectoriesTest, EmptyFileCannotReplaceADirectory) {
  EXPECT_TRUE(CreateEmptyFile(PathOf("f.zip")).ok());
  EXPECT_TRUE(fs::is_regular_file(PathOf("f.zip")));
  MakeDir("d.zip");
  EXPECT_FALSE(CreateEmptyFile(PathOf("d.zip")).ok());
  EXPECT_FALSE(CreateEmptyFile(PathOf("missing/f.zip")).ok());
}

using RegistryFiles = PathsSandbox;

TEST_F(RegistryFiles, EachHiveReadsItsOwnFile) {
  WriteMachineRegistry("[Software\\OXA\\Common\\Settings]\nCommonTablesPath=/machine\n");
  WriteUserRegistry("[Software\\OXA\\Common\\Settings]\nCommonTablesPath=/user\n");
  Result<std::string> m = ReadRegistryString(
      RegistryHive::kLocalMachine, "software\\oxa\\COMMON\\settings", "commontablespath", 260);
  ASSERT_TRUE(m.ok()) << m.status().ToString();
  EXPECT_EQ(*m, "/machine");
  Result<std::string> u = ReadRegistryString(
      RegistryHive::kCurrentUser, "Software\\OXA\\Common\\Settings", "CommonTablesPath", 260);
  ASSERT_TRUE(u.ok());
  EXPECT_EQ(*u, "/user");
}

TEST_F(RegistryFiles, MissingFileKeyOrValueIsNotFound) {
  const auto code = [](const char* key, const char* value) {
    return ReadRegistryString(RegistryHive::kLocalMachine, key, value, 260).status().code();
  };
  EXPECT_EQ(code("Software\\X", "V"), Status::Code::kNotFound);  // no file
  WriteMachineRegistry("[Software\\X]\nOther=1\n");
  EXPECT_EQ(code("Software\\X", "V"), Status::Code::kNotFound);
  EXPECT_EQ(code("Software\\Y", "Other"), Status::Code::kNotFound);
}

TEST_F(RegistryFiles, ValueMustFitTheLimitWithItsTerminator) {
  WriteMachineRegistry("[K]\nV=" + std::string(259, 'a') + "\nW=" + std::string(260, 'a') + "\n");
  EXPECT_TRUE(ReadRegistryString(RegistryHive::kLocalMachine, "K", "V", 260).ok());
  Result<std::string> w = ReadRegistryString(RegistryHive::kLocalMachine, "K", "W", 260);
  EXPECT_EQ(w.status().code(), Status::Code::kInvalidArgument);
  EXPECT_TRUE(ReadRegistryString(RegistryHive::kLocalMachine, "K", "W", 276).ok());
}

TEST_F(RegistryFiles, UsersHiveMapsTheCurrentUserOntoTheUserFile) {
  WriteUserRegistry(
      "[Software\\Classes\\VirtualStore\\Machine\\Software\\OXA]\nV=/virtual\n"
      "[Software\\OXA]\nV=/own\n");
  const std::string sid = CurrentUserSidText();
  ASSERT_EQ(sid.rfind("S-1-5-21-", 0), 0u) << sid;
  Result<std::string> virt = ReadRegistryString(
      RegistryHive::kUsers, sid + "_Classes\\VirtualStore\\Machine\\Software\\OXA", "V", 260);
  ASSERT_TRUE(virt.ok()) << virt.status().ToString();
  EXPECT_EQ(*virt, "/virtual");
  Result<std::string> own =
      ReadRegistryString(RegistryHive::kUsers, sid + "\\Software\\OXA", "V", 260);
  ASSERT_TRUE(own.ok());
  EXPECT_EQ(*own, "/own");
  EXPECT_FALSE(ReadRegistryString(RegistryHive::kUsers, "S-1-5-18\\Software\\OXA", "V", 260).ok());
}

TEST_F(RegistryFiles, KnownFolderOverrideAndUnavailableNumbers) {
  EXPECT_EQ(KnownFolderPath(kCsidlAppData), app_data_);
  SetKnownFolder(kCsidlAppData, "");
  EXPECT_EQ(KnownFolderPath(kCsidlAppData), "");
  EXPECT_EQ(SystemKnownFolderPath(999), "");
  EXPECT_EQ(SystemKnownFolderPath(kCsidlProgramFiles), "/opt");
  SetEnvironment("XDG_DATA_HOME", PathOf("xdg"));
  EXPECT_EQ(SystemKnownFolderPath(kCsidlAppData), PathOf("xdg"));
  SetEnvironment("XDG_DATA_HOME", std::nullopt);
  SetEnvironment("HOME", PathOf("home"));
  EXPECT_EQ(SystemKnownFolderPath(kCsidlAppData), PathOf("home") + "/.local/share");
  SetEnvironment("XDG_DOCUMENTS_DIR", std::nullopt);
  EXPECT_EQ(SystemKnownFolderPath(kCsidlCommonDocuments), PathOf("home") + "/Documents");
}

}  // namespace
}  // namespace tavelnor::platform
