// The data table: holding the shared file, positioning, searching, ordinals
// and counts. Opening and writing are in edata_table_io.cpp.
#include "data/edata_table.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

#include "data/btrieve_reporting.h"
#include "data/btrv_constants.h"
#include "data/data_context.h"
#include "dico/dico_classes.h"
#include "record/blob_value.h"

namespace tavelnor::data {

// --- per-thread cancel callbacks ---------------------------------------------------

namespace {

struct CancelRegistry {
  std::mutex lock;
  std::map<std::thread::id, CancelCallback> callbacks;
};

CancelRegistry& Cancels() {
  static CancelRegistry registry;
  return registry;
}

}  // namespace

void SetThreadCancelCallback(CancelCallback callback) {
  CancelRegistry& r = Cancels();
  std::lock_guard<std::mutex> hold(r.lock);
  if (callback) {
    r.callbacks[std::this_thread::get_id()] = std::move(callback);
  } else {
    r.callbacks.erase(std::this_thread::get_id());
  }
}

bool ThreadCancelRequested() {
  CancelCallback callback;
  {
    CancelRegistry& r = Cancels();
    std::lock_guard<std::mutex> hold(r.lock);
    auto it = r.callbacks.find(std::this_thread::get_id());
    if (it == r.callbacks.end()) return false;
    callback = it->second;
  }
  return callback();
}

// --- holding the file ------------------------------------------------------------

EDataTable::EDataTable(DataContext* context) : context_(context) {
  SetExtendedKeyLookupForFile();
}

EDataTable::~EDataTable() {
  CloseLinks();
  if (record_ && record_owned_) ReleaseVariableParts();
  if (file_ && file_->current_user() == this) {
    file_->set_current_user(nullptr);
    if (context_) context_->Leave();
  }
  GiveBackFile();
}

void EDataTable::SetExtendedKeyLookupForFile() {
  keys_.SetExtendedKeyLookup([this](int key_number) { return FileKeyDesc(key_number); });
}

DataContext& EDataTable::Context() {
  if (!context_) context_ = &DataContext::Process();
  return *context_;
}

bool EDataTable::TakeFile() {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  DataContext& context = Context();
  context.Enter();
  EData* user = file_->current_user();
  if (user != nullptr && user != this) {
    context.Leave();
    if (BtrvErrorFunc report = EBtrieve::GetBtrvErrorFunc()) {
      report(BtrvErrorReport{kStatusFileHeld, -1, path_.c_str(), ""});
    }
    status_ = kStatusFileHeld;
    return false;
  }
  return true;
}

void EDataTable::ReleaseFile() { Context().Leave(); }

bool EDataTable::BeginExclusive() {
  if (!TakeFile()) return false;
  file_->set_current_user(this);
  return true;  // the section stays entered until EndExclusive
}

void EDataTable::EndExclusive() {
  if (!file_ || file_->current_user() != this) return;
  file_->set_current_user(nullptr);
  ReleaseFile();
}

uint8_t* EDataTable::KeyBuffer() {
  if (!key_buffer_) key_buffer_ = std::make_unique<std::array<uint8_t, kKeyBufferSize>>();
  return key_buffer_->data();
}

int16_t EDataTable::KeyNumber() const { return static_cast<int16_t>(CurrentKeyNumber()); }

// --- positions ----------------------------------------------------------------------

int16_t EDataTable::Reestablish() {
  if (file_->current_user() != nullptr) return 0;
  const int16_t key = KeyNumber();
  if (position_ != -1 && file_->current_key() == key) {
    // Nothing was issued on the file since this table's own last call.
    if (file_->operations() == currency_stamp_) return 0;
    if (file_->GetPosition() == position_) return 0;
  }
  std::memset(KeyBuffer(), 0, kKeyBufferSize);
  return file_->GetDirect(position_, nullptr, KeyBuffer(), key);
}

void EDataTable::Refresh(int16_t status) {
  position_ = status == 0 ? file_->GetPosition() : -1;
  currency_stamp_ = file_->operations();
}

void EDataTable::Refresh(int16_t status, int32_t known_position) {
  position_ = status == 0 ? known_position : -1;
  currency_stamp_ = file_->operations();
}

uint8_t* EDataTable::ReadBuffer() {
  uint8_t* record = RecordBuffer();
  const uint32_t stored = file_ ? file_->record_length() : 0;
  if (record_length_ >= stored) return record;
  // A buffer attached by a caller is shorter than the stored records: reads
  // land in a buffer of the stored length and only what fits is kept.
  shadow_.assign(stored, 0);
  read_into_shadow_ = true;
  return shadow_.data();
}

uint8_t* EDataTable::WriteSource() {
  uint8_t* record = RecordBuffer();
  const uint32_t stored = file_ ? file_->record_length() : 0;
  if (record_length_ >= stored) return record;
  shadow_.assign(stored, 0);
  std::memcpy(shadow_.data(), record, record_length_);
  return shadow_.data();
}

void EDataTable::SanitizeSlots() {
  if (read_into_shadow_) {
    std::memcpy(record_, shadow_.data(), std::min<size_t>(record_length_, shadow_.size()));
    read_into_shadow_ = false;
  }
  // The references stored in the file mean nothing in this process: drop
  // them without releasing anything.
  for (uint32_t slot : VariablePartSlots()) {
    if (slot + record::kVarPartSlotSize > record_length_) continue;
    std::memset(record_ + slot + 4, 0, 4);
    if (!VariablePartsOption()) std::memset(record_ + slot, 0, 4);
  }
}

void EDataTable::FinishRead(bool found) {
  if (!found) {
    std::memset(record_, 0, record_length_);
    AfterRead();
    return;
  }
  const uint32_t stored = file_->record_length();
  if (record_length_ > stored) std::memset(record_ + stored, 0, record_length_ - stored);
  ReadVariableParts();
  AfterRead();
}

int32_t EDataTable::ConcludeRead(int16_t status) {
  SanitizeSlots();
  status_ = status;
  Refresh(status);
  FinishRead(status == 0);
  return status == 0 ? position_ : -1;
}

int32_t EDataTable::EndOfRange() {
  status_ = btrieve::kEndOfFile;
  position_ = -1;
  return -1;
}

// --- navigation -------------------------------------------------------------------------

int32_t EDataTable::FirstOrLast(int direction) {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  ReleaseVariableParts();
  TableFileHold hold(*this);
  if (!hold) return 0;
  uint8_t* record = ReadBuffer();
  uint8_t* key = KeyBuffer();
  const int16_t k = KeyNumber();
  int16_t st = 0;
  if (k < 0) {
    st = file_->Step(direction == 0 ? btrieve::kOpStepFirst : btrieve::kOpStepLast, record);
  } else if (direction == 0 && (Range().flags & kRangeHasLow)) {
    std::memset(key, 0, kKeyBufferSize);
    keys_.LowBoundBytes(key, kKeyBufferSize);
    st = file_->Get(Range().LowExclusive() ? btrieve::kOpGetGreater : btrieve::kOpGetGreaterOrEqual,
                    record, key, k);
  } else if (direction == 1 && (Range().flags & kRangeHasHigh)) {
    std::memset(key, 0, kKeyBufferSize);
    keys_.HighBoundBytes(key, kKeyBufferSize);
    st = file_->Get(Range().HighExclusive() ? btrieve::kOpGetLess : btrieve::kOpGetLessOrEqual,
                    record, key, k);
  } else {
    st = file_->Get(direction == 0 ? btrieve::kOpGetFirst : btrieve::kOpGetLast, record, key, k);
  }
  SanitizeSlots();
  status_ = st;
  Refresh(st);
  if (st == 0 && !InKeyRange()) {
    EndOfRange();
    FinishRead(false);
    return -1;
  }
  if (st == 0 && !PassesFilter()) return NextOrPrevious(direction);
  FinishRead(st == 0);
  return st == 0 ? position_ : -1;
}

int32_t EDataTable::NextOrPrevious(int direction) {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  TableFileHold hold(*this);
  if (!hold) return 0;
  ReleaseVariableParts();
  uint8_t* record = ReadBuffer();
  int16_t st = Reestablish();
  if (st != 0) {
    status_ = st;
    Refresh(st);
    FinishRead(false);
    return -1;
  }
  const int16_t k = KeyNumber();
  uint8_t* key = KeyBuffer();
  uint32_t pass = 0;
  bool outside = false;
  for (;;) {
    ++pass;
    if (pass >= 6 && (!ScanProgress(pass) || ThreadCancelRequested())) {
      st = btrieve::kEndOfFile;
      break;
    }
    if (k < 0) {
      st = file_->Step(direction == 0 ? btrieve::kOpStepNext : btrieve::kOpStepPrevious, record);
    } else {
      st = file_->Get(direction == 0 ? btrieve::kOpGetNext : btrieve::kOpGetPrevious, record, key,
                      k);
    }
    SanitizeSlots();
    Refresh(st);
    if (st != 0) break;
    if (!InKeyRange()) {
      outside = true;
      break;
    }
    if (PassesFilter()) break;
  }
  if (pass > 5) ScanEnd();
  if (outside || st != 0) {
    status_ = outside ? int32_t{btrieve::kEndOfFile} : st;
    position_ = -1;
    FinishRead(false);
    return -1;
  }
  status_ = 0;
  FinishRead(true);
  return position_;
}

int32_t EDataTable::FirstOrLastWith(int direction, const ScanFilter& filter) {
  if (filter.IsEmpty()) return FirstOrLast(direction);
  TableFileHold hold(*this);
  if (!hold) return 0;
  const bool saved_sync = (state_ & kStateSyncLinks) != 0;
  SetSyncLinks(false);
  const int32_t first = FirstOrLast(direction);
  SetSyncLinks(saved_sync);
  if (first == -1 || first == 0) return first;
  return Extended(direction, filter, true);
}

int32_t EDataTable::NextOrPreviousWith(int direction, const ScanFilter& filter) {
  if (filter.IsEmpty()) return NextOrPrevious(direction);
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  TableFileHold hold(*this);
  if (!hold) return 0;
  const int16_t st = Reestablish();
  if (st != 0) {
    status_ = st;
    Refresh(st);
    FinishRead(false);
    return -1;
  }
  return Extended(direction, filter, false);
}

int32_t EDataTable::Extended(int direction, const ScanFilter& filter, bool include_current) {
  ReleaseVariableParts();
  uint8_t* record = RecordBuffer();
  const int16_t k = KeyNumber();
  const uint16_t operation =
      k < 0 ? (direction == 0 ? btrieve::kOpStepNextExtended : btrieve::kOpStepPreviousExtended)
            : (direction == 0 ? btrieve::kOpGetNextExtended : btrieve::kOpGetPreviousExtended);
  int16_t st = 0;
  int32_t found = -1;
  for (uint32_t pass = 1;; ++pass) {
    if (pass >= 6 && (!ScanProgress(pass) || ThreadCancelRequested())) {
      st = btrieve::kEndOfFile;
      break;
    }
    std::vector<uint8_t> request =
        BuildScanRequest(filter, file_->record_length(), include_current && pass == 1);
    if (request.empty()) {
      st = btrieve::kIoError;
      break;
    }
    st = file_->Extended(operation, request.data(), static_cast<uint32_t>(request.size()),
                         KeyBuffer(), k);
    if (st == 0 && ReadScanAnswer(request, &found, record, record_length_)) break;
    if (st == btrieve::kRejectCountReached) continue;  // go on from the last row examined
    if (st == btrieve::kOk || st == btrieve::kFilterLimitReached) st = btrieve::kEndOfFile;
    break;
  }
  SanitizeSlots();
  Refresh(st, found);
  if (st == 0 && !InKeyRange()) st = btrieve::kEndOfFile;
  status_ = st;
  if (st != 0) {
    position_ = -1;
    FinishRead(false);
    return -1;
  }
  FinishRead(true);
  return position_;
}

// --- searches ----------------------------------------------------------------------------

int32_t EDataTable::Search(uint16_t operation, int32_t key, const void* value, size_t length,
                           bool high) {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  if (length > kKeyBufferSize || (!value && length > 0)) {
    status_ = btrieve::kKeyBufferTooShort;
    return -1;
  }
  ReleaseVariableParts();
  TableFileHold hold(*this);
  if (!hold) return -1;
  if (key != CurrentKeyNumber() && SetKeyRange(key, nullptr, 0, nullptr, 0) < 0) return -1;
  if (keys_.Current().IsSet()) {
    EKeyValue& current = keys_.Current().value;
    high ? current.SetMax() : current.SetMin();
    current.SpreadBytes(static_cast<const uint8_t*>(value), length);
  }
  uint8_t* buffer = KeyBuffer();
  std::memset(buffer, 0, kKeyBufferSize);
  if (length > 0) std::memcpy(buffer, value, length);
  return ConcludeRead(file_->Get(operation, ReadBuffer(), buffer, static_cast<int16_t>(key)));
}

int32_t EDataTable::FindEqual(int32_t key, const void* value, size_t length) {
  return Search(btrieve::kOpGetEqual, key, value, length, false);
}

int32_t EDataTable::FindFrom(int32_t key, const void* value, size_t length) {
  return Search(btrieve::kOpGetGreaterOrEqual, key, value, length, false);
}

int32_t EDataTable::FindFromLast(int32_t key, const void* value, size_t length) {
  return Search(btrieve::kOpGetLessOrEqual, key, value, length, true);
}

int32_t EDataTable::GoTo(int32_t position, uint16_t lock_bias) {
  if (position == -1) {
    status_ = btrieve::kInvalidRecordAddress;
    return -1;
  }
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  ReleaseVariableParts();
  TableFileHold hold(*this);
  if (!hold) return 0;
  return ConcludeRead(file_->GetDirect(position, ReadBuffer(), KeyBuffer(), KeyNumber(), lock_bias));
}

// --- ordinals and counts ---------------------------------------------------------------------

// Our record manager answers exact percentages: rank r of n rows is
// r * 10000 / (n - 1), the last row 10000. Ordinals scale by n - 1 and round,
// so that they are exact up to 5,000 rows and off by at most one row per
// 10,000 beyond.
uint32_t EDataTable::PercentageOrdinal(int32_t position) {
  const int16_t k = KeyNumber();
  int32_t p = 0;
  if (k < 0) {
    p = file_->FindPercentage(position, nullptr, -1);
  } else {
    // The key path's percentage comes from the row's key value, which the
    // key buffer holds after the row was read.
    if (position != position_ && GoTo(position) == -1) return 0;
    p = file_->FindPercentage(position, KeyBuffer(), k);
  }
  if (Reversed()) p = static_cast<int32_t>(kOrdinalScale) - p;
  p = std::clamp<int32_t>(p, 0, static_cast<int32_t>(kOrdinalScale));
  // The host sees this number: raw count x p / 10000, truncated, whatever
  // the percentage's own precision.
  const uint32_t raw = RawRecordCount(false);
  return static_cast<uint32_t>(uint64_t{raw} * static_cast<uint32_t>(p) / kOrdinalScale);
}

uint32_t EDataTable::OrdinalOf(int32_t position) {
  TableFileHold hold(*this);
  if (!hold) return 0;
  return PercentageOrdinal(position);
}

int32_t EDataTable::MoveToOrdinal(uint32_t n) {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  ReleaseVariableParts();
  TableFileHold hold(*this);
  if (!hold) return 0;
  // n / raw count x 10000, truncated.
  const uint32_t raw = RawRecordCount(false);
  uint32_t p = raw == 0 ? 0 : static_cast<uint32_t>(uint64_t{n} * kOrdinalScale / raw);
  p = std::min(p, kOrdinalScale);
  if (Reversed()) p = kOrdinalScale - p;
  return ConcludeRead(file_->GetByPercentage(static_cast<uint16_t>(p), ReadBuffer(), KeyBuffer(),
                                             KeyNumber()));
}

uint32_t EDataTable::RawRecordCount(bool force) {
  if (!force && (state_ & kStateRawCached)) return raw_count_;
  TableFileHold hold(*this);
  if (!hold) return 0;
  std::vector<uint8_t> stat(kStatBufferSize);
  const int16_t st = file_->Stat(stat.data());
  if (st != 0) {
    status_ = st;
    return 0;
  }
  raw_count_ = StatRecordCount(stat, KeyNumber());
  state_ |= kStateRawCached;
  return raw_count_;
}

uint32_t EDataTable::RecordCount(bool force) {
  if (!force && (state_ & kStateVisibleCached)) return visible_count_;
  if (!HasKeyRange() && !HasFilter() && !IsRestricted()) {
    visible_count_ = RawRecordCount(force);
    state_ |= kStateVisibleCached;
    return visible_count_;
  }
  TableFileHold hold(*this);
  if (!hold) return 0;
  const int32_t remembered = position_;
  const bool saved_sync = (state_ & kStateSyncLinks) != 0;
  SetSyncLinks(false);
  uint32_t count = 0;
  // Percentages of a key path with duplicates name the first row of a run
  // of equal keys, which would lose the last run: such keys are walked.
  const EKeyDesc* desc = KeyNumber() < 0 ? nullptr : KeyDescFor(KeyNumber());
  const bool duplicates = desc && (desc->flags & kKeyDescDuplicates);
  if (HasFilter() || IsRestricted() || duplicates) {
    for (int32_t pos = First(); pos != -1 && pos != 0; pos = Next()) ++count;
  } else if (First() != -1) {
    const uint32_t first = PercentageOrdinal(position_);
    if (Last() != -1) {
      const uint32_t last = PercentageOrdinal(position_);
      count = last >= first ? last - first + 1 : first - last + 1;
    }
  }
  if (remembered != -1) {
    GoTo(remembered);
  } else {
    position_ = -1;
    FinishRead(false);
  }
  SetSyncLinks(saved_sync);
  status_ = 0;
  visible_count_ = count;
  state_ |= kStateVisibleCached;
  return count;
}

}  // namespace tavelnor::data
