// The registry on Windows, through the ANSI entry points, and the current
// user's security identifier.

#include <vector>

#include "foundation/platform/registry.h"
#include "foundation/platform/registry_values.h"
#include "foundation/platform/registry_hive_win32.h"
#include "foundation/platform/win32_headers.h"

// After <windows.h>, which these need.
#include <sddl.h>
#include <versionhelpers.h>

namespace tavelnor::platform {

Result<std::string> ReadRegistryString(RegistryHive hive, const std::string& key_path,
                                       const std::string& value_name, size_t max_bytes) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HiveKey(hive), key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return Status::NotFound(key_path + ": no such key");
  }
  std::vector<BYTE> buf(max_bytes + 1, 0);  // one spare byte keeps the text terminated
  DWORD type = 0;
  DWORD size = static_cast<DWORD>(max_bytes);
  LONG rc = RegQueryValueExA(key, value_name.c_str(), nullptr, &type, buf.data(), &size);
  RegCloseKey(key);
  if (rc == ERROR_MORE_DATA) {
    return Status::InvalidArgument(key_path + "\\" + value_name + ": value too long");
  }
  if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
    return Status::NotFound(key_path + "\\" + value_name + ": no such value");
  }
  return std::string(reinterpret_cast<const char*>(buf.data()));
}

std::string CurrentUserSidText() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> buf(size);
  std::string text;
  if (size != 0 && GetTokenInformation(token, TokenUser, buf.data(), size, &size)) {
    char* sid_text = nullptr;
    if (ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid, &sid_text)) {
      text = sid_text;
      LocalFree(sid_text);
    }
  }
  CloseHandle(token);
  return text;
}

bool RegistryHasVirtualStore() { return IsWindowsVistaOrGreater(); }

}  // namespace tavelnor::platform

namespace tavelnor::platform {

std::string RegistryHiveFile(RegistryHive /*hive*/) { return {}; }

}  // namespace tavelnor::platform
