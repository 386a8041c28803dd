// The Win32 side of the platform seam, run under Wine: registry reads against
// values written with the registry's own calls, known folders, the module
// file and version resource of Tavelnor.dll, and the message answerer.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

#include "foundation/platform/message_box.h"
#include "foundation/platform/notice_dialogs.h"
#include "foundation/platform/registry.h"
#include "foundation/platform/shell.h"

namespace tavelnor::platform {
namespace {

constexpr char kTestKey[] = "Software\\TavelnorTest\\Seam";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kTestKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &key_, nullptr),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    RegCloseKey(key_);
    RegDeleteKeyA(HKEY_CURRENT_USER, kTestKey);
  }
  void SetString(const char* name, const std::string& value, DWORD type = REG_SZ) {
    ASSERT_EQ(RegSetValueExA(key_, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
  }
  HKEY key_ = nullptr;
};

TEST_F(RegistryTest, StringsReadBackAndOtherTypesAreNotFound) {
  SetString("Folder", "C:\\Compta\\Dossiers");
  SetString("Expand", "%WINDIR%\\x", REG_EXPAND_SZ);
  const DWORD number = 7;
  ASSERT_EQ(RegSetValueExA(key_, "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                           sizeof number),
            ERROR_SUCCESS);

  Result<std::string> folder = ReadRegistryString(RegistryHive::kCurrentUser, kTestKey, "folder", 260);
  ASSERT_TRUE(folder.ok());
  EXPECT_EQ(*folder, "C:\\Compta\\Dossiers");  // value names compare without case
  Result<std::string> expand = ReadRegistryString(RegistryHive::kCurrentUser, kTestKey, "Expand", 260);
  ASSERT_TRUE(expand.ok());
  EXPECT_EQ(*expand, "%WINDIR%\\x");  // read as stored, not expanded
  EXPECT_EQ(ReadRegistryString(RegistryHive::kCurrentUser, kTestKey, "Number", 260).status().code(),
            Status::Code::kNotFound);
  EXPECT_EQ(ReadRegistryString(RegistryHive::kCurrentUser, kTestKey, "Missing", 260).status().code(),
            Status::Code::kNotFound);
  EXPECT_EQ(ReadRegistryString(RegistryHive::kCurrentUser, "Software\\TavelnorTest\\NoKey", "Folder",
                               260).status().code(),
            Status::Code::kNotFound);
}

TEST_F(RegistryTest, ValueMustFitTheLimitWithItsTerminator) {
  SetString("Name", "abcdef");
  EXPECT_TRUE(ReadRegistryString(RegistryHive::kCurrentUser, kTestKey, "Name", 7).ok());
  EXPECT_EQ(ReadRegistryString(RegistryHive::kCurrentUser, kTestKey, "Name", 6).status().code(),
            Status::Code::kInvalidArgument);
}

TEST(Win32Shell, KnownFoldersExistAndTheUserSidIsText) {
  for (int csidl : {kCsidlPersonal, kCsidlAppData, kCsidlCommonAppData, kCsidlProgramFiles}) {
    const std::string path = SystemKnownFolderPath(csidl);
    ASSERT_FALSE(path.empty()) << csidl;
    EXPECT_NE(path.back(), '\\') << path;
    EXPECT_NE(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << path;
  }
  EXPECT_TRUE(SystemKnownFolderPath(0x7F).empty());
  EXPECT_EQ(CurrentUserSidText().rfind("S-1-5-", 0), 0u);
}

TEST(Win32Shell, ExecutableAndVersions) {
  const std::string exe = HostExecutablePath();
  EXPECT_NE(exe.find("test_win32.exe"), std::string::npos) << exe;
  // The test program carries no version resource; Tavelnor.dll carries the
  // project's.
  EXPECT_EQ(CurrentModuleVersion().state, ModuleVersion::State::kNoVersionResource);
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(TAVELNOR_TEST_DLL, &ignored);
  ASSERT_GT(size, 0u);
  std::string info(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(TAVELNOR_TEST_DLL, 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixed_size = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixed_size));
  EXPECT_EQ(HIWORD(fixed->dwProductVersionMS), TAVELNOR_VERSION_MAJOR);
  EXPECT_EQ(LOWORD(fixed->dwProductVersionMS), TAVELNOR_VERSION_MINOR);
}

TEST(Win32Messages, AReplacedAnswererAnswersInsteadOfTheBox) {
  int asked = 0;
  MessageHandler previous = SetMessageHandler([&](std::string_view text, MessageButtons buttons) {
    ++asked;
    EXPECT_EQ(text, "Continuer ?");
    return buttons == MessageButtons::kYesNo ? MessageAnswer::kYes : MessageAnswer::kOk;
  });
  EXPECT_EQ(ShowMessage("Continuer ?", MessageButtons::kYesNo), MessageAnswer::kYes);
  EXPECT_EQ(asked, 1);
  SetMessageHandler(previous);
}

// Windows need a display: Wine without one (no DISPLAY) creates none.
bool CanCreateWindows() {
  HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  if (probe == nullptr) return false;
  DestroyWindow(probe);
  return true;
}

// The error dialog is a real modal window: a second thread finds it by its
// class, reads its title and presses its close button.
TEST(Win32Dialogs, ErrorDialogShowsAndClosesOnItsButton) {
  if (!CanCreateWindows()) GTEST_SKIP() << "no display: windows cannot be created here";
  ErrorDialogContent content;
  content.title = "Erreur Btrieve 46";
  content.header = "Une op\xe9ration a \xe9" "chou\xe9.";
  content.code = "46";
  content.tab_labels[0] = "D\xe9tail";
  content.tab_labels[1] = "Support";
  content.panes[0] = "{\\rtf1 Acc\\'e8s refus\\'e9.}";
  content.close_label = "Fermer";
  std::atomic<bool> stop{false};
  std::string seen_title;
  std::thread closer([&] {
    for (int i = 0; i < 1000 && !stop.load(); ++i) {
      HWND dlg = FindWindowA("TavelnorBtrvErrDlg", nullptr);
      if (dlg != nullptr && IsWindowVisible(dlg)) {
        char title[64] = {};
        GetWindowTextA(dlg, title, sizeof title);
        seen_title = title;
        PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(1, BN_CLICKED), 0);
        return;
      }
      Sleep(10);
    }
  });
  const bool shown = ShowErrorDialog(content);
  stop = true;
  closer.join();
  EXPECT_TRUE(shown);
  EXPECT_EQ(seen_title, "Erreur Btrieve 46");
}

TEST(Win32Dialogs, WaitNoticeOpensAndCloses) {
  if (!CanCreateWindows()) GTEST_SKIP() << "no display: windows cannot be created here";
  WaitNotice* notice = OpenWaitNotice("Attente", "Enregistrement verrouill\xe9");
  ASSERT_NE(notice, nullptr);
  EXPECT_NE(FindWindowA("TavelnorLockNotice", nullptr), nullptr);
  CloseWaitNotice(notice);
  EXPECT_EQ(FindWindowA("TavelnorLockNotice", nullptr), nullptr);
  CloseWaitNotice(nullptr);
}

}  // namespace
}  // namespace tavelnor::platform
