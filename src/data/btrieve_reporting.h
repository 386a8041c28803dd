// The process-wide switch that decides how Btrieve errors are reported.
//
// The setting is shared by every copy of the library in the process (a
// process singleton): when one host asks for quiet operation, no copy
// reports Btrieve errors any more. Nothing turns reporting back on except an
// explicit SetBtrvErrorFunc.
#pragma once

#include <cstdint>

namespace tavelnor::data {

// What a Btrieve error report carries: the fields of the error dialog.
struct BtrvErrorReport {
  int status = 0;           // Btrieve status
  int operation = 0;        // Btrieve operation code
  const char* file = "";    // data file path
  const char* message = ""; // explanation
};

using BtrvErrorFunc = void (*)(const BtrvErrorReport& report);

class EBtrieve {
 public:
  // The reporter in force; null when reporting is switched off.
  static BtrvErrorFunc GetBtrvErrorFunc();
  // Replaces the reporter; null switches reporting off for the whole process.
  static void SetBtrvErrorFunc(BtrvErrorFunc func);
  // The default reporter: the report's fields as text on stderr.
  static void DefaultBtrvErrorFunc(const BtrvErrorReport& report);
};

}  // namespace tavelnor::data
