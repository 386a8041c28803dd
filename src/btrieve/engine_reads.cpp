// The reading operations: Get (and Get Key), Step, Get Position, Get Direct,
// with their currency rules.
#include <cstring>
#include <limits>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine.h"
#include "btrieve/key_codec.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

// The bound just above every duplicate of the value `value`.
std::string AfterRun(const KeyDef& key, const std::string& value) {
  return key.duplicates() ? value + std::string(kDupSuffixSize, '\xFF') : value;
}

// The index entry a Get lands on; 4 or 9 when there is none.
int Locate(Cursor& cursor, const Call& call, const KeyDef& key, int op, bool key_only,
           Entry* entry) {
  DataFile& data = cursor.data();
  if (op == kOpGetFirst) return data.Find(key.number, Seek::kFirst, {}, entry);
  if (op == kOpGetLast) return data.Find(key.number, Seek::kLast, {}, entry);
  if (op == kOpGetNext || op == kOpGetPrevious) {
    if (cursor.logical_key < 0) return kInvalidPositioning;
    if (cursor.logical_key != key.number || cursor.key_switched) return kDifferentKeyNumber;
    const std::string& at = cursor.logical_entry;
    const bool skip_run = cursor.collapsed || key_only;
    if (!skip_run) {
      if (int st = CheckLogicalEntry(cursor, key); st != kOk) return st;
    }
    if (op == kOpGetNext) {
      std::string bound = skip_run ? AfterRun(key, at.substr(0, key.length())) : at;
      return data.Find(key.number, Seek::kAbove, bound, entry);
    }
    std::string bound = skip_run ? at.substr(0, key.length()) : at;
    return data.Find(key.number, Seek::kBelow, bound, entry);
  }
  if (call.key == nullptr || call.key_len < key.length()) return kKeyBufferTooShort;
  std::string value = EncodeKey(data.spec(), key, call.key);
  switch (op) {
    case kOpGetEqual: {
      int st = data.Find(key.number, Seek::kAtLeast, value, entry);
      if (st == kEndOfFile || (st == kOk && entry->k.compare(0, value.size(), value) != 0)) {
        return kKeyNotFound;
      }
      return st;
    }
    case kOpGetGreater:
      return data.Find(key.number, Seek::kAbove, AfterRun(key, value), entry);
    case kOpGetGreaterOrEqual:
      return data.Find(key.number, Seek::kAtLeast, value, entry);
    case kOpGetLess:
      return data.Find(key.number, Seek::kBelow, value, entry);
    default:
      return data.Find(key.number, Seek::kAtMost, AfterRun(key, value), entry);
  }
}

}  // namespace

int CheckLogicalEntry(Cursor& cursor, const KeyDef& key) {
  // A unique key's neighbours follow from the value alone; a run of
  // duplicates is walked by the entry's place in it.
  if (!key.duplicates() || cursor.deleted_here) return kOk;
  Entry found;
  int st = cursor.data().Find(key.number, Seek::kAtLeast, cursor.logical_entry, &found);
  if (st == kEndOfFile || (st == kOk && found.k != cursor.logical_entry)) return kLostPosition;
  return st;
}

int ReturnRecord(const Cursor& cursor, const Call& call, std::span<const uint8_t> record) {
  if (call.data_len == nullptr) return kDataBufferTooShort;
  uint32_t capacity = call.data ? *call.data_len : 0;
  if (capacity < record.size()) {
    const FileSpec& spec = cursor.file->data->spec();
    // A fixed-length record is not written at all and the length is left alone.
    if (spec.variable_length() && capacity >= spec.record_length) {
      std::memcpy(call.data, record.data(), capacity);
    }
    return kDataBufferTooShort;
  }
  std::memcpy(call.data, record.data(), record.size());
  *call.data_len = static_cast<uint32_t>(record.size());
  return kOk;
}

int ReturnKey(const Cursor& cursor, const Call& call, int num, const std::vector<uint8_t>& record) {
  const KeyDef* key = cursor.file->data->spec().FindKey(num);
  if (key == nullptr) return kOk;
  if (call.key == nullptr || call.key_len < key->length()) return kKeyBufferTooShort;
  std::string value = ExtractKey(*key, record.data());
  std::memcpy(call.key, value.data(), value.size());
  return kOk;
}

int DoGet(Cursor& cursor, const Call& call, int op, bool key_only) {
  const KeyDef* key = cursor.data().spec().FindKey(call.key_num);
  if (key == nullptr) return kInvalidKeyNumber;
  if (call.key == nullptr || call.key_len < key->length()) return kKeyBufferTooShort;
  if (!key_only && call.data_len == nullptr) return kDataBufferTooShort;
  Entry entry;
  if (int st = Locate(cursor, call, *key, op, key_only, &entry); st != kOk) return st;
  std::vector<uint8_t> record;
  uint64_t stamp = 0;
  if (int st = cursor.data().Read(entry.pos, &record, &stamp); st != kOk) {
    return st == kInvalidRecordAddress ? kIoError : st;  // index and records disagree
  }
  cursor.DropLogical();
  cursor.logical_key = key->number;
  cursor.logical_entry = std::move(entry.k);
  cursor.collapsed = key_only;
  cursor.SetPhysical(entry.pos, stamp);
  if (op != kOpGetEqual) {
    if (int st = ReturnKey(cursor, call, key->number, record); st != kOk) return st;
  }
  return key_only ? kOk : ReturnRecord(cursor, call, record);
}

int DoStep(Cursor& cursor, const Call& call, int op) {
  if (call.data_len == nullptr) return kDataBufferTooShort;
  bool forward = op == kOpStepFirst || op == kOpStepNext;
  uint32_t from = 0;
  using P = Cursor::Physical;
  switch (op) {
    case kOpStepFirst:
      from = 0;
      break;
    case kOpStepLast:
      from = std::numeric_limits<uint32_t>::max();
      break;
    case kOpStepNext:
      if (cursor.physical == P::kNone) return kInvalidPositioning;
      from = cursor.physical == P::kStart ? 0 : cursor.physical_pos;
      break;
    default:
      if (cursor.physical != P::kOn) return kInvalidPositioning;
      from = cursor.physical_pos;
      break;
  }
  uint32_t pos = 0;
  uint64_t stamp = 0;
  std::span<const uint8_t> record;
  if (int st = cursor.data().Step(forward, from, &pos, &record, &stamp); st != kOk) return st;
  cursor.DropLogical();
  cursor.SetPhysical(pos, stamp);
  return ReturnRecord(cursor, call, record);
}

int DoGetPosition(Cursor& cursor, const Call& call) {
  if (cursor.physical != Cursor::Physical::kOn) return kInvalidPositioning;
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 4) {
    return kDataBufferTooShort;
  }
  StoreLE32(call.data, cursor.physical_pos);
  *call.data_len = 4;
  return kOk;
}

int DoGetDirect(Cursor& cursor, const Call& call) {
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 4) {
    return kDataBufferTooShort;
  }
  const KeyDef* key = nullptr;
  if (call.key_num != -1) {
    key = cursor.data().spec().FindKey(call.key_num);
    if (key == nullptr) return kInvalidKeyNumber;
    if (call.key == nullptr || call.key_len < key->length()) return kKeyBufferTooShort;
  }
  const uint32_t pos = LoadLE32(call.data);
  std::vector<uint8_t> record;
  uint64_t stamp = 0;
  if (pos == 0) return kInvalidRecordAddress;
  if (int st = cursor.data().Read(pos, &record, &stamp); st != kOk) return st;
  Entry entry;
  if (key != nullptr) {
    int st = cursor.data().EntryOf(key->number, pos, &entry);
    if (st == kKeyNotFound) return kInvalidKeyPath;
    if (st != kOk) return st;
  }
  cursor.DropLogical();
  if (key != nullptr) {
    cursor.logical_key = key->number;
    cursor.logical_entry = std::move(entry.k);
    (void)ReturnKey(cursor, call, key->number, record);
  }
  cursor.SetPhysical(pos, stamp);
  return ReturnRecord(cursor, call, record);
}

}  // namespace tavelnor::btrieve
