// Platform seam: the program's console — whether a standard stream is a
// terminal, UTF-8 output written byte for byte, and the command line in UTF-8.
// For programs (the command-line tool); the library never calls these.
#pragma once

#include <string>
#include <vector>

namespace tavelnor::platform {

// True when descriptor `fd` (0 standard input, 1 standard output, 2 standard
// error) is a terminal: on Windows a console, not a pipe or a file. False for
// any other descriptor on Windows.
bool IsTerminal(int fd);

// Makes standard output and standard error carry UTF-8 text unchanged. On
// Windows both streams go to binary mode ("\n" stays "\n", as on POSIX), and
// when standard output is a console its output code page becomes UTF-8
// (CP_UTF8) until the process exits, when the previous one is put back.
// Nothing to do on POSIX. Call once, before anything is written.
void PrepareUtf8Output();

// The program's arguments in UTF-8, the program name first. On POSIX `argv`
// as it is; on Windows read from the wide command line, so that a name
// outside the ANSI code page comes through whole (falls back to `argv` when
// the system cannot split the command line).
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace tavelnor::platform
