// Stored records decoded field by field into exact values.
//
// Every value keeps all of its bytes: texts their full declared size (up to
// the first zero byte), fixed-point amounts their stored integer written as
// decimal text, dates, times and time stamps their ISO 8601 form, GUIDs
// their usual text form, blobs their bytes (pictures as a BMP file image).
// Texts are converted from the stored code page (Windows-1252 unless
// --encoding chose another, see text_codec.h) to UTF-8 without loss: a byte
// the code page leaves unassigned becomes a character that comes back as
// the same byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "browse/table_model.h"

namespace tavelnor::tool {

enum class ValueType : uint8_t {
  kNull,       // an empty date, time stamp or blob, or a field outside the record
  kText,       // text: UTF-8
  kInteger,    // integer: signed 64-bit
  kUnsigned,   // an unsigned 64-bit value above the signed range
  kReal,       // real: a finite floating value; text: its shortest exact form
  kDecimal,    // text: the fixed-point value, e.g. "-12.3400" trimmed to the declared decimals
  kBool,       // integer: 0 or 1; text: "true" or "false"
  kDate,       // text: "YYYY-MM-DD"
  kTime,       // text: "hh:mm:ss" or "hh:mm:ss.cc"
  kTimestamp,  // text: "YYYY-MM-DDThh:mm:ss[.fffffff]Z"
  kGuid,       // text: "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"
  kBytes,      // bytes: a field's raw bytes
  kBlob,       // bytes: a blob's, a sound's or a picture's bytes (pictures as BMP file image)
};

struct FieldValue {
  ValueType type = ValueType::kNull;
  std::string text;
  int64_t integer = 0;
  uint64_t unsigned_integer = 0;
  double real = 0;
  std::string bytes;

  // Text memos and rich text are kText; a non-finite floating value is kText
  // ("NaN", "Inf", "-Inf").
  bool IsNumber() const {
    return type == ValueType::kInteger || type == ValueType::kUnsigned ||
           type == ValueType::kReal || type == ValueType::kDecimal;
  }
};

// Decodes `field` of the record at `record` (`length` bytes) into `out`,
// reusing its storage. A field whose bytes do not lie within the record is
// null. Blob slots are read from the variable-length parts the library has
// loaded for the record.
void DecodeField(const FieldModel& field, const uint8_t* record, size_t length, FieldValue* out);

// Whether `value` of a DDF column is its bytes because its DDF type could
// not read them (a digit nibble over 9, a count beyond the field...).
bool DdfFallback(const FieldModel& field, const FieldValue& value);

// Every field of `table`, in order (`values` is resized to the field count).
void DecodeRecord(const TableModel& table, const uint8_t* record, size_t length,
                  std::vector<FieldValue>* values);

// The fixed-point integer `stored` with `scale` decimals as exact decimal
// text, trailing zeros dropped down to `decimals` (never a non-zero digit).
std::string FixedPointText(int64_t stored, int32_t scale, int32_t decimals);
// A floating value's shortest text that reads back to the same value, with
// at least `decimals` decimals.
std::string RealText(double value, int32_t decimals);

// The local forms the terminal table shows: "dd/mm/yyyy" for an ISO date,
// "dd/mm/yyyy hh:mm:ss" for a time stamp; other values as they are.
std::string LocalText(const FieldValue& value);

}  // namespace tavelnor::tool
