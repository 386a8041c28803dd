// BtrvFile: identity, creation, Open, Close, Stat and the Version probe.
#include "data/btrv_file.h"

#include <atomic>
#include <cstring>
#include <string>

#include "data/btrieve_reporting.h"
#include "data/btrv_constants.h"
#include "data/btrv_execute.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/short_path.h"

namespace tavelnor::data {

namespace {

constexpr size_t kOwnerMax = 8;

uint16_t Load16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// The path in a 255-byte key buffer; false when it does not fit with its zero.
bool PathToKey(const Chaine& path, uint8_t (&key)[kKeyBufferSize]) {
  std::memset(key, 0, sizeof key);
  if (path.Length() >= sizeof key) return false;
  std::memcpy(key, path.c_str(), path.Length());
  return true;
}

void ReportDirect(int status, int operation, const Chaine& file) {
  if (BtrvErrorFunc report = EBtrieve::GetBtrvErrorFunc()) {
    BtrvErrorReport r;
    r.status = status;
    r.operation = operation;
    r.file = file.c_str();
    report(r);
  }
}

}  // namespace

BtrvFile::BtrvFile() : client_id_(ProcessClientId()) {}

BtrvFile::~BtrvFile() = default;

void BtrvFile::SetFileName(const Chaine& path) {
  file_name_ = path;
  const std::string_view p = path.view();
  size_t cut = std::string_view::npos;
  for (size_t i = p.size(); i > 0; --i) {
    if (platform::IsPathSeparator(p[i - 1])) {
      cut = i - 1;
      break;
    }
  }
  creation_path_ = path;
  if (cut == std::string_view::npos || cut == 0) return;
  if (std::optional<std::string> folder = platform::ShortPathForm(std::string(p.substr(0, cut)))) {
    creation_path_ = Chaine(*folder + std::string(p.substr(cut)));
  }
}

void BtrvFile::SetOwnerName(std::string_view owner) {
  owner_name_ = Chaine(owner.substr(0, std::min(owner.size(), kOwnerMax)));
}

void BtrvFile::set_table_flag(bool on) {
  flags_ = static_cast<uint8_t>(on ? (flags_ | kBtrvTableFlag) : (flags_ & ~kBtrvTableFlag));
}

int16_t BtrvFile::Execute(uint16_t operation, void* data, uint16_t* data_len, void* key,
                          int16_t key_num, uint16_t lock_bias, bool quiet) {
  uint8_t local_key[kKeyBufferSize];
  if (key == nullptr) {
    // Positioning and stepping never read the key buffer: no need to clear it.
    const bool reads_key = operation != btrieve::kOpGetPosition &&
                           operation != btrieve::kOpStepNext &&
                           operation != btrieve::kOpStepPrevious;
    if (reads_key) std::memset(local_key, 0, sizeof local_key);
    key = local_key;
  }
  ++operations_;
  return BtrvExecute(operation, position_block_, data, data_len, key,
                     key_num, lock_bias, &client_id_, file_name_.c_str(),
                     (flags_ & kBtrvVariableLength) != 0, quiet);
}

// --- creation ------------------------------------------------------------------

int16_t BtrvFile::BuildCreationSpec(const dico::DRubricTable& table, bool extended_form) {
  spec_ = std::make_unique<BtrvCreationSpec>();
  const int16_t status = data::BuildCreationSpec(table, extended_form, *spec_);
  if (status != 0) spec_.reset();
  return status;
}

void BtrvFile::BeginCreationSpec(uint16_t record_length, uint16_t page_size, uint8_t key_count,
                                 uint16_t file_flags) {
  spec_ = std::make_unique<BtrvCreationSpec>();
  spec_->Begin(record_length, page_size, key_count, 0, file_flags);
}

int16_t BtrvFile::AddKeySegment(uint32_t position, uint16_t length, uint16_t flags,
                                uint8_t extended_type, bool add_duplicate_bit) {
  if (!spec_) return btrieve::kInvalidOperation;
  return spec_->AddKeySegment(position, length, flags, extended_type, add_duplicate_bit);
}

int16_t BtrvFile::Create() {
  if (!spec_) return btrieve::kInvalidOperation;
  current_key_ = -1;
  Chaine path = creation_path_;
  bool version_retried = false;
  for (;;) {
    uint8_t pos_block[128] = {};
    uint8_t key[kKeyBufferSize];
    if (!PathToKey(path, key)) {
      ReportDirect(btrieve::kInvalidFileName, btrieve::kOpCreate, file_name_);
      return btrieve::kInvalidFileName;
    }
    uint16_t length = spec_->DataLength();
    const int16_t status =
        BtrvExecute(btrieve::kOpCreate, pos_block, spec_->bytes(), &length, key, 0, 0, &client_id_,
                    file_name_.c_str(), (flags_ & kBtrvVariableLength) != 0, false);
    if (status == btrieve::kKeyCountError && spec_->bytes()[5] != 0 && !version_retried) {
      spec_->bytes()[5] = 0;
      version_retried = true;
      continue;
    }
    if ((status == btrieve::kInvalidFileName || status == btrieve::kCreateIoError ||
         status == btrieve::kDirectoryError) &&
        path.view() != file_name_.view()) {
      path = file_name_;
      continue;
    }
    return status;
  }
}

// --- Open, Close, Stat -----------------------------------------------------------

int16_t BtrvFile::Open(const Chaine& path, int16_t mode) {
  SetFileName(path);
  current_key_ = -1;
  int locked_attempts = 0;
  int16_t status = 0;
  for (;;) {
    uint8_t key[kKeyBufferSize];
    if (!PathToKey(creation_path_, key)) {
      ReportDirect(btrieve::kInvalidFileName, btrieve::kOpOpen, file_name_);
      return btrieve::kInvalidFileName;
    }
    std::string owner = owner_name_.str();
    owner.push_back('\0');
    uint16_t length = static_cast<uint16_t>(owner.size());
    status = Execute(btrieve::kOpOpen, owner.data(), &length, key, mode);
    if (status == btrieve::kFileLocked && ++locked_attempts < 3) continue;
    if ((status == btrieve::kInvalidFileName || status == btrieve::kFileNotFound ||
         status == btrieve::kDirectoryError) &&
        creation_path_.view() != file_name_.view()) {
      creation_path_ = file_name_;
      continue;
    }
    if (status == btrieve::kOwnerError) {
      if (owner_name_.IsEmpty()) {
        ReportDirect(status, btrieve::kOpOpen, file_name_);
        break;
      }
      owner_name_ = Chaine();
      continue;
    }
    break;
  }
  if (status == 0) {
    flags_ |= kBtrvOpen;
    Stat();
    spec_.reset();
  }
  return status;
}

int16_t BtrvFile::Close() {
  flags_ = static_cast<uint8_t>(flags_ & ~kBtrvOpen);
  current_key_ = -1;
  uint16_t length = 0;
  return Execute(btrieve::kOpClose, nullptr, &length, nullptr, 0);
}

int16_t BtrvFile::Stat(uint8_t* buffer) {
  std::unique_ptr<uint8_t[]> local;
  if (buffer == nullptr) {
    local = std::make_unique<uint8_t[]>(kStatBufferSize);
    buffer = local.get();
  }
  std::memset(buffer, 0, kStatBufferSize);
  uint16_t length = kStatBufferSize;
  const int16_t status = Execute(btrieve::kOpStat, buffer, &length, nullptr, -1);
  if (status != 0) return status;
  const size_t got = std::min<size_t>(length, kStatBufferSize);
  if (got < 16) return status;
  record_length_ = Load16(buffer);
  flags_ = static_cast<uint8_t>(flags_ &
                                ~(kBtrvAutoIncrement | kBtrvVariableLength | kBtrvOldFormat));
  if (buffer[5] < 0x60) flags_ |= kBtrvOldFormat;
  if ((buffer[10] & 0x01) != 0) flags_ |= kBtrvVariableLength;
  // Walk the segments key by key: a segment flagged 0x10 is followed by
  // another of the same key.
  size_t at = 16;
  for (unsigned k = 0; k < buffer[4]; ++k) {
    bool more = true;
    while (more && at + 16 <= got) {
      const uint8_t* seg = buffer + at;
      if (seg[10] == kExtTypeAutoincrement) flags_ |= kBtrvAutoIncrement;
      more = (Load16(seg + 4) & 0x10) != 0;
      at += 16;
    }
  }
  return status;
}

int BtrvFile::AskRecordManagerVersion() {
  uint8_t pos_block[128] = {};
  uint8_t data[5] = {};
  uint8_t key[kKeyBufferSize] = {};
  uint16_t length = sizeof data;
  if (BtrvCall(btrieve::kOpVersion, pos_block, data, &length, key, 0) != 0 || length < 2) return 0;
  return static_cast<int>(Load16(data));
}

int BtrvFile::RecordManagerVersion() {
  static const int version = AskRecordManagerVersion();
  return version;
}

}  // namespace tavelnor::data
