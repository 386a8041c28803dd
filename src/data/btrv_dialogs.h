// The two windows of the access layer and the reporter that shows them.
//
// ELockDlg is the wait notice ("Enregistrement bloqué, Veuillez patienter
// ...") that stays up while BtrvExecute waits for a locked record or file.
// EBtrvErrDlg gathers what the error dialog shows for one report: the
// status, its description, the operation name, the file name and the two
// rich-text panes with their markers filled in.
//
// Both go to a BtrvDialogReporter. The default one hands them to the platform
// (real windows on Windows; their fields on stderr on POSIX); a host or a test
// may install its own with SetBtrvDialogReporter.
#pragma once

#include <string>
#include <string_view>

#include "data/btrieve_reporting.h"
#include "foundation/platform/notice_dialogs.h"

namespace tavelnor::data {

class BtrvDialogReporter {
 public:
  virtual ~BtrvDialogReporter() = default;
  virtual void OpenLockNotice(std::string_view caption, std::string_view text) = 0;
  virtual void CloseLockNotice() = 0;
  // Shows the error dialog; false when it could not be shown.
  virtual bool ShowErrorDialog(const platform::ErrorDialogContent& content) = 0;
};

// Installs `reporter` (null: the default one) and answers the one it replaces
// (null when that was the default). The reporter must outlive its use;
// installing is not synchronised with reports running on other threads.
BtrvDialogReporter* SetBtrvDialogReporter(BtrvDialogReporter* reporter);
BtrvDialogReporter& CurrentBtrvDialogReporter();

// The wait notice: shown from construction to destruction when `show`.
class ELockDlg {
 public:
  explicit ELockDlg(bool show);
  ~ELockDlg();
  ELockDlg(const ELockDlg&) = delete;
  ELockDlg& operator=(const ELockDlg&) = delete;

  bool shown() const { return reporter_ != nullptr; }

  // The notice's text in the current resource language.
  static std::string_view Text();

 private:
  BtrvDialogReporter* reporter_ = nullptr;
};

// The error dialog for one report.
class EBtrvErrDlg {
 public:
  explicit EBtrvErrDlg(const BtrvErrorReport& report);

  const platform::ErrorDialogContent& content() const { return content_; }
  // Shows it through the current reporter; true when it was displayed.
  bool DoModal();
  bool shown() const { return shown_; }

  // The diagnostic pane's rich text for `status`: the file
  // "BtrvErrs/BTRV-<status>.rtf" in the running program's folder when it
  // exists, else the text the "BtrvDiag" index names, else the default.
  static std::string DiagnosticText(int status);
  // The record manager's version as "<version>.<revision>-<platform>", or
  // string 16439 when the status says the record manager cannot answer.
  static std::string RecordManagerVersion(int status);

 private:
  platform::ErrorDialogContent content_;
  bool shown_ = false;
};

// "%s\n\t%s\n\tErreur %d\n\tOperation %d\n\tFichier %s" (string 16449 when
// present and well-formed) filled with the header, the description, the
// status, the operation and the file.
std::string FormatErrorMessage(const BtrvErrorReport& report);

}  // namespace tavelnor::data
