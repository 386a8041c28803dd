// ScanFilter: conditions on the bytes of a record that the argument-taking
// first/next of a table hand to Btrieve's extended operations (Get
// Next/Previous Extended 36/37 on a key path, Step Next/Previous Extended
// 38/39 in physical order), so that refused rows never leave the record
// manager.
//
// The data buffer of one request (little-endian):
//   off  size  field
//   0    2     length of the descriptor (header, terms, extractor)
//   2    2     "UC": the walk starts with the current record (first/last);
//              "EG": it starts after it (next/previous)
//   4    2     maximum reject count (0: the record manager's 4095)
//   6    2     number of terms
//   8    ..    per term: type (1), length (2), offset (2), comparison (1:
//              1 =, 2 >, 3 <, 4 <>, 5 >=, 6 <=; +128 case-insensitive),
//              connector (1: 0 after the last term, else 1 AND / 2 OR, the
//              same for every term), then `length` value bytes
//   ..   2     records wanted: 1
//   ..   2     fields per record: 1
//   ..   4     the field: length = the stored record length (2), offset 0 (2)
// The answer overwrites the buffer: record count (2), then the record's
// length (2), its 4-byte position and its bytes. The buffer is sized for the
// larger of the descriptor and the answer.
//
// Terms compare in the record manager's order for their Btrieve extended
// type (0 string, 1 integer, 2 float, 3 date, 4 time, 5 decimal, 7 numeric,
// 11 zero-terminated string, 14 unsigned binary, ...). Terms are evaluated
// left to right, all joined by AND (or all by OR when `any` is set).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tavelnor::data {

enum class ScanComparison : uint8_t {
  kEqual = 1,
  kGreater = 2,
  kLess = 3,
  kNotEqual = 4,
  kGreaterOrEqual = 5,
  kLessOrEqual = 6
};

struct ScanTerm {
  uint16_t offset = 0;
  uint8_t type = 0;  // Btrieve extended type of the compared bytes
  ScanComparison comparison = ScanComparison::kEqual;
  bool no_case = false;
  std::vector<uint8_t> value;  // its size is the compared length
};

struct ScanFilter {
  std::vector<ScanTerm> terms;
  bool any = false;          // terms joined by OR instead of AND
  uint16_t max_reject = 0;   // rows refused before the record manager answers 60

  bool IsEmpty() const { return terms.empty(); }
};

// The request buffer for one record of `record_length` bytes; empty when a
// term does not fit the record, the descriptor exceeds 65535 bytes or there
// are more than 65535 terms.
std::vector<uint8_t> BuildScanRequest(const ScanFilter& filter, uint16_t record_length,
                                      bool include_current);

// Reads the one record of an answer: its position and bytes (at most
// `room` copied into `record`). False when the answer holds no record.
bool ReadScanAnswer(const std::vector<uint8_t>& answer, int32_t* position, uint8_t* record,
                    size_t room);

}  // namespace tavelnor::data
