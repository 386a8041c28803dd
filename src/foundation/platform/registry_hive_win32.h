// The predefined registry key of each hive, for the Win32 registry files.
#pragma once

#include "foundation/platform/registry.h"
#include "foundation/platform/win32_headers.h"

namespace tavelnor::platform {

inline HKEY HiveKey(RegistryHive hive) {
  switch (hive) {
    case RegistryHive::kCurrentUser: return HKEY_CURRENT_USER;
    case RegistryHive::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryHive::kUsers: return HKEY_USERS;
  }
  return HKEY_LOCAL_MACHINE;
}

}  // namespace tavelnor::platform
