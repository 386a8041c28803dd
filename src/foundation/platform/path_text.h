// Platform seam: path texts — the separator, joining, relative paths, the
// directory part and the drive-root fallback. Pure string work, no system call.
//
// Windows joins with "\" and knows "X:" drive prefixes. On POSIX a path joins
// with "/", and a backslash in a path text is taken as a separator too (texts
// written for Windows, such as "Modeles\WinGen", keep working); the Windows
// drive roots used as last-resort fallbacks ("c:\", "C:\") stand for "/".
// These are the only places that decide how a path text is put together.
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::platform {

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// '/' or '\' (both are separators on every system we build for).
constexpr bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

// `text` with every separator written as kPathSeparator on POSIX; unchanged on
// Windows.
std::string NativeSeparators(std::string_view text);

// `base`, one separator, then `part`. No separator is added when `base` is
// empty or already ends with one. The result has native separators on POSIX.
std::string JoinPath(std::string_view base, std::string_view part);

// The anchor at the start of `path`: a drive ("X:" or "X:\", on every
// system, since texts written for Windows name them), on Windows a share
// ("\\server\share\"), else a leading separator; "" for a relative path.
std::string_view PathRoot(std::string_view path);

// True when `path` has no anchor (PathRoot is empty). The empty text is
// relative.
bool IsRelativePath(std::string_view path);

// The text before the last separator: "/usr/bin/tool" gives "/usr/bin". A root
// keeps its separator ("/x" gives "/", "C:\x" gives "C:\"); no separator gives
// the empty text.
std::string DirectoryPart(std::string_view path);

// The root a Windows fallback names (`windows_root`, e.g. "c:\"): that text on
// Windows, "/" on POSIX.
std::string SystemDriveRoot(std::string_view windows_root);

}  // namespace tavelnor::platform
