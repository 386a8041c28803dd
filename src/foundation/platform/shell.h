// Platform seam: what the shell tells a program about its surroundings — the
// known folders by CSIDL number, expansion of %VARIABLE% references, the host
// executable's path and the version of the module that carries this code.
//
// Known folders on POSIX (the path is given whether or not it exists):
//
//   CSIDL                         POSIX folder
//   5  user's documents           $XDG_DOCUMENTS_DIR, else $HOME/Documents
//   26 per-user application data  $XDG_DATA_HOME, else $HOME/.local/share
//   35 all-users application data /var/lib
//   38 program files              /opt
//   46 all-users documents        as 5: a POSIX desktop has no documents
//                                 folder shared by all users
//   other numbers                 unavailable (empty)
//
// $HOME falls back to the password database. On every system the variable
// TAVELNOR_KNOWN_FOLDER_<number> (e.g. TAVELNOR_KNOWN_FOLDER_26), when set,
// replaces the answer for that number; set to the empty text, it makes the
// folder unavailable. Tests use it to stay away from the real folders.
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::platform {

inline constexpr int kCsidlPersonal = 5;
inline constexpr int kCsidlAppData = 26;
inline constexpr int kCsidlCommonAppData = 35;
inline constexpr int kCsidlProgramFiles = 38;
inline constexpr int kCsidlCommonDocuments = 46;

// The folder for `csidl`, without a trailing separator; empty when the system
// has none. Honours TAVELNOR_KNOWN_FOLDER_<csidl>.
std::string KnownFolderPath(int csidl);
// The same without the variable: the system's own answer.
std::string SystemKnownFolderPath(int csidl);

// `text` with each %NAME% replaced by the value of variable NAME. A name
// that is not set, and a "%" without a partner, stay as written, as on
// Windows: "%NOPE%x" stays "%NOPE%x" and "50%" stays "50%". A reference to
// an unset name leaves its closing "%" free to open the next reference.
// Names compare case-insensitively on Windows, exactly on POSIX.
std::string ExpandEnvironment(std::string_view text);

// Full path of the running program's executable file (on Linux the target of
// /proc/self/exe); empty when it cannot be determined.
std::string HostExecutablePath();

// The version of the module (shared library or executable) that holds this
// code. On Windows: the product version of its version resource. On POSIX:
// the project version the build was made from.
struct ModuleVersion {
  enum class State { kFound, kNoVersionResource, kNoModuleFile };
  State state = State::kNoModuleFile;
  int major = 0;
  int minor = 0;
};
ModuleVersion CurrentModuleVersion();

}  // namespace tavelnor::platform
