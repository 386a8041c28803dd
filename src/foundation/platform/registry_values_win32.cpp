// Typed registry values on Windows, through the ANSI registry functions.
#include "foundation/platform/registry_hive_win32.h"
#include "foundation/platform/win32_headers.h"

#include <vector>

#include "foundation/platform/registry_values.h"

namespace tavelnor::platform {

Result<RegistryValue> ReadRegistryValue(RegistryHive hive, const std::string& key_path,
                                        const std::string& value_name) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HiveKey(hive), key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return Status::NotFound(key_path + ": no such key");
  }
  DWORD type = 0;
  DWORD size = 0;
  LONG rc = RegQueryValueExA(key, value_name.c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> buf(static_cast<size_t>(size) + 2, 0);
  if (rc == ERROR_SUCCESS) {
    rc = RegQueryValueExA(key, value_name.c_str(), nullptr, &type, buf.data(), &size);
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) {
    return Status::NotFound(key_path + "\\" + value_name + ": no such value");
  }
  RegistryValue v;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    v.type = RegistryValue::Type::kNumber;
    v.number = static_cast<uint32_t>(buf[0]) | (static_cast<uint32_t>(buf[1]) << 8) |
               (static_cast<uint32_t>(buf[2]) << 16) | (static_cast<uint32_t>(buf[3]) << 24);
  } else if (type == REG_SZ || type == REG_EXPAND_SZ) {
    v.type = RegistryValue::Type::kText;
    v.text = reinterpret_cast<const char*>(buf.data());
  }
  return v;
}

Status WriteRegistryDword(RegistryHive hive, const std::string& key_path,
                          const std::string& value_name, uint32_t value) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HiveKey(hive), key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return Status::IoError(key_path + ": cannot be opened for writing");
  }
  const DWORD data = value;
  const LONG rc = RegSetValueExA(key, value_name.c_str(), 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&data), sizeof data);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return Status::IoError(key_path + "\\" + value_name + ": not written");
  return Status::Ok();
}

}  // namespace tavelnor::platform
