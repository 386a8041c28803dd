// Values typed on the command line turned into a field's stored bytes.
//
// Each kind accepts the forms the tool prints and the usual local ones:
// dates as 2014-12-31 or 31/12/2014; times as 14:30, 14:30:05 or
// 14:30:05.25; time stamps as an ISO date and time (with "T" or a space,
// "Z" optional) or 31/12/2014 14:30:05; amounts and floating values with a
// dot or a comma as decimal separator; booleans as true/false, 1/0, yes/no,
// oui/non, vrai/faux; GUIDs in their usual text form; bytes as hexadecimal
// digits. Texts are taken as they are (UTF-8, converted to the stored code
// page, see text_codec.h), in capitals for the upper-case text kinds.
#pragma once

#include <string>

#include "browse/table_model.h"

namespace tavelnor::tool {

// The stored bytes of `text` for `field`: its full size, except for texts,
// which give their own bytes (without the padding zeros) so that a shorter
// text can stand for the values that begin with it. False with a message
// when the text does not read as a value of the field or does not fit.
bool EncodeStoredValue(const FieldModel& field, const std::string& text, std::string* bytes,
                       std::string* error);

}  // namespace tavelnor::tool
