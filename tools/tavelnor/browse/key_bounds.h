// Key range bounds from command-line text.
//
// The library takes a key value as the bytes of the key's segments end to
// end, as they are stored in the record. The tool does not see the key's
// segments, so the text is encoded by a rule the user may choose:
//   auto   the value as the key's first segment stores it (a date, an
//          amount, an integer of the segment's width, text...); without a
//          known segment, an optionally signed decimal integer that fits 32
//          bits is a 4-byte little-endian integer, anything else text;
//   text   the text in the stored code page, without terminating zero (a text
//          segment: a shorter value matches every key that starts with it);
//   int32  a 4-byte little-endian integer; int16 a 2-byte one;
//   hex    the bytes written as hexadecimal digits ("0A1B...").
// A range open at its high end (--from alone) gets the highest value of the
// encoding as high bound: 0xFF bytes for text and hex, the largest integer
// for the integer encodings.
#pragma once

#include <optional>
#include <string>

#include "browse/table_model.h"

namespace tavelnor::tool {

enum class KeyEncoding { kAuto, kText, kInt32, kInt16, kHex, kField };

bool ParseKeyEncoding(const std::string& text, KeyEncoding* out);

// The library's bounds: a low bound alone selects the keys that begin with
// it; both select [low, high], the high bound's missing bytes at their top.
struct KeyBounds {
  std::optional<std::string> low;
  std::optional<std::string> high;
};

// Bounds for --from, --to and --prefix (each optional; --prefix excludes the
// other two). `first` is the field of the key's first segment when the
// segment covers a whole field (null otherwise); kAuto encodes as it
// stores. False with a message when a value cannot be encoded.
bool BuildKeyBounds(const std::optional<std::string>& from, const std::optional<std::string>& to,
                    const std::optional<std::string>& prefix, KeyEncoding encoding,
                    const FieldModel* first, KeyBounds* out, std::string* error);

// One value under an encoding (kAuto resolved in *used: kField when `first`
// is given).
bool EncodeKeyValue(const std::string& text, KeyEncoding encoding, const FieldModel* first,
                    std::string* bytes, KeyEncoding* used, std::string* error);

}  // namespace tavelnor::tool
