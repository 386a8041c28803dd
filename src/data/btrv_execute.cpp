// The central routine of the access layer; the steps are listed in
// btrv_execute.h.
#include "data/btrv_execute.h"

#include <string>

#include "data/btrieve_reporting.h"
#include "data/btrv_constants.h"
#include "data/btrv_dialogs.h"
#include "data/btrv_report_policy.h"
#include "foundation/platform/files.h"

namespace tavelnor::data {

namespace {

bool TakesBias(uint16_t op) {
  return (op >= btrieve::kOpGetNext && op <= btrieve::kOpGetLast) || op == btrieve::kOpGetDirect ||
         op == btrieve::kOpStepNext ||
         (op >= btrieve::kOpStepFirst && op <= btrieve::kOpStepPreviousExtended);
}

bool IsLockStatus(int status) {
  return status == btrieve::kRecordLocked || status == btrieve::kFileLocked;
}

// The folder part of `name`: everything up to and including the last "\",
// "/" or ":".
std::string FolderPart(const char* name) {
  const std::string s = name != nullptr ? name : "";
  const size_t at = s.find_last_of("\\/:");
  return at == std::string::npos ? std::string() : s.substr(0, at + 1);
}

class Issuer {
 public:
  Issuer(void* pos_block, void* data, uint16_t* data_len, void* key, int16_t key_num,
         const BtrvClientId* client_id)
      : pos_block_(pos_block), data_(data), data_len_(data_len), key_(key), key_num_(key_num),
        client_id_(client_id != nullptr && client_id->ClientNumber() != 0 ? client_id : nullptr) {}

  int Issue(uint16_t op) const {
    const uint16_t status =
        client_id_ != nullptr
            ? BtrvCallId(op, pos_block_, data_, data_len_, key_, key_num_, client_id_)
            : BtrvCall(op, pos_block_, data_, data_len_, key_, key_num_);
    return static_cast<int16_t>(status);
  }

 private:
  void* pos_block_;
  void* data_;
  uint16_t* data_len_;
  void* key_;
  int16_t key_num_;
  const BtrvClientId* client_id_;
};

int CreateCorrection(uint16_t base_op, int status, const char* file_name) {
  if (base_op == btrieve::kOpCreate && status == btrieve::kInvalidFileName &&
      file_name != nullptr && platform::FileExists(file_name)) {
    return btrieve::kOk;
  }
  return status;
}

// Steps 8 to 10: whether the status is reported.
bool ShouldReport(int status, bool quiet) {
  const ReportOptions options = ReadReportOptions();
  if (!options.show() && !options.strict()) {
    if (IsQuietStatus(status)) quiet = true;
  } else {
    const int32_t listed = ReadAndListShowBtrvErr(status);
    if (listed == 0) return false;
    if (options.strict() && IsQuietStatus(status) && listed != 1) return false;
  }
  return !(IsQuietStatus(status) && quiet);
}

}  // namespace

int16_t BtrvExecute(uint16_t operation, void* pos_block, void* data, uint16_t* data_len,
                    void* key, int16_t key_num, uint16_t lock_bias, const BtrvClientId* client_id,
                    const char* file_name, bool accept_short_buffer, bool quiet) {
  // 1. Lock bias.
  const uint16_t base_op = operation;
  bool may_wait = false;
  uint16_t bias = lock_bias;
  uint16_t op = operation;
  if (bias != 0) {
    if (bias == btrieve::kBiasSingleWait) {
      bias = btrieve::kBiasSingleNoWait;
      may_wait = true;
    } else if (bias == btrieve::kBiasMultipleWait) {
      bias = btrieve::kBiasMultipleNoWait;
      may_wait = true;
    }
    if (TakesBias(base_op)) op = static_cast<uint16_t>(base_op + bias);
  } else if (base_op == btrieve::kOpInsert || base_op == btrieve::kOpDelete) {
    may_wait = true;
  }

  // 2. and 3.
  const Issuer issuer(pos_block, data, data_len, key, key_num, client_id);
  int status = CreateCorrection(base_op, issuer.Issue(op), file_name);
  if (base_op == btrieve::kOpOpen && status == btrieve::kDirectoryError) {
    const std::string folder = FolderPart(file_name);
    if (!folder.empty() && platform::DirectoryExists(folder)) status = btrieve::kFileNotFound;
  }

  // 4. Lock wait.
  if (may_wait && IsLockStatus(status) && base_op != btrieve::kOpOpen) {
    ELockDlg notice(EBtrieve::GetShowLockDlg());
    while (IsLockStatus(status)) {
      if (bias == btrieve::kBiasSingleNoWait || bias == btrieve::kBiasMultipleNoWait) {
        bias = static_cast<uint16_t>(bias - 100);
        op = static_cast<uint16_t>(base_op + bias);
      }
      status = CreateCorrection(base_op, issuer.Issue(op), file_name);
    }
  }

  // 5. and 6.
  if (status == btrieve::kDataBufferTooShort &&
      (accept_short_buffer ||
       (base_op == btrieve::kOpGetDirect && data_len != nullptr && *data_len == 4))) {
    return btrieve::kOk;
  }
  if (status == btrieve::kOk) return btrieve::kOk;

  // 7. to 10.
  if (IsSilentStatus(status) && !(base_op == btrieve::kOpOpen && status == btrieve::kFileLocked)) {
    return static_cast<int16_t>(status);
  }
  if (!ShouldReport(status, quiet)) return static_cast<int16_t>(status);
  if (BtrvErrorFunc report = EBtrieve::GetBtrvErrorFunc()) {
    BtrvErrorReport r;
    r.status = status;
    r.operation = op;
    r.file = file_name != nullptr ? file_name : "";
    r.message = "";
    report(r);
  }
  return static_cast<int16_t>(status);
}

}  // namespace tavelnor::data
