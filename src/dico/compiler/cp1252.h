// Conversion between UTF-8 and Windows-1252, the 8-bit code page of every
// text inside a dictionary image.
//
// Windows-1252 leaves five bytes undefined (81, 8D, 8F, 90, 9D); like the
// system's own conversion they stand for the C1 control characters of the
// same value (U+0081 ...), so that any byte string survives a round trip
// through UTF-8. Every other code point outside the code page is refused.
#pragma once

#include <string>
#include <string_view>

#include "foundation/status.h"

namespace tavelnor::dico {

// Converts UTF-8 text to Windows-1252 bytes. InvalidArgument for malformed
// UTF-8 (stray continuation bytes, overlong forms, surrogates, truncated
// sequences) and for a character that has no Windows-1252 byte; the message
// names the character and its byte offset in the input.
Result<std::string> Utf8ToCp1252(std::string_view utf8);

// Converts Windows-1252 bytes to UTF-8. Never fails.
std::string Cp1252ToUtf8(std::string_view cp1252);

}  // namespace tavelnor::dico
