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

// Makes the record logically current on `key` with the entry the write
// found, or drops logical currency when its key is null there.
void SetLogical(Cursor& cursor, const KeyDef& key, WriteResult& written) {
  cursor.DropLogical();
  if (!written.indexed) return;
  cursor.logical_key = key.number;
  cursor.logical_entry = std::move(written.entry);
}

}  // namespace

// Once the data file has stored a record, nothing here may fail: the entry
// and stamp the currency needs come back from the write itself.
int DoInsert(Cursor& cursor, const Call& call) {
  if (cursor.read_only) return kAccessDenied;
  std::vector<uint8_t> record;
  if (int st = RecordFromCall(cursor, call, &record); st != kOk) return st;
  const KeyDef* key = nullptr;
  if (int st = WriteKey(cursor, call, &key); st != kOk) return st;
  WriteResult written;
  written.key = key ? key->number : -1;
  uint32_t pos = 0;
  if (int st = cursor.data().Insert(&record, &pos, &written); st != kOk) return st;
  // The write may have reloaded the keys another connection changed.
  key = key ? cursor.data().spec().FindKey(written.key) : nullptr;
  std::memcpy(call.data, record.data(), record.size());  // AUTOINCREMENT values filled in
  cursor.SetPhysical(pos, written.stamp);
  cursor.after_extended = false;
  if (key == nullptr) return kOk;
  SetLogical(cursor, *key, written);
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
  WriteResult written;
  written.key = key ? key->number : -1;
  if (int st = cursor.data().Update(pos, record, cursor.physical_stamp, &written); st != kOk) {
    return st;
  }
  cursor.physical_stamp = written.stamp;
  key = key ? cursor.data().spec().FindKey(written.key) : nullptr;
  if (key == nullptr) return kOk;
  if (key->number == cursor.logical_key) {
    SetLogical(cursor, *key, written);
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
  if (int st = cursor.data().Delete(cursor.physical_pos, cursor.physical_stamp); st != kOk) {
    return st;
  }
  // Step Next still finds the old physical neighbour, Get Next the logical one.
  cursor.physical = Cursor::Physical::kDeleted;
  cursor.deleted_here = cursor.logical_key >= 0;
  return kOk;
}

}  // namespace tavelnor::btrieve
