// Insert, Update and Delete with their currency effects.
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine.h"

namespace tavelnor::btrieve {

namespace {

// The record sent in the data buffer: the fixed length, or everything sent
// for variable-length files. 22 when shorter than the fixed part.
int RecordFromCall(const Cursor& cursor, const Call& call, std::vector<uint8_t>* record) {
  const FileSpec& spec = cursor.file->data->spec();
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < spec.record_length) {
    return kDataBufferTooShort;
  }
  size_t n = spec.variable_length() ? *call.data_len : spec.record_length;
  record->assign(call.data, call.data + n);
  return kOk;
}

// The key path of a write: -1 (no currency change) or a defined key.
int WriteKey(const Cursor& cursor, const Call& call, const KeyDef** key) {
  *key = nullptr;
  if (call.key_num == -1) return kOk;
  *key = cursor.file->data->spec().FindKey(call.key_num);
  if (*key == nullptr) {
    // A file without keys accepts key number 0 as "no key".
    return cursor.file->data->spec().keys.empty() && call.key_num == 0 ? kOk : kInvalidKeyNumber;
  }
  if (call.key == nullptr || call.key_len < (*key)->length()) return kKeyBufferTooShort;
  return kOk;
}

// Makes the record at `pos` logically current on `key`, or drops logical
// currency when its key is null there.
int SetLogical(Cursor& cursor, const KeyDef& key, uint32_t pos) {
  Entry entry;
  int st = cursor.data().EntryOf(key.number, pos, &entry);
  cursor.DropLogical();
  if (st == kKeyNotFound) return kOk;
  if (st != kOk) return st;
  cursor.logical_key = key.number;
  cursor.logical_entry = std::move(entry.k);
  return kOk;
}

}  // namespace

int DoInsert(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  std::vector<uint8_t> record;
  if (int st = RecordFromCall(cursor, call, &record); st != kOk) return st;
  const KeyDef* key = nullptr;
  if (int st = WriteKey(cursor, call, &key); st != kOk) return st;
  const int number = key ? key->number : -1;
  uint32_t pos = 0;
  if (int st = cursor.data().Insert(&record, &pos); st != kOk) return st;
  // The write may have reloaded the keys another connection changed.
  key = key ? cursor.data().spec().FindKey(number) : nullptr;
  std::memcpy(call.data, record.data(), record.size());  // AUTOINCREMENT values filled in
  cursor.physical = Cursor::Physical::kOn;
  cursor.physical_pos = pos;
  cursor.after_extended = false;
  if (key == nullptr) return kOk;
  if (int st = SetLogical(cursor, *key, pos); st != kOk) return st;
  return ReturnKey(cursor, call, key->number, record);
}

int DoUpdate(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  if (cursor.physical != Cursor::Physical::kOn || cursor.collapsed || cursor.after_extended) {
    return kInvalidPositioning;
  }
  std::vector<uint8_t> record;
  if (int st = RecordFromCall(cursor, call, &record); st != kOk) return st;
  const KeyDef* key = nullptr;
  if (int st = WriteKey(cursor, call, &key); st != kOk) return st;
  const uint32_t pos = cursor.physical_pos;
  const int number = key ? key->number : -1;
  int st = cursor.data().Update(pos, record);
  if (st == kInvalidRecordAddress) return kInvalidPositioning;
  key = key ? cursor.data().spec().FindKey(number) : nullptr;
  if (st != kOk || key == nullptr) return st;
  if (key->number == cursor.logical_key) {
    if (int s = SetLogical(cursor, *key, pos); s != kOk) return s;
  } else {
    cursor.key_switched = true;
  }
  return ReturnKey(cursor, call, key->number, record);
}

int DoDelete(Cursor& cursor, const Call& /*call*/) {
  if (cursor.read_only) return kAccessDenied;
  if (cursor.physical != Cursor::Physical::kOn || cursor.collapsed || cursor.after_extended) {
    return kInvalidPositioning;
  }
  int st = cursor.data().Delete(cursor.physical_pos);
  if (st == kInvalidRecordAddress) return kInvalidPositioning;
  if (st != kOk) return st;
  // Step Next still finds the old physical neighbour, Get Next the logical one.
  cursor.physical = Cursor::Physical::kDeleted;
  return kOk;
}

}  // namespace tavelnor::btrieve
