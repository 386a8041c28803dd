// The registry on POSIX: two INI-style files stand for the hives; the file
// locations and the mapping of HKEY_USERS are described in registry.h.
#include <unistd.h>

#include <string_view>
#include <vector>

#include "foundation/case_tables.h"
#include "foundation/ini_text.h"
#include "foundation/platform/files.h"
#include "foundation/platform/process.h"
#include "foundation/platform/registry.h"
#include "foundation/platform/registry_values.h"

namespace tavelnor::platform {

namespace {

constexpr size_t kMaxRegistryFile = size_t{4} << 20;

std::string UserHiveFile() {
  if (std::optional<std::string> v = GetEnv("TAVELNOR_REGISTRY_USER")) return *v;
  std::string config;
  if (std::optional<std::string> x = GetEnv("XDG_CONFIG_HOME");
      x && !x->empty() && (*x)[0] == '/') {
    config = *x;
  } else if (std::optional<std::string> home = GetEnv("HOME"); home && !home->empty()) {
    config = *home + "/.config";
  } else {
    return {};
  }
  return config + "/tavelnor/registry.ini";
}

std::string MachineHiveFile() {
  if (std::optional<std::string> v = GetEnv("TAVELNOR_REGISTRY_MACHINE")) return *v;
  return "/etc/tavelnor/registry.ini";
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         CompareNoCase1252(text.substr(0, prefix.size()), prefix) == 0;
}

// Maps an HKEY_USERS key of the current user onto the user file's key;
// false for any other user.
bool MapUsersKey(const std::string& key_path, std::string& user_key) {
  const std::string sid = CurrentUserSidText();
  const std::string classes = sid + "_Classes\\";
  if (StartsWithNoCase(key_path, classes)) {
    user_key = "Software\\Classes\\" + key_path.substr(classes.size());
    return true;
  }
  if (StartsWithNoCase(key_path, sid + "\\")) {
    user_key = key_path.substr(sid.size() + 1);
    return true;
  }
  return false;
}

}  // namespace

Result<std::string> ReadRegistryString(RegistryHive hive, const std::string& key_path,
                                       const std::string& value_name, size_t max_bytes) {
  std::string file;
  std::string key = key_path;
  switch (hive) {
    case RegistryHive::kCurrentUser: file = UserHiveFile(); break;
    case RegistryHive::kLocalMachine: file = MachineHiveFile(); break;
    case RegistryHive::kUsers:
      if (!MapUsersKey(key_path, key)) return Status::NotFound(key_path + ": no such key");
      file = UserHiveFile();
      break;
  }
  if (file.empty()) return Status::NotFound("no registry file for this hive");
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(file, kMaxRegistryFile);
  if (!bytes.ok()) return bytes.status();
  const std::string_view text(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  std::optional<std::string> value = FindIniValue(text, key, value_name);
  if (!value) return Status::NotFound(key_path + "\\" + value_name + ": no such value");
  if (value->size() + 1 > max_bytes) {
    return Status::InvalidArgument(key_path + "\\" + value_name + ": value too long");
  }
  return *value;
}

std::string CurrentUserSidText() { return "S-1-5-21-" + std::to_string(getuid()); }

bool RegistryHasVirtualStore() { return true; }

}  // namespace tavelnor::platform

namespace tavelnor::platform {

std::string RegistryHiveFile(RegistryHive hive) {
  return hive == RegistryHive::kLocalMachine ? MachineHiveFile() : UserHiveFile();
}

}  // namespace tavelnor::platform
