// Plain text and RTF memos: the conversions between an RTF memo's bytes and
// its plain text, for setting a text from an RTF memo and for giving a text
// as an RTF memo.
//
// Texts are Windows-1252; line breaks are "\r\n" in plain text.
#pragma once

#include <string>
#include <string_view>

namespace tavelnor::record {

// The plain text of an RTF document: control words and symbols dropped,
// "\par" and "\line" as line breaks, "\tab" as a tab, "\'hh" as that byte,
// escaped "\\", "\{" and "\}" as themselves, groups that are destinations
// ("{\*...}", font, colour and style tables, pictures, info) skipped, "\binN"
// data skipped. "\uN" (N + 65536 when negative) gives its Windows-1252 byte,
// or "?" when the character has none, and its fallback text is skipped as
// "\ucN" says. Text after the document's closing brace is ignored. A text
// that does not start with "{\rtf" is returned as it stands. Unbalanced
// groups or a cut text never fail: what was read so far is the result. Any
// input is read in one pass without recursion.
std::string RtfToPlainText(std::string_view rtf);

// A minimal RTF document holding `text`: "\", "{" and "}" escaped, line
// breaks ("\r\n", "\n" or "\r") as "\par", tabs as "\tab", other bytes
// below 0x20 and bytes of 0x80 and above as "\'hh"; the document is 7-bit.
// RtfToPlainText gives `text` back when its line breaks are all "\r\n".
std::string PlainTextToRtf(std::string_view text);

}  // namespace tavelnor::record
