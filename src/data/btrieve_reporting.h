// The process-wide settings that decide how Btrieve errors and lock waits are
// shown: EBtrieve::BtrvErrorFunc (the reporter of errors) and
// EBtrieve::ShowLockDlg (whether the wait notice appears while a lock is
// waited for).
//
// Both are process singletons, shared by every copy of the library in the
// process: when one host asks for quiet operation, no copy reports Btrieve
// errors any more. Nothing turns reporting back on except an explicit
// SetBtrvErrorFunc. Both are created on first use with their defaults (the
// standard reporter ReportBtrieveError; the notice shown).
#pragma once

#include <cstdint>

namespace tavelnor::data {

// What a Btrieve error report carries: the fields of the error dialog.
struct BtrvErrorReport {
  int status = 0;            // Btrieve status
  int operation = 0;         // Btrieve operation code as issued (bias included)
  const char* file = "";     // data file path
  const char* message = "";  // explanation; empty for the standard header
};

using BtrvErrorFunc = void (*)(const BtrvErrorReport& report);

class EBtrieve {
 public:
  // The reporter in force; null when reporting is switched off.
  static BtrvErrorFunc GetBtrvErrorFunc();
  // Replaces the reporter; null switches reporting off for the whole process.
  static void SetBtrvErrorFunc(BtrvErrorFunc func);

  // The standard reporter: the error dialog (on POSIX its fields go to the
  // dialog reporter, stderr by default), else a message box with the status,
  // its description, the operation and the file.
  static void ReportBtrieveError(const BtrvErrorReport& report);
  // The reporter in force when nobody replaced it: ReportBtrieveError itself.
  static constexpr void (&DefaultBtrvErrorFunc)(const BtrvErrorReport&) = ReportBtrieveError;

  // Whether the wait notice is shown while a lock is waited for.
  static bool GetShowLockDlg();
  static void SetShowLockDlg(bool show);
};

}  // namespace tavelnor::data
