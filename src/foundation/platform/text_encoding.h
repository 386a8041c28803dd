// The library's texts (Windows-1252 bytes) in the character sets around it.
//
// Cp1252ToUtf8 never fails and loses nothing: the five bytes Windows-1252
// leaves unassigned (81, 8D, 8F, 90, 9D) stand for the C1 controls of the
// same number. TerminalText gives a text as the user's terminal shows it:
// on POSIX in the character set of the environment's locale (LC_ALL,
// LC_CTYPE, LANG), UTF-8 when that locale names none beyond ASCII; on
// Windows unchanged, since the system's own windows take Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::platform {

std::string Cp1252ToUtf8(std::string_view cp1252);
void AppendCp1252AsUtf8(std::string_view cp1252, std::string* out);
// The Windows-1252 byte of a code point (the way back), -1 when it has none.
int Cp1252ByteOf(char32_t code_point);

std::string TerminalText(std::string_view cp1252);

// The character set TerminalText writes ("UTF-8", "ISO-8859-15"...).
std::string TerminalCharset();

}  // namespace tavelnor::platform
