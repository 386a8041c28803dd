// Get By Percentage and Find Percentage: positions as hundredths of a
// percent of a key path or of the physical order. The answer is exact: the
// entry of rank r among n answers r * 10000 / (n - 1), so the first entry is
// 0 and the last 10000, and Get By Percentage rounds up to the rank that
// answers at least the percentage given.
#include <algorithm>
#include <cstring>

#include "btrieve/btrieve_codes.h"
#include "btrieve/engine.h"
#include "btrieve/key_codec.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr uint32_t kWhole = 10000;

// The key path of a percentage call: null for -1 (physical order).
int PercentPath(const Cursor& cursor, const Call& call, const KeyDef** key) {
  *key = nullptr;
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 4) {
    return kDataBufferTooShort;
  }
  if (call.key_num == -1) return kOk;
  *key = cursor.file->data->spec().FindKey(call.key_num);
  if (*key == nullptr) return kInvalidKeyNumber;
  if (call.key == nullptr || call.key_len < (*key)->length()) return kKeyBufferTooShort;
  return kOk;
}

}  // namespace

int DoGetByPercentage(Cursor& cursor, const Call& call) {
  const KeyDef* key = nullptr;
  if (int st = PercentPath(cursor, call, &key); st != kOk) return st;
  const uint32_t percent = LoadLE16(call.data);
  if (percent > kWhole) {
    // Not a place in the file: of the statuses Get By Percentage answers,
    // the one for a place that does not exist (43). Refused before anything
    // moves, and nothing comes back.
    *call.data_len = 0;
    return kInvalidRecordAddress;
  }
  DataFile& data = cursor.data();
  const int num = key ? key->number : -1;
  uint32_t count = 0;
  if (int st = data.CountOf(num, &count); st != kOk) return st;
  if (count == 0) return kEndOfFile;
  const auto rank = static_cast<uint32_t>((uint64_t{percent} * (count - 1) + kWhole - 1) / kWhole);
  Entry entry;
  if (int st = data.EntryAt(num, rank, &entry); st != kOk) return st;
  if (key != nullptr && key->duplicates()) {
    // The first record of a run of duplicates.
    if (int st = data.Find(num, Seek::kAtLeast, entry.k.substr(0, key->length()), &entry);
        st != kOk) {
      return st;
    }
  }
  std::vector<uint8_t> record;
  uint64_t stamp = 0;
  if (int st = data.Read(entry.pos, &record, &stamp); st != kOk) {
    return st == kInvalidRecordAddress ? kIoError : st;
  }
  cursor.DropLogical();
  cursor.SetPhysical(entry.pos, stamp);
  if (key != nullptr) {
    cursor.logical_key = key->number;
    cursor.logical_entry = std::move(entry.k);
    if (int st = ReturnKey(cursor, call, key->number, record); st != kOk) return st;
  }
  return ReturnRecord(cursor, call, record);
}

int DoFindPercentage(Cursor& cursor, const Call& call) {
  const KeyDef* key = nullptr;
  if (int st = PercentPath(cursor, call, &key); st != kOk) return st;
  DataFile& data = cursor.data();
  const int num = key ? key->number : -1;
  uint32_t rank = 0;
  if (key != nullptr) {
    std::string value = EncodeKey(data.spec(), *key, call.key);
    if (int st = data.RankBelow(num, value, 0, &rank); st != kOk) return st;
  } else {
    const uint32_t pos = LoadLE32(call.data);
    std::vector<uint8_t> record;
    if (pos == 0) return kInvalidRecordAddress;
    if (int st = data.Read(pos, &record); st != kOk) return st;
    if (int st = data.RankBelow(num, {}, pos, &rank); st != kOk) return st;
  }
  uint32_t count = 0;
  if (int st = data.CountOf(num, &count); st != kOk) return st;
  if (count == 0) return kEndOfFile;
  rank = std::min(rank, count - 1);  // a value above every entry falls at the end
  const auto percent =
      count == 1 ? 0u : static_cast<uint32_t>(uint64_t{rank} * kWhole / (count - 1));
  StoreLE16(call.data, static_cast<uint16_t>(percent));
  call.data[2] = 0;
  call.data[3] = 0;
  *call.data_len = 4;
  return kOk;
}

}  // namespace tavelnor::btrieve
