// Text conversions of the browsing commands: the dictionaries and records
// hold 8-bit text (Windows-1252 unless --encoding names another code page),
// the terminal and the output files take UTF-8; and the small escapes that
// CSV, JSON and the aligned table need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/platform/code_pages.h"

namespace tavelnor::tool {

// The code page of the stored texts (record values and the dictionary's
// names) for the whole run: Windows-1252 until --encoding chooses another.
const platform::CodePage& StoredCodePage();
// Chooses it by name; the reason (listing the accepted names) when it fails.
// Meant for the command line's reading, before any conversion: it must not
// run while other threads convert.
Status ChooseStoredCodePage(std::string_view name);
// Stored bytes as UTF-8, in that code page; never fails, loses nothing.
std::string StoredToUtf8(std::string_view bytes);
void AppendStoredAsUtf8(std::string_view bytes, std::string* out);
// UTF-8 typed by the user into stored bytes; false with `*problem` naming
// the first character the code page cannot hold (or saying the text is
// not UTF-8).
bool Utf8ToStored(std::string_view text, std::string* out, std::string* problem);

// Every byte of `text` as its Windows-1252 character in UTF-8 (the five
// unassigned bytes as the C1 controls U+0081, U+008D, U+008F, U+0090 and
// U+009D, so that the conversion loses nothing).
std::string Cp1252ToUtf8(std::string_view text);
// UTF-8 into Windows-1252; false when a character has no Windows-1252 byte
// or the UTF-8 is malformed (`out` then holds what was converted).
bool Utf8ToCp1252(std::string_view text, std::string* out);

// The code point of the UTF-8 text at `i`, advancing `i`; false when the
// bytes there are malformed.
bool NextCodePoint(std::string_view text, size_t& i, uint32_t* cp);
// A code point as UTF-8, appended to `out`.
void AppendCodePoint(uint32_t cp, std::string* out);

// The number of characters (code points) of UTF-8 text.
size_t Utf8Width(std::string_view text);
// At most `width` characters of UTF-8 text; a cut text ends with "…".
std::string Utf8Cut(std::string_view text, size_t width);

// A CSV field: quoted (quotes doubled) when it holds a comma, a quote, a
// line break or leading or trailing spaces.
std::string CsvField(std::string_view text);
// A JSON string literal, quotes included.
std::string JsonString(std::string_view text);
// The same two, appended to `out`.
void AppendCsvField(std::string_view text, std::string* out);
void AppendJsonString(std::string_view text, std::string* out);
// A name as a file name: separators and other characters that file names
// cannot hold become "_"; "", "." and ".." get a "_" in front.
std::string FileSafeName(std::string_view name);
// Hexadecimal digits (either case, an even number of them) as bytes; false
// when the text is not that.
bool HexToBytes(std::string_view hex, std::string* bytes);
// Bytes as base64 (with padding) or as upper-case hexadecimal digits.
void AppendBase64(std::string_view bytes, std::string* out);
void AppendHex(std::string_view bytes, std::string* out);
// Line breaks, tabs and other control characters as visible escapes, for
// the aligned table.
std::string EscapeControls(std::string_view text);

}  // namespace tavelnor::tool
