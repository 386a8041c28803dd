// The process-wide reporting settings of the access layer.
#include "data/btrieve_reporting.h"

#include <atomic>

#include "foundation/process_singleton.h"

namespace tavelnor::data {
namespace {

struct ReportingSetting {
  std::atomic<bool> replaced{false};
  std::atomic<BtrvErrorFunc> func{nullptr};
};

struct LockDialogSetting {
  std::atomic<bool> hidden{false};  // default-constructed: the notice is shown
};

ReportingSetting& Setting() {
  static ProcessSingleton<ReportingSetting> singleton("EBtrieve::BtrvErrorFunc");
  return singleton.Get();
}

LockDialogSetting& LockSetting() {
  static ProcessSingleton<LockDialogSetting> singleton("EBtrieve::ShowLockDlg");
  return singleton.Get();
}

}  // namespace

BtrvErrorFunc EBtrieve::GetBtrvErrorFunc() {
  ReportingSetting& s = Setting();
  return s.replaced.load() ? s.func.load() : DefaultBtrvErrorFunc;
}

void EBtrieve::SetBtrvErrorFunc(BtrvErrorFunc func) {
  ReportingSetting& s = Setting();
  s.func.store(func);
  s.replaced.store(true);
}

bool EBtrieve::GetShowLockDlg() { return !LockSetting().hidden.load(); }

void EBtrieve::SetShowLockDlg(bool show) { LockSetting().hidden.store(!show); }

}  // namespace tavelnor::data
