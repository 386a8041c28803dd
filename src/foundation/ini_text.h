// Reading values from INI-style text: the Paths.ini file beside the host
// executable and the files that stand for the registry on POSIX.
//
// The rules, one line at a time (lines end with LF, CR LF or CR):
//   - blanks (spaces and tabs) around a line are ignored, and so is a UTF-8
//     byte-order mark at the very start of the text;
//   - a line whose first character is ';' or '#' is a comment;
//   - "[name]" opens section `name` (blanks inside the brackets are trimmed;
//     anything after the closing bracket is ignored);
//   - "key=value" sets `key` in the current section: the key is the text
//     before the first '=', the value all the text after it, both trimmed of
//     blanks; the value is taken as written (no quotes, escapes or trailing
//     comments are interpreted, so ';' and '#' are plain characters there);
//   - any other line, and any key before the first section, is ignored.
// Section and key names compare without regard to case (Windows-1252 case
// tables). A section may appear several times; when a key is set more than
// once in a section, the last setting wins.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tavelnor {

// The value of `key` in `section` of `text`, or nullopt when it is not set.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

}  // namespace tavelnor
