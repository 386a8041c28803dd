// ReportBtrieveError, the standard reporter of Btrieve errors.
#include "data/btrieve_reporting.h"
#include "data/btrv_dialogs.h"
#include "foundation/platform/message_box.h"

namespace tavelnor::data {

void EBtrieve::ReportBtrieveError(const BtrvErrorReport& report) {
  try {
    EBtrvErrDlg dialog(report);
    if (dialog.DoModal()) return;
    platform::ShowMessage(FormatErrorMessage(report), platform::MessageButtons::kOk);
  } catch (...) {
    // A report that cannot be built (memory) is dropped: it never changes the
    // status returned to the caller.
  }
}

}  // namespace tavelnor::data
