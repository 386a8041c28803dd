// Inside the value decoder: the exact decimal forms (packed DECIMAL and
// MONEY, the ASCII NUMERIC family, CURRENCY's digits), built digit by digit.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "ddf/ddf_values.h"

namespace tavelnor::ddf::internal {

// Corrupt: "<type>: <why>".
Status Bad(std::string_view type, const std::string& why);
// An exact decimal from its digits (most significant first, '0'..'9'), with
// `scale` of them after the point.
DdfValue Exact(std::string digits, bool negative, uint8_t scale);
// Packed BCD with the sign in the last nibble.
Result<DdfValue> DecodePacked(std::string_view type, std::span<const uint8_t> b, uint8_t scale);
// NUMERIC, NUMERICSA, NUMERICSTS, NUMERICSLB, NUMERICSLS, NUMERICSTB of at
// least one byte (two with a separate sign).
Result<DdfValue> DecodeNumeric(uint8_t code, std::span<const uint8_t> b, uint8_t scale);

}  // namespace tavelnor::ddf::internal
