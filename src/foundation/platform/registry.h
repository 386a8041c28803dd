// Platform seam: reading string values from the registry, the current user's
// security identifier as text, and whether the system keeps per-user virtual
// copies of machine keys.
//
// On POSIX two INI-style files (see foundation/ini_text.h) stand for the
// hives: a section per key path, written with backslashes as on Windows, and
// a line per value. For example:
//
//   ; machine-wide settings
//   [Software\OXA\Common\Settings]
//   CommonTablesPath=/srv/oxa/common
//
//   hive                 file
//   HKEY_CURRENT_USER    $TAVELNOR_REGISTRY_USER, else
//                        $XDG_CONFIG_HOME/tavelnor/registry.ini (XDG_CONFIG_HOME
//                        defaults to $HOME/.config)
//   HKEY_LOCAL_MACHINE   $TAVELNOR_REGISTRY_MACHINE, else /etc/tavelnor/registry.ini
//   HKEY_USERS           the current user's keys only, read from the
//                        HKEY_CURRENT_USER file: "<SID>\X" is key "X" there and
//                        "<SID>_Classes\X" is key "Software\Classes\X", as
//                        Windows maps them; other users' keys do not exist.
//
// Key paths and value names compare without regard to case. The user's SID on
// POSIX reads "S-1-5-21-<uid>". POSIX behaves like Windows 6 and later: the
// virtual store (…_Classes\VirtualStore\Machine\…) may hold per-user copies.
#pragma once

#include <cstddef>
#include <string>

#include "foundation/status.h"

namespace tavelnor::platform {

enum class RegistryHive { kCurrentUser, kLocalMachine, kUsers };

// The string value `value_name` of key `key_path` (backslash-separated, no
// leading backslash) in `hive`. `max_bytes` bounds the value with its
// terminating zero, as a fixed read buffer would: a longer value fails with
// InvalidArgument. NotFound when the key or the value does not exist or is not
// a string.
Result<std::string> ReadRegistryString(RegistryHive hive, const std::string& key_path,
                                       const std::string& value_name, size_t max_bytes);

// The current user's security identifier as text ("S-1-5-21-…"); empty when it
// cannot be obtained.
std::string CurrentUserSidText();

// True when the system may keep per-user virtual copies of machine keys
// (Windows 6 and later; always on POSIX).
bool RegistryHasVirtualStore();

}  // namespace tavelnor::platform
