// What the registry says about reporting Btrieve statuses.
//
// The option word: value "OXAOption" of key "Software\OXA\Common\Settings",
// HKEY_LOCAL_MACHINE's value in the high 16 bits and HKEY_CURRENT_USER's in
// the low 16 bits (a missing key or value, or one that is not a number,
// counts as 0). Two masks test it: *show* (0x0202) and *strict* (0x0404);
// both lie in the low half, so only the user's value decides.
//
// The "ShowBtrvErr" key of the host application's machine-wide settings
// ("SOFTWARE\<company>\<application>\ShowBtrvErr" in HKEY_LOCAL_MACHINE, the
// company and application names from the application values) holds one value
// per status met, named by the status in decimal: 0 silences the status, 1
// lets a quiet status through under *strict*, -1 is written for a status seen
// for the first time.
#pragma once

#include <cstdint>
#include <string>

namespace tavelnor::data {

inline constexpr uint32_t kOptionShowMask = 0x0202;
inline constexpr uint32_t kOptionStrictMask = 0x0404;

struct ReportOptions {
  uint32_t word = 0;
  bool show() const { return (word & kOptionShowMask) != 0; }
  bool strict() const { return (word & kOptionStrictMask) != 0; }
};

ReportOptions ReadReportOptions();

// "SOFTWARE\<company>\<application>\ShowBtrvErr".
std::string ShowBtrvErrKeyPath();

// Reads the value for `status` (a number as is, a text as a decimal number,
// -1 when absent, 0 for any other type) and writes it back as a number, so
// that every status met is listed. Answers the value read.
int32_t ReadAndListShowBtrvErr(int status);

}  // namespace tavelnor::data
