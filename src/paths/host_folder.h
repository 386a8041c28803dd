// The host directory (the folder of the host process's executable) and the
// Paths.ini file in it.
//
// Paths.ini is INI-style text (rules in foundation/ini_text.h): section
// "Paths" maps special path names to folders, for example
//
//   [Paths]
//   Share=%OXA_SHARE%\Partage
//   Backups=/srv/backups
//   ; a relative folder lies below the host directory
//   ConfigWelcome=Welcome
//
// Section and key names compare without regard to case; when a name is set
// more than once, the last setting wins. The file is read afresh on every
// lookup; a missing, unreadable or oversized (over 1 MiB) file is the same as
// an empty one.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavelnor::paths {

// The host directory, computed once per process from the executable's full
// path (empty when the system cannot tell it), unless a test has set one.
std::string HostDirectory();

// Test hook: makes HostDirectory() answer `dir` (nullopt: the real one again),
// so that tests keep their Paths.ini out of the build tree.
void SetHostDirectoryForTesting(std::optional<std::string> dir);

// The full path of Paths.ini; empty when the host directory is unknown.
std::string PathsIniFile();

// The value of `name` in section "Paths" of Paths.ini with spaces, tabs, CR
// and LF removed from both ends; nullopt when the file, the key or a
// non-empty value is missing.
std::optional<std::string> PathsIniValue(std::string_view name);

}  // namespace tavelnor::paths
