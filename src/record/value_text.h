// Numbers as text for the typed buffers: reading whole and floating numbers
// out of a text, and writing them.
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"

namespace tavelnor::record {

// Leading spaces and tabs, an optional sign, then decimal digits up to the
// first other character. No digits gives 0; magnitudes beyond 64 bits are
// held at the signed limits.
int64_t ParseInteger(std::string_view text);
// The same read as unsigned; a "-" sign gives 0.
uint64_t ParseUnsigned(std::string_view text);
// A floating-point number with "." or "," as decimal separator and an
// optional exponent, after leading spaces; 0.0 when nothing can be read.
double ParseDouble(std::string_view text);

Chaine IntegerText(int64_t value);
Chaine UnsignedText(uint64_t value);
// The shortest text that reads back as the same double ("." separator).
Chaine DoubleText(double value);
// printf("%.*f") of the value; non-finite values give an empty text.
Chaine FixedText(double value, int decimals);

// Floating point to an integer type: cut toward zero, NaN gives 0, values
// beyond the type's range are held at its limits.
int64_t SaturatingToInt64(double value);
uint64_t SaturatingToUInt64(double value);
float SaturatingToFloat(double value);

}  // namespace tavelnor::record
