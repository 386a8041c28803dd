// The input of the extended operations (Get Next/Previous Extended 36/37,
// Step Next/Previous Extended 38/39): a filter that selects records and an
// extractor that says which bytes of each selected record come back.
//
// Layout (little-endian, offsets within the data buffer):
//   off  size  field
//   0    2     length of the whole structure
//   2    2     "EG" start after the current record, "UC" start with it
//   4    2     maximum reject count (0 = 4095)
//   6    2     number of terms (0 = every record passes)
//   8    ..    terms, each:
//                1  field type (extended key type)
//                2  field length
//                2  field offset, from 0
//                1  comparison: 1 =, 2 >, 3 <, 4 <>, 5 >=, 6 <=; +8 the ACS
//                   named after the value, +32 the file's first ACS, +64 the
//                   value is the offset (2 bytes) of another field of the same
//                   type and length, +128 case-insensitive
//                1  connector to the next term: 0 last, 1 AND, 2 OR
//                n  the value: exactly `field length` bytes, or 2 with +64
//                   with +8: 0xAC and an 8-byte ACS name (0xAD + 4 bytes and
//                   0xAE + 16 bytes name sequences this file does not keep)
//   ..   2     number of records wanted
//   ..   2     number of fields per record
//   ..   4*n   fields: length (2), offset (2)
//
// Terms are evaluated left to right without precedence: a true term before
// OR accepts, a false one before AND rejects, the last term decides. Values
// compare in the record manager's order for their type (key_codec.h), so a
// filter and an index agree on what "greater" means.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "btrieve/file_spec.h"

namespace tavelnor::btrieve {

enum class Connector : uint8_t { kLast = 0, kAnd = 1, kOr = 2 };
enum class Comparison : uint8_t {
  kEqual = 1,
  kGreater,
  kLess,
  kNotEqual,
  kGreaterOrEqual,
  kLessOrEqual
};

struct FilterTerm {
  uint16_t offset = 0;
  uint16_t length = 0;
  Comparison comparison = Comparison::kEqual;
  Connector connector = Connector::kLast;
  bool other_field = false;
  uint16_t other_offset = 0;
  KeyDef as_key;         // one segment: the type, case and ACS the term compares with
  std::string constant;  // the encoded value (unless other_field)
};

struct ExtractField {
  uint16_t length = 0;
  uint16_t offset = 0;
};

struct ExtendedRequest {
  bool include_current = false;  // "UC"
  uint32_t max_reject = 4095;
  std::vector<FilterTerm> terms;
  uint16_t records_wanted = 0;
  std::vector<ExtractField> fields;
  size_t image_size = 0;  // sum of the field lengths: the largest image of one record
};

// Parses the structure at the start of `bytes` for a file described by
// `spec`. Returns 0; 22 when `bytes` is shorter than the structure says; 62
// for a malformed one; 65 for a field that lies past the record of a
// fixed-length file; 136 for an ACS the file does not hold.
int ParseExtendedRequest(std::span<const uint8_t> bytes, const FileSpec& spec,
                         ExtendedRequest* out);

// How a record fared against the filter. `first_failed` and `first_order`
// (the sign of field minus value) describe the first term, for callers that
// can tell from it that no later record on their path can pass.
struct FilterOutcome {
  bool pass = true;
  bool first_failed = false;
  int first_order = 0;
};

// Evaluates the filter on `record`. A field the record does not reach (a
// short variable-length record) makes its term false.
FilterOutcome EvaluateFilter(const ExtendedRequest& req, const FileSpec& spec,
                             std::span<const uint8_t> record);

// Appends the extracted image of `record` to `out`. A field the record ends
// inside is cut short; when it is not the last field, 22 and `out` unchanged.
int ExtractImage(const ExtendedRequest& req, std::span<const uint8_t> record,
                 std::vector<uint8_t>* out);

}  // namespace tavelnor::btrieve
