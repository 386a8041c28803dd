// The data table: opening, writing, locks, transactions and the
// variable-length parts.
#include <algorithm>
#include <cstring>
#include <string>

#include "data/btrieve_reporting.h"
#include "data/btrv_constants.h"
#include "data/creation_spec.h"
#include "data/data_context.h"
#include "data/edata_table.h"
#include "data/file_opening.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "dico/er_field_table.h"
#include "foundation/byte_reader.h"
#include "foundation/case_tables.h"
#include "record/blob_value.h"
#include "record/er_field_composite.h"

namespace tavelnor::data {

namespace {

// Stat answer: the file part, then 16 bytes per key segment.
constexpr size_t kStatFilePart = 16;
constexpr size_t kStatSegment = 16;
constexpr uint16_t kSegmentedFlag = 0x0010;
constexpr uint16_t kNullKeyFlags = 0x0008 | 0x0200;

// Update Chunk subfunctions.
constexpr uint32_t kChunkRandomIndirect = 0x80000001u;
constexpr uint32_t kChunkTruncate = 0x80000004u;

}  // namespace

bool IsExtendedFormPath(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t sep = path.find_last_of("\\/:");
  if (dot == std::string_view::npos || (sep != std::string_view::npos && sep > dot)) return false;
  return CompareNoCase1252(path.substr(dot + 1), "fatbtr") == 0;
}

uint32_t StatRecordCount(const std::vector<uint8_t>& stat, int key_number) {
  ByteReader reader(stat.data(), stat.size());
  uint8_t key_count = 0;
  uint32_t records = 0;
  if (!reader.Seek(4) || !reader.ReadU8(&key_count) || !reader.Seek(6) ||
      !reader.ReadU32(&records)) {
    return 0;
  }
  if (key_number < 0) return records;
  if (key_number >= key_count) return 0;
  size_t at = kStatFilePart;
  for (int key = 0; key <= key_number; ++key) {
    // The first segment of the key carries its flags and count.
    uint16_t flags = 0;
    uint32_t count = 0;
    if (!reader.Seek(at + 4) || !reader.ReadU16(&flags) || !reader.ReadU32(&count)) return 0;
    if (key == key_number) return (flags & kNullKeyFlags) ? count : records;
    // Skip the key's segments.
    for (;;) {
      if (!reader.Seek(at + 4) || !reader.ReadU16(&flags)) return 0;
      at += kStatSegment;
      if (!(flags & kSegmentedFlag)) break;
    }
  }
  return 0;
}

// --- opening ------------------------------------------------------------------------

uint32_t EDataTable::WantedRecordLength() {
  if (table_) return DefinitionRecordLength(*table_, (table_flags_ & kTableExtendedForm) != 0);
  return file_ ? file_->record_length() : 0;
}

uint32_t EDataTable::FieldFilter() const {
  return (table_flags_ & kTableExtendedForm) ? 0 : dico::kBuildNoExtension;
}

void EDataTable::SetExtendedForm(bool on) {
  table_flags_ = on ? (table_flags_ | kTableExtendedForm) : (table_flags_ & ~kTableExtendedForm);
}

void EDataTable::GiveBackFile() {
  if (!file_) return;
  if (table_flags_ & kTableOwnsFile) {
    DataContext& context = Context();
    context.Enter();
    if (file_->is_open()) file_->Close();
    context.Leave();
    owned_file_.reset();
  } else if (!(table_flags_ & kTableKeepsFile)) {
    Context().ReleaseFile(file_);
  }
  file_ = nullptr;
}

void EDataTable::ResetForOpen(const dico::DRubricTable* table, const Chaine& path) {
  CloseLinks();
  FreeRecordBuffer();
  key_buffer_.reset();
  SetTableDefinition(table);  // also drops the current key and range
  path_ = path;
  position_ = -1;
  currency_stamp_ = UINT64_MAX;
  GiveBackFile();
}

bool EDataTable::CheckRecordLength() {
  if (status_ == 0 && file_->is_open() && table_ &&
      DefinitionRecordLength(*table_, (table_flags_ & kTableExtendedForm) != 0) !=
          file_->record_length()) {
    status_ = btrieve::kDataBufferTooShort;
  }
  InvalidateCounts();
  return status_ == 0;
}

bool EDataTable::Open(const dico::DRubricTable* table, const Chaine& path, int16_t mode,
                      bool no_open, std::string_view owner) {
  ResetForOpen(table, path);
  table_flags_ |= kTableOwnsFile;
  owned_file_ = std::make_unique<BtrvFile>();
  file_ = owned_file_.get();
  TableFileHold hold(*this);
  if (!hold) return false;
  const bool extended = (table_flags_ & kTableExtendedForm) != 0;
  if (no_open || path.IsEmpty()) {
    status_ = btrieve::kFileNotFound;
    if (!path.IsEmpty() && table && static_cast<uint8_t>(mode) != kOpenNoCreate) {
      status_ = OpenOrCreate(*file_, table, path, mode, extended, owner, /*create_only=*/true);
    }
  } else {
    status_ = OpenOrCreate(*file_, table, path, mode, extended, owner);
  }
  return CheckRecordLength();
}

bool EDataTable::OpenShared(dico::DDicoHandler& dico, uint32_t table_id, const Chaine& path,
                            int32_t selector, int16_t mode, bool flag_a, bool flag_b) {
  const dico::DDicoBase* object = dico.FindById(table_id);
  if (!object || object->Kind() != dico::kRubricTable) {
    status_ = btrieve::kFileNotFound;
    return false;
  }
  const auto* table = static_cast<const dico::DRubricTable*>(object);
  const Chaine resolved = path.IsEmpty() ? table->GetFilePath() : path;
  ResetForOpen(table, resolved);
  table_flags_ &= ~(kTableOwnsFile | kTableDefaultOpen);
  if (path.IsEmpty() && selector == 0 && !(table->Flags() & 0x200) &&
      !(table->Flags() & 0x30000)) {
    table_flags_ |= kTableDefaultOpen;
  }
  uint16_t word = static_cast<uint8_t>(mode);
  if (table_flags_ & kTableDefaultOpen) word |= kModeDefault;
  if (flag_a) word |= kModeFlagA;
  if (flag_b) word |= kModeFlagB;
  if (table_flags_ & kTableExtendedForm) word |= kModeExtended;
  if (selector == -1) word = static_cast<uint16_t>((word & 0xFF00) | 0xFF);
  open_mode_word_ = word;
  int16_t st = 0;
  file_ = Context().AcquireFile(resolved.str(), word, table, &st);
  status_ = st;
  if (!file_) return false;
  return CheckRecordLength();
}

bool EDataTable::Reopen(bool hold) {
  (void)hold;
  if (path_.IsEmpty()) {
    status_ = btrieve::kFileNotFound;
    return false;
  }
  uint16_t word = kModeFlagB | (open_mode_word_ & 0xFF);
  if (table_flags_ & kTableDefaultOpen) word |= kModeDefault;
  if (table_flags_ & kTableExtendedForm) word |= kModeExtended;
  int16_t st = 0;
  BtrvFile* fresh = Context().AcquireFile(path_.str(), word, table_, &st);
  status_ = st;
  if (!fresh) return false;
  GiveBackFile();
  table_flags_ &= ~kTableOwnsFile;
  file_ = fresh;
  currency_stamp_ = UINT64_MAX;
  return CheckRecordLength();
}

std::optional<EKeyDesc> EDataTable::FileKeyDesc(int key_number) {
  if (!file_ || !file_->is_open()) return std::nullopt;
  std::vector<uint8_t> stat(kStatBufferSize);
  DataContext& context = Context();
  context.Enter();
  const int16_t st = file_->Stat(stat.data());
  context.Leave();
  if (st != 0) return std::nullopt;
  return DescribeFileKey(stat, key_number, table_);
}

int32_t EDataTable::CreateFileKey(const std::vector<std::string>& fields, bool duplicates) {
  if (!file_ || fields.empty()) {
    status_ = file_ ? btrieve::kIoError : btrieve::kFileNotOpen;
    return -1;
  }
  BtrvCreationSpec spec;
  spec.Begin(0, 0, 0, 0, 0);
  for (size_t i = 0; i < fields.size(); ++i) {
    record::ErField* field = FieldByName(fields[i]);
    if (!field || !field->GetBuffer() || field->Data() < RecordBuffer() ||
        field->Data() + field->Size() > record_ + record_length_) {
      status_ = btrieve::kInvalidKeyNumber;
      return -1;
    }
    uint16_t flags = 0x0002;  // modifiable
    if (i + 1 < fields.size()) flags |= kSegmentedFlag;
    if (duplicates) flags |= 0x0001;
    const auto position = static_cast<uint32_t>(field->Data() - record_);
    if (spec.AddKeySegment(position, static_cast<uint16_t>(field->Size()), flags,
                           ExtendedKeyType(static_cast<uint32_t>(field->TypeCode())),
                           duplicates) != 0) {
      status_ = btrieve::kIoError;
      return -1;
    }
  }
  TableFileHold hold(*this);
  if (!hold) return -1;
  std::vector<uint8_t> stat(kStatBufferSize);
  int16_t st = file_->Stat(stat.data());
  const auto key_number = static_cast<int16_t>(stat[4]);  // the file's key count
  if (st == 0) {
    st = file_->CreateIndex(spec.bytes() + kStatFilePart,
                            static_cast<uint16_t>(spec.segment_count() * kStatSegment),
                            key_number);
  }
  status_ = st;
  return st == 0 ? key_number : -1;
}

// --- writing -----------------------------------------------------------------------------

int32_t EDataTable::Insert() {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  TableFileHold hold(*this);
  if (!hold) return -1;
  BeforeWrite();
  uint8_t* record = RecordBuffer();
  int16_t key = KeyNumber();
  const bool keyless = key < 0 && (!table_ || table_->GetKeys().empty());
  if (key < 0) key = keyless ? -1 : 0;
  int16_t st = file_->Insert(WriteSource(), file_->record_length(), KeyBuffer(), key);
  status_ = st;
  if (st != 0) return -1;
  WriteVariableParts(true);
  if (state_ & kStateRawCached) ++raw_count_;
  if ((state_ & kStateVisibleCached) && RowVisible()) ++visible_count_;
  if (keyless) {
    std::vector<uint8_t> scratch(std::max<size_t>(file_->record_length(), 4));
    st = file_->Step(btrieve::kOpStepPrevious, scratch.data());
    st = file_->Step(st == 0 ? btrieve::kOpStepNext : btrieve::kOpStepFirst, scratch.data());
  }
  Refresh(0);
  if ((file_->flags() & kBtrvAutoIncrement) && position_ != -1) {
    // The record manager filled in the number: read it back, keeping the
    // slots of the parts that are already loaded.
    std::vector<uint8_t> fresh(std::max<size_t>(file_->record_length(), 4));
    if (file_->GetDirect(position_, fresh.data(), KeyBuffer(), key) == 0) {
      std::vector<uint8_t> kept(record, record + record_length_);
      std::memcpy(record, fresh.data(), std::min<size_t>(record_length_, fresh.size()));
      for (uint32_t slot : VariablePartSlots()) {
        if (slot + record::kVarPartSlotSize > record_length_) continue;
        std::memcpy(record + slot, kept.data() + slot, record::kVarPartSlotSize);
      }
      currency_stamp_ = file_->operations();
    }
  }
  status_ = 0;
  return position_;
}

bool EDataTable::InsertNoCurrency() {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  TableFileHold hold(*this);
  if (!hold) return false;
  BeforeWrite();
  status_ = file_->Insert(WriteSource(), file_->record_length(), KeyBuffer(), -1);
  if (status_ != 0) return false;
  WriteVariableParts(true);
  InvalidateCounts();
  currency_stamp_ = UINT64_MAX;  // the file's currency moved to the new row
  return true;
}

bool EDataTable::InsertFromNoCurrency(const void* data, size_t length) {
  uint8_t* record = RecordBuffer();
  ReleaseVariableParts();
  std::memset(record, 0, record_length_);
  if (data) std::memcpy(record, data, std::min<size_t>(length, record_length_));
  return InsertNoCurrency();
}

int32_t EDataTable::Update(int32_t position) {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  if (position == -1) position = position_;
  if (position == -1) {
    status_ = btrieve::kInvalidRecordAddress;
    return -1;
  }
  TableFileHold hold(*this);
  if (!hold) return -1;
  int16_t st = file_->GetDirect(position, nullptr, KeyBuffer(), KeyNumber());
  if (st == 0) {
    BeforeWrite();
    st = file_->Update(WriteSource(), file_->record_length(), KeyBuffer(), KeyNumber());
  }
  status_ = st;
  if (st != 0) return -1;
  WriteVariableParts(false);
  if ((state_ & kStateVisibleCached) && visible_count_ > 0 && !RowVisible()) --visible_count_;
  position_ = position;
  currency_stamp_ = file_->operations();
  status_ = 0;
  return position;
}

bool EDataTable::Delete(int32_t position) {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  if (position == -1) position = position_;
  if (position == -1) {
    if (BtrvErrorFunc report = EBtrieve::GetBtrvErrorFunc()) {
      report(
          BtrvErrorReport{btrieve::kInvalidRecordAddress, btrieve::kOpDelete, path_.c_str(), ""});
    }
    status_ = btrieve::kInvalidRecordAddress;
    return false;
  }
  TableFileHold hold(*this);
  if (!hold) return false;
  std::vector<uint8_t> row(std::max<size_t>({file_->record_length(), record_length_, 4}));
  int16_t st = file_->GetDirect(position, row.data(), KeyBuffer(), KeyNumber());
  const bool visible = st == 0 && keys_.InKeyRange(row.data(), record_length_) &&
                       (!filter_ || filter_(row.data(), record_length_));
  if (st == 0) st = file_->Delete();
  status_ = st;
  if (st != 0) return false;
  OnDeleted(position);
  if ((state_ & kStateRawCached) && raw_count_ > 0) --raw_count_;
  if ((state_ & kStateVisibleCached) && visible && visible_count_ > 0) --visible_count_;
  position_ = -1;
  currency_stamp_ = UINT64_MAX;
  return true;
}

bool EDataTable::DeleteAll() {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  const bool held_before = file_->current_user() == this;
  if (!held_before && !BeginExclusive()) return false;
  const bool parts = VariablePartsOption();
  SetVariablePartsOption(false);
  const bool sync = (state_ & kStateSyncLinks) != 0;
  SetSyncLinks(false);
  First();
  while (status_ == 0 && position_ != -1) {
    const int32_t at = position_;
    const int16_t st = file_->Delete();
    status_ = st;
    if (st != 0) break;
    OnDeleted(at);
    if (raw_count_ > 0) --raw_count_;
    if (visible_count_ > 0) --visible_count_;
    // After a delete the record manager keeps the place of the deleted row.
    currency_stamp_ = file_->operations();
    Next();
  }
  if (status_ == btrieve::kEndOfFile) status_ = 0;
  SetVariablePartsOption(parts);
  SetSyncLinks(sync);
  if (!held_before) EndExclusive();
  position_ = -1;
  InvalidateCounts();
  ReleaseVariableParts();
  std::memset(RecordBuffer(), 0, record_length_);
  AfterRead();
  return status_ == 0;
}

// --- locks and transactions ----------------------------------------------------------------

int32_t EDataTable::LockWith(int32_t position, uint16_t bias) {
  if (position == -1) position = position_;
  return GoTo(position, bias);
}

int32_t EDataTable::LockRow(int32_t position, bool wait) {
  return LockWith(position, wait ? btrieve::kBiasSingleWait : btrieve::kBiasSingleNoWait);
}

int32_t EDataTable::LockRows(int32_t position, bool wait) {
  return LockWith(position, wait ? btrieve::kBiasMultipleWait : btrieve::kBiasMultipleNoWait);
}

bool EDataTable::UnlockRows(int32_t position) {
  if (position == -1) position = position_;
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  TableFileHold hold(*this);
  if (!hold) return false;
  int16_t st = file_->GetDirect(position, nullptr, KeyBuffer(), KeyNumber());
  if (st == 0) st = file_->Unlock(true);
  status_ = st;
  currency_stamp_ = file_->operations();
  return st == 0;
}

bool EDataTable::Unlock() {
  if (!file_) {
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  TableFileHold hold(*this);
  if (!hold) return false;
  int16_t st = Reestablish();
  if (st == 0) st = file_->Unlock(false);
  status_ = st;
  currency_stamp_ = file_->operations();
  return st == 0;
}

int32_t EDataTable::BeginTransaction() {
  BtrvFile scratch;
  status_ = (file_ ? file_ : &scratch)->BeginTransaction();
  return status_;
}

int32_t EDataTable::EndTransaction() {
  BtrvFile scratch;
  status_ = (file_ ? file_ : &scratch)->EndTransaction();
  return status_;
}

int32_t EDataTable::AbortTransaction() {
  BtrvFile scratch;
  status_ = (file_ ? file_ : &scratch)->AbortTransaction();
  InvalidateCounts();
  return status_;
}

bool EDataTable::InTransaction() { return BtrvFile::InTransaction(); }

// --- variable-length parts --------------------------------------------------------------------

int16_t EDataTable::ReadChunk(uint32_t offset, uint32_t length, std::string& out) {
  out.clear();
  for (uint32_t done = 0; done < length;) {
    const uint32_t piece = std::min(length - done, kVariablePartPiece);
    const size_t at = out.size();
    out.resize(at + piece);
    uint32_t got = 0;
    const int16_t st = file_->GetDirectChunk(position_, offset + done, piece,
                                             reinterpret_cast<uint8_t*>(out.data()) + at, &got);
    if (st != 0) return st;
    if (got != piece) return btrieve::kIoError;
    done += piece;
  }
  return 0;
}

void EDataTable::ReadVariableParts() {
  if (!record_ || !file_ || VariablePartSlots().empty()) return;
  const bool on = VariablePartsOption();
  uint32_t offset = file_->record_length();
  bool stop = !on || position_ == -1;
  std::string bytes;
  for (uint32_t slot : VariablePartSlots()) {
    if (slot + record::kVarPartSlotSize > record_length_) continue;  // beyond a short buffer
    uint8_t* s = record_ + slot;
    const uint32_t length = record::VarPartLength(s);
    const uint8_t flags = record::VarPartFlags(s) & static_cast<uint8_t>(~record::kVarPartModified);
    if (stop || length == 0 || ReadChunk(offset, length, bytes) != 0) {
      if (length != 0) stop = true;
      std::memset(s, 0, record::kVarPartSlotSize);
      record::SetVarPartFlags(s, flags);
      continue;
    }
    record::AssignVarPart(s, bytes);
    record::SetVarPartFlags(s, flags);
    offset += length;
  }
  currency_stamp_ = file_->operations();
}

void EDataTable::WriteVariableParts(bool inserted) {
  if (!record_ || !file_ || !VariablePartsOption()) return;
  const std::vector<uint32_t>& slots = VariablePartSlots();
  if (slots.empty()) return;
  // An update stores the fixed part alone and so cuts the parts stored
  // after it: any non-empty part is written again, not only modified ones.
  bool any = inserted;
  for (uint32_t slot : slots) {
    if (slot + record::kVarPartSlotSize > record_length_) continue;
    any = any || (record::VarPartFlags(record_ + slot) & record::kVarPartModified) ||
          record::VarPartLength(record_ + slot) != 0;
  }
  if (!any) return;
  uint32_t offset = file_->record_length();
  uint8_t descriptor[16 + sizeof(void*)] = {};
  for (uint32_t slot : slots) {
    if (slot + record::kVarPartSlotSize > record_length_) continue;
    uint8_t* s = record_ + slot;
    const std::string_view part = record::ReadVarPart(s);
    for (size_t done = 0; done < part.size();) {
      const auto piece = static_cast<uint32_t>(std::min<size_t>(part.size() - done,
                                                                kVariablePartPiece));
      StoreLE32(descriptor, kChunkRandomIndirect);
      StoreLE32(descriptor + 4, 1);
      StoreLE32(descriptor + 8, offset);
      StoreLE32(descriptor + 12, piece);
      const char* from = part.data() + done;
      std::memcpy(descriptor + 16, &from, sizeof from);
      status_ = file_->UpdateChunk(descriptor, sizeof descriptor);
      if (status_ != 0) return;
      offset += piece;
      done += piece;
    }
    record::SetVarPartFlags(s, record::VarPartFlags(s) & static_cast<uint8_t>(~record::kVarPartModified));
  }
  StoreLE32(descriptor, kChunkTruncate);
  StoreLE32(descriptor + 4, offset);
  status_ = file_->UpdateChunk(descriptor, 8);
}

// --- the opener of link targets ---------------------------------------------------------------

std::unique_ptr<EData> OpenTableObject(const dico::DRubricTable& table) {
  auto data = std::make_unique<EDataTable>();
  data->SetVariablePartsOption(true);
  data->SetExtendedForm(IsExtendedFormPath(table.GetFilePath().view()));
  if (!data->Open(&table, table.GetFilePath(), 0, false, {})) return nullptr;
  return data;
}

}  // namespace tavelnor::data
