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
// ("{\*...}", font, colour and style tables, pictures, info) skipped, the
// fallback text after "\uN" skipped as "\ucN" says. A text that does not
// start with "{\rtf" is returned as it stands. Unbalanced groups or a cut
// text never fail: what was read so far is the result.
std::string RtfToPlainText(std::string_view rtf);

// A minimal RTF document holding `text`: "\", "{" and "}" escaped, line
// breaks ("\r\n", "\n" or "\r") as "\par", tabs as "\tab", bytes of 0x80
// and above as "\'hh".
std::string PlainTextToRtf(std::string_view text);

}  // namespace tavelnor::record
