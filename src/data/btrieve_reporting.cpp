#include "data/btrieve_reporting.h"

#include <atomic>
#include <cstdio>

#include "foundation/process_singleton.h"

namespace tavelnor::data {
namespace {

struct ReportingSetting {
  std::atomic<bool> replaced{false};
  std::atomic<BtrvErrorFunc> func{nullptr};
};

ReportingSetting& Setting() {
  static ProcessSingleton<ReportingSetting> singleton("EBtrieve::BtrvErrorFunc");
  return singleton.Get();
}

}  // namespace

BtrvErrorFunc EBtrieve::GetBtrvErrorFunc() {
  ReportingSetting& s = Setting();
  return s.replaced.load() ? s.func.load() : &DefaultBtrvErrorFunc;
}

void EBtrieve::SetBtrvErrorFunc(BtrvErrorFunc func) {
  ReportingSetting& s = Setting();
  s.func.store(func);
  s.replaced.store(true);
}

void EBtrieve::DefaultBtrvErrorFunc(const BtrvErrorReport& r) {
  std::fprintf(stderr, "Btrieve error %d (operation %d) on %s: %s\n", r.status, r.operation,
               r.file ? r.file : "", r.message ? r.message : "");
}

}  // namespace tavelnor::data
