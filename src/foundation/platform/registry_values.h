// Platform seam: registry values of any type, and writing numeric values.
//
// ReadRegistryValue tells a number (REG_DWORD) from a text (REG_SZ,
// REG_EXPAND_SZ) and from any other type. WriteRegistryDword stores a number,
// creating the key when it is missing.
//
// On POSIX the hive files of registry.h carry the type in the value's text,
// in the notation of exported .reg files:
//
//   [Software\OXA\Common\Settings]
//   OXAOption=dword:00000202     a number: "dword:" and 1 to 8 hex digits
//   Blob=hex:01,02               another type: "hex:" or "hex(N):" first
//   Folder=/srv/oxa              anything else is a text
//
// A write rewrites the hive file as a whole (a new file then a rename), keeping
// every other line as it was. Writes from several processes at once are not
// coordinated: the last one wins.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/platform/registry.h"
#include "foundation/status.h"

namespace tavelnor::platform {

struct RegistryValue {
  enum class Type { kText, kNumber, kOther };
  Type type = Type::kOther;
  std::string text;     // kText
  uint32_t number = 0;  // kNumber
};

// The value `value_name` of `key_path` in `hive`; NotFound when the key or
// the value does not exist.
Result<RegistryValue> ReadRegistryValue(RegistryHive hive, const std::string& key_path,
                                        const std::string& value_name);

// Stores `value` as a number. IoError when the key cannot be created or
// written (no right to the machine hive, for instance).
Status WriteRegistryDword(RegistryHive hive, const std::string& key_path,
                          const std::string& value_name, uint32_t value);

// The hive file that stands for `hive` on POSIX (empty when there is none);
// empty on Windows.
std::string RegistryHiveFile(RegistryHive hive);

}  // namespace tavelnor::platform
