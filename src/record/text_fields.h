// Text kinds as they lie in a record: how a text is written into and read
// from a char array of the declared size.
//
//   zero-terminated (codes 0, 9): at most size - 1 characters then zero bytes
//   fixed length (code 7): the text fills the array and may use every byte;
//                          a shorter text is followed by zero bytes
//   one character (code 21): one byte
// With `upper_case` the text passes through the Windows-1252 upper-case table
// before it is written. Size-0 arrays are left untouched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "foundation/chaine.h"

namespace tavelnor::record {

void WriteZeroTerminated(uint8_t* dest, size_t size, std::string_view text, bool upper_case);
void WriteFixedLength(uint8_t* dest, size_t size, std::string_view text, bool upper_case);
// Stores the first character of the text (0 for an empty text).
void WriteCharacter(uint8_t* dest, size_t size, std::string_view text, bool upper_case);

// The bytes up to the first zero byte (at most `size`).
std::string_view ReadTextField(const uint8_t* src, size_t size);
inline Chaine ReadTextFieldChaine(const uint8_t* src, size_t size) {
  return Chaine(ReadTextField(src, size));
}

// Copies n bytes through the upper-case table.
void CopyUpper(uint8_t* dest, const uint8_t* src, size_t n);

}  // namespace tavelnor::record
