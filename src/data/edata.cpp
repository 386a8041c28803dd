// The data object's shared behaviour: record buffer, fields, keys, counts by
// walking, walking searches and ordinals.
#include "data/edata.h"

#include <algorithm>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "dico/dico_classes.h"
#include "dico/er_field_table.h"
#include "foundation/case_tables.h"
#include "record/blob_value.h"
#include "record/buffer_kinds.h"
#include "record/er_field_composite.h"

namespace tavelnor::data {

namespace {

bool IsBlobKind(int16_t code) {
  const record::BufferKind kind = record::BufferKindForCode(code);
  return kind >= record::BufferKind::kBlob && kind <= record::BufferKind::kBlobVideo;
}

std::string UpperName(std::string_view name) {
  std::string upper(name);
  for (char& c : upper) c = static_cast<char>(ToUpper1252(static_cast<uint8_t>(c)));
  return upper;
}

}  // namespace

EData::EData() = default;

EData::~EData() {
  CloseLinks();
  FreeRecordBuffer();
}

void EData::FreeRecordBuffer() {
  if (record_ && record_owned_) {
    ReleaseVariableParts();
    delete[] record_;
  }
  record_ = nullptr;
  record_owned_ = false;
}

// --- record buffer ------------------------------------------------------------

uint8_t* EData::RecordBuffer() {
  if (!record_) {
    record_length_ = WantedRecordLength();
    record_ = new uint8_t[std::max<uint32_t>(record_length_, 1)]();
    record_owned_ = true;
    RecordBufferMoved();
  }
  return record_;
}

uint32_t EData::RecordLength() {
  RecordBuffer();
  return record_length_;
}

void EData::SetRecordBuffer(uint8_t* buffer, size_t length) {
  FreeRecordBuffer();
  record_ = buffer;
  record_length_ = static_cast<uint32_t>(length);
  record_owned_ = false;
  RecordBufferMoved();
}

std::unique_ptr<uint8_t[]> EData::DetachRecordBuffer() {
  std::unique_ptr<uint8_t[]> handed;
  if (record_owned_) handed.reset(record_);
  record_ = nullptr;
  record_owned_ = false;
  RecordBufferMoved();
  return handed;
}

void EData::RecordBufferMoved() {
  fields_.reset();
  fields_by_name_.clear();
  fields_by_id_.clear();
}

void EData::ReleaseVariableParts() {
  if (!record_) return;
  for (uint32_t slot : VariablePartSlots()) {
    if (slot + record::kVarPartSlotSize <= record_length_) record::ReleaseVarPart(record_ + slot);
  }
}

void EData::CopyRecordTo(uint8_t* dest) {
  if (!dest) return;
  const uint8_t* from = RecordBuffer();
  std::memcpy(dest, from, record_length_);
  for (uint32_t slot : VariablePartSlots()) {
    if (slot + record::kVarPartSlotSize <= record_length_) record::DuplicateVarPart(dest + slot);
  }
}

void EData::ClearRecord() {
  uint8_t* record = RecordBuffer();
  ReleaseVariableParts();
  std::memset(record, 0, record_length_);
  if (state_ & kStateSyncLinks) SyncLinks();
}

void EData::AfterRead() {
  OnRecordLoaded();
  if (state_ & kStateSyncLinks) SyncLinks();
}

void EData::SetRecordAndNotify(const uint8_t* data) {
  uint8_t* record = RecordBuffer();
  if (data && data != record) {
    ReleaseVariableParts();
    std::memcpy(record, data, record_length_);
    for (uint32_t slot : VariablePartSlots()) {
      if (slot + record::kVarPartSlotSize <= record_length_) record::DuplicateVarPart(record + slot);
    }
  }
  OnRecordLoaded();
  if (state_ & kStateSyncLinks) SyncLinks();
}

void EData::TakeSaved() {
  const uint32_t length = RecordLength();
  if (saved_) {
    // The old copy's parts are its own: give them back before replacing it.
    for (uint32_t slot : VariablePartSlots()) {
      if (slot + record::kVarPartSlotSize <= length) record::ReleaseVarPart(saved_.get() + slot);
    }
  }
  saved_.reset(new uint8_t[std::max<uint32_t>(length, 1)]());
  CopyRecordTo(saved_.get());
}

void EData::RestoreSaved() {
  if (!saved_) return;
  SetRecordAndNotify(saved_.get());
  for (uint32_t slot : VariablePartSlots()) {
    if (slot + record::kVarPartSlotSize <= record_length_) record::ReleaseVarPart(saved_.get() + slot);
  }
  saved_.reset();
}

// --- table definition and fields ----------------------------------------------

uint32_t EData::FieldFilter() const { return dico::kBuildNoExtension; }

void EData::SetTableDefinition(const dico::DDicoBase* object) {
  ReleaseVariableParts();
  table_ = (object && object->Kind() == dico::kRubricTable)
               ? static_cast<const dico::DRubricTable*>(object)
               : nullptr;
  keys_.SetTable(table_);
  options_ &= ~kOptionKeysBuilt;
  RecordBufferMoved();
  var_slots_.clear();
  var_slots_built_ = false;
}

void EData::EnsureFields() {
  if (fields_ || !table_) return;
  fields_ = std::make_unique<record::ErFieldComposite>();
  dico::BuildFields(*fields_, *table_, RecordBuffer(), FieldFilter());
  for (size_t i = 0; i < fields_->SegmentCount(); ++i) {
    record::ErField* field = fields_->Segment(i);
    fields_by_name_.emplace(UpperName(field->GetName().view()), field);
    if (field->IsTableField()) {
      const auto* table_field = static_cast<const dico::ErFieldTable*>(field);
      if (table_field->Variable()) fields_by_id_.emplace(table_field->Variable()->Id(), field);
    }
  }
}

record::ErFieldComposite* EData::Fields() {
  EnsureFields();
  return fields_.get();
}

record::ErField* EData::FieldByName(std::string_view name) {
  EnsureFields();
  auto it = fields_by_name_.find(UpperName(name));
  return it == fields_by_name_.end() ? nullptr : it->second;
}

record::ErField* EData::FieldById(uint32_t id) {
  EnsureFields();
  auto it = fields_by_id_.find(id);
  return it == fields_by_id_.end() ? nullptr : it->second;
}

const std::vector<uint32_t>& EData::BuildVariablePartSlots() {
  if (!table_ || !record_) return var_slots_;
  var_slots_built_ = true;
  EnsureFields();
  for (size_t i = 0; i < fields_->SegmentCount(); ++i) {
    record::ErField* field = fields_->Segment(i);
    if (!IsBlobKind(field->TypeCode())) continue;
    const uint8_t* data = field->GetBuffer() ? field->Data() : nullptr;
    if (!data || data < record_ || data + record::kVarPartSlotSize > record_ + record_length_) continue;
    var_slots_.push_back(static_cast<uint32_t>(data - record_));
  }
  return var_slots_;
}

void EData::SetVariablePartsOption(bool on) {
  options_ = on ? (options_ | kOptionVariableParts) : (options_ & ~kOptionVariableParts);
}

void EData::SetSyncLinks(bool on) {
  state_ = on ? (state_ | kStateSyncLinks) : (state_ & ~kStateSyncLinks);
}

// --- walking searches -------------------------------------------------------------

bool EData::RowBytesCompare(int32_t offset, const void* value, size_t length, int* cmp) {
  const size_t start = offset < 0 ? 0 : static_cast<size_t>(offset);
  if (!value || start > record_length_ || length > record_length_ - start) return false;
  *cmp = std::memcmp(record_ + start, value, length);
  return true;
}

int32_t EData::FindEqual(int32_t offset, const void* value, size_t length) {
  int cmp = 0;
  for (int32_t pos = First(); pos != -1 && status_ == 0; pos = Next()) {
    if (RowBytesCompare(offset, value, length, &cmp) && cmp == 0) return pos;
  }
  return -1;
}

int32_t EData::FindEqualOnCurrentKey(const void* value, size_t length) {
  return FindEqual(CurrentKeyNumber(), value, length);
}

int32_t EData::FindFrom(int32_t offset, const void* value, size_t length) {
  int cmp = 0;
  for (int32_t pos = First(); pos != -1 && status_ == 0; pos = Next()) {
    if (RowBytesCompare(offset, value, length, &cmp) && cmp >= 0) return pos;
  }
  return -1;
}

int32_t EData::FindFromLast(int32_t offset, const void* value, size_t length) {
  int cmp = 0;
  for (int32_t pos = Last(); pos != -1 && status_ == 0; pos = Previous()) {
    if (RowBytesCompare(offset, value, length, &cmp) && cmp <= 0) return pos;
  }
  return -1;
}

// --- ordinals --------------------------------------------------------------------

int32_t EData::MoveToOrdinal(uint32_t n) {
  int32_t pos = First();
  for (uint32_t i = 0; i < n && pos != -1; ++i) {
    const int32_t next = Next();
    if (next == -1) break;
    pos = next;
  }
  return pos;
}

uint32_t EData::OrdinalOf(int32_t position) {
  uint32_t ordinal = 0;
  for (int32_t pos = First(); pos != -1; pos = Next(), ++ordinal) {
    if (pos == position) return ordinal;
  }
  return ordinal;
}

void EData::GetScrollInfo(ScrollInfo* info, uint32_t page) {
  if (!info) return;
  *info = ScrollInfo{};
  info->min = scroll_min_;
  info->max = scroll_max_;
  info->page = page;
  const int64_t range = int64_t{scroll_max_} - scroll_min_;
  const bool has_row = position_ != -1 && position_ != 0;
  info->position = (int64_t{page} < range && has_row) ? static_cast<int32_t>(OrdinalOf(position_))
                                                      : scroll_min_;
}

int32_t EData::GoTo(int32_t position, uint16_t lock_bias) {
  (void)position;
  (void)lock_bias;
  return -1;
}

int32_t EData::GoToIfMoved(int32_t position, uint16_t lock_bias) {
  if (position == position_ && position != -1) return position_;
  return GoTo(position, lock_bias);
}

int32_t EData::GoToRow(int32_t n) {
  (void)n;
  status_ = btrieve::kFileNotOpen;
  return -1;
}

// --- writing (lists are read-only) -------------------------------------------------

int32_t EData::Insert() {
  status_ = btrieve::kFileNotOpen;
  return -1;
}

int32_t EData::InsertFrom(const void* data, size_t length) {
  uint8_t* record = RecordBuffer();
  ReleaseVariableParts();
  std::memset(record, 0, record_length_);
  if (data) std::memcpy(record, data, std::min<size_t>(length, record_length_));
  return Insert();
}

int32_t EData::Update(int32_t position) {
  (void)position;
  status_ = btrieve::kFileNotOpen;
  return -1;
}

int32_t EData::Save() {
  const bool has_row = position_ != -1 && position_ != 0;
  return has_row ? Update(-1) : Insert();
}

bool EData::Delete(int32_t position) {
  (void)position;
  status_ = btrieve::kFileNotOpen;
  return false;
}

bool EData::DeleteAll() {
  status_ = btrieve::kFileNotOpen;
  return false;
}

int32_t EData::LockRow(int32_t position, bool wait) {
  (void)position;
  (void)wait;
  status_ = btrieve::kFileNotOpen;
  return -1;
}

bool EData::Unlock() {
  status_ = btrieve::kFileNotOpen;
  return false;
}

// --- filter, restriction, key range ---------------------------------------------------

void EData::SetFilter(RowFilter filter) {
  filter_ = std::move(filter);
  state_ &= ~kStateVisibleCached;
}

bool EData::PassesFilter() {
  return !filter_ || filter_(RecordBuffer(), record_length_);
}

void EData::SetRestriction(uint32_t word) {
  restriction_ = word;
  state_ &= ~kStateVisibleCached;
}

bool EData::InKeyRange() {
  return keys_.InKeyRange(RecordBuffer(), record_length_);
}

bool EData::RowVisible() { return InKeyRange() && PassesFilter(); }

int EData::CurrentKeyNumber() const {
  return keys_.Current().IsSet() ? keys_.Current().number : -1;
}

namespace {
// Copies the key state's outcome and notes a changed range.
template <typename T>
T KeyOutcome(EData& data, KeyState& keys, uint32_t& state, T result) {
  data.SetStatus(keys.Status());
  if (keys.TakeCountStale()) state &= ~kStateVisibleCached;
  return result;
}
}  // namespace

bool EData::CopyKeyRange(const KeyRange& range) {
  return KeyOutcome(*this, keys_, state_, keys_.CopyKeyRange(range));
}

int32_t EData::SetKeyRangeFrom(const uint8_t* packed, size_t size) {
  return KeyOutcome(*this, keys_, state_, keys_.SetKeyRangeFrom(packed, size));
}

int32_t EData::SetKeyRange(int key_number, const uint8_t* low, int32_t low_length,
                           const uint8_t* high, int32_t high_length) {
  return KeyOutcome(*this, keys_, state_,
                    keys_.SetKeyRange(key_number, low, low_length, high, high_length));
}

int32_t EData::SetKeyBound(const uint8_t* value, int32_t length, bool high) {
  return KeyOutcome(*this, keys_, state_, keys_.SetKeyBound(value, length, high));
}

void EData::SetBoundsExclusive(bool low_exclusive, bool high_exclusive) {
  keys_.SetBoundsExclusive(low_exclusive, high_exclusive);
  state_ &= ~kStateVisibleCached;
}

bool EData::GetKeyLimits(uint8_t* packed, size_t size) {
  return KeyOutcome(*this, keys_, state_, keys_.GetKeyLimits(packed, size));
}

// --- counts ---------------------------------------------------------------------------

uint32_t EData::RawRecordCount(bool force) {
  (void)force;
  return raw_count_;
}

uint32_t EData::RecordCount(bool force) {
  if (!force && (state_ & kStateVisibleCached)) return visible_count_;
  if (!HasKeyRange() && !HasFilter() && !IsRestricted()) {
    visible_count_ = RawRecordCount(force);
  } else {
    const int32_t remembered = position_;
    uint32_t count = 0;
    for (int32_t pos = First(); pos != -1; pos = Next()) ++count;
    if (remembered != -1 && remembered != 0) GoTo(remembered);
    visible_count_ = count;
  }
  state_ |= kStateVisibleCached;
  return visible_count_;
}

}  // namespace tavelnor::data
