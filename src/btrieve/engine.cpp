// The operations on their own, without locks and transactions (which
// engine_control.cpp adds around them), and the file-level operations: Open,
// Close, Create, Stat, Version, Reset.
#include "btrieve/engine.h"

#include <cstring>
#include <string>

#include "btrieve/btrieve_codes.h"
#include "foundation/byte_reader.h"

namespace tavelnor::btrieve {

namespace {

constexpr uint16_t kVersion = 7;
constexpr uint16_t kRevision = 0;
constexpr char kPlatformLetter = '9';

// The path in the key buffer: up to the first NUL, trailing blanks removed.
std::string PathFromKey(const Call& call) {
  if (call.key == nullptr) return {};
  const void* nul = std::memchr(call.key, 0, call.key_len);
  size_t n = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - call.key) : call.key_len;
  while (n > 0 && call.key[n - 1] == ' ') --n;
  return std::string(reinterpret_cast<const char*>(call.key), n);
}

// Open mode without the sharing biases; kInvalidOperation when unknown.
int OpenMode(int key_num, int* mode) {
  int m = key_num;
  if (m <= -64) {
    m += 64;
  } else if (m <= -32) {
    m += 32;
  }
  if (m > 0 || m < -4) return kInvalidOperation;
  *mode = m;
  return kOk;
}

// Key-only files keep each record inside its key entry: no physical order
// and no stable record address. Records are reached through their key only,
// so what walks or addresses the records physically is refused (41).
bool RefusedOnKeyOnlyFile(int op, int key_num) {
  switch (op) {
    case kOpStepFirst:
    case kOpStepLast:
    case kOpStepNext:
    case kOpStepPrevious:
    case kOpStepNextExtended:
    case kOpStepPreviousExtended:
    case kOpGetPosition:
    case kOpGetDirect:  // record and chunk forms alike
      return true;
    case kOpGetByPercentage:
    case kOpFindPercentage:
      return key_num == -1;  // the physical order
    default:
      return false;
  }
}

}  // namespace

void SettleFailedReadLength(Registry& registry, const Call& call, uint32_t capacity, int status) {
  if (status == kOk || call.data_len == nullptr) return;
  if (call.op < 0 || call.op >= kBiasNoPageWait) return;  // no read carries these codes
  const int op = call.op % 100;                           // without a lock bias
  const bool extended = op >= kOpGetNextExtended && op <= kOpStepPreviousExtended;
  const bool record_read = (op >= kOpGetEqual && op <= kOpGetLast) || op == kOpGetDirect ||
                           op == kOpStepNext || (op >= kOpStepFirst && op <= kOpStepPrevious) ||
                           op == kOpGetByPercentage;
  if (extended) {
    // 9, 60 and 64 come with the records found so far; so does a 22 met on
    // the way, which always leaves room unused (a 22 before the search
    // leaves the length as it came).
    if (status == kEndOfFile || status == kRejectCountReached || status == kFilterLimitReached) {
      return;
    }
    if (status == kDataBufferTooShort && *call.data_len < capacity) return;
  } else if (op == kOpGetDirect && call.key_num == -2) {
    if (status == kVariablePartDamaged) return;  // chunks up to the damage
  } else if (record_read && status == kDataBufferTooShort) {
    // Get Direct/Record sets currency on 22; callers repositioning with a
    // 4-byte buffer read their length back.
    if (op == kOpGetDirect) return;
    // A variable-length record is cut to the buffer when its fixed part fits.
    const Cursor* cursor = registry.Find(call.pos_block, call.client);
    if (cursor != nullptr && cursor->file->data->spec().variable_length() &&
        capacity >= cursor->file->data->spec().record_length) {
      return;
    }
  } else if (!record_read) {
    return;
  }
  *call.data_len = 0;
}

int DoOpen(Registry& registry, const Call& call) {
  int mode = 0;
  if (int st = OpenMode(call.key_num, &mode); st != kOk) return st;
  std::string path = PathFromKey(call);
  if (path.empty()) return kInvalidFileName;
  std::string owner;
  if (call.data && call.data_len && *call.data_len > 0) {
    const void* nul = std::memchr(call.data, 0, *call.data_len);
    size_t n =
        nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - call.data) : *call.data_len;
    owner.assign(reinterpret_cast<const char*>(call.data), n);
  }
  const bool exclusive = mode == -4;
  // Opening over a block that is still open closes the old file first.
  if (registry.Find(call.pos_block, call.client)) registry.Detach(call.pos_block);
  std::shared_ptr<SharedFile> file = registry.OpenFile(path);
  if (file && (file->exclusive || exclusive)) return kIncompatibleMode;
  if (!file) {
    file = std::make_shared<SharedFile>();
    file->path = path;
    if (int st = DataFile::Open(path, &file->data); st != kOk) return st;
  }
  // Owner modes 1 and 3 let a caller without the name read, not write.
  bool owner_missing = false;
  if (!file->data->owner().empty() && file->data->owner() != owner) {
    if (!owner.empty() || (file->data->owner_mode() & 1) == 0) return kOwnerError;
    owner_missing = true;
  }
  auto cursor = std::make_unique<Cursor>();
  cursor->file = file;
  cursor->client = call.client;
  // Files of an earlier engine are read in any mode and never written: their
  // writes give 46 as on a read-only open. Locking reads succeed: the locks
  // hold between our own clients and processes.
  cursor->read_only = mode == -2 || owner_missing || !file->data->writable();
  file->opens++;
  file->exclusive = exclusive;
  registry.Remember(file);
  registry.Attach(call.pos_block, std::move(cursor));
  return kOk;
}

int DoCreate(Registry& registry, const Call& call) {
  std::string path = PathFromKey(call);
  if (path.empty()) return kInvalidFileName;
  if (call.data == nullptr || call.data_len == nullptr) return kDataBufferTooShort;
  FileSpec spec;
  if (int st = ParseFileSpec({call.data, *call.data_len}, &spec); st != kOk) return st;
  if (registry.OpenFile(path)) return kIncompatibleMode;
  return DataFile::Create(path, spec, call.key_num != -1);
}

int DoStat(Cursor& cursor, const Call& call) {
  if (call.key_num != 0 && call.key_num != -1) return kInvalidKeyNumber;
  uint32_t count = 0;
  std::vector<uint32_t> distinct;
  if (int st = cursor.data().RecordCount(&count); st != kOk) return st;
  if (int st = cursor.data().DistinctValues(&distinct); st != kOk) return st;
  std::vector<uint8_t> stat = BuildStat(cursor.data().spec(), count, distinct, call.key_num == -1);
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < stat.size()) {
    return kDataBufferTooShort;
  }
  std::memcpy(call.data, stat.data(), stat.size());
  *call.data_len = static_cast<uint32_t>(stat.size());
  if (call.key && call.key_len > 0) call.key[0] = 0;
  return kOk;
}

int DoVersion(const Call& call) {
  if (call.data == nullptr || call.data_len == nullptr || *call.data_len < 5) {
    return kDataBufferTooShort;
  }
  StoreLE16(call.data, kVersion);
  StoreLE16(call.data + 2, kRevision);
  call.data[4] = static_cast<uint8_t>(kPlatformLetter);
  *call.data_len = 5;
  return kOk;
}

int16_t DispatchBase(Registry& registry, const Call& call) {
  int op = call.op;
  if (op == kOpVersion) return static_cast<int16_t>(DoVersion(call));
  if (op == kOpReset) {
    registry.DetachClient(call.client);
    return kOk;
  }
  if (op == kOpCreate) return static_cast<int16_t>(DoCreate(registry, call));
  if (call.pos_block == nullptr) return kFileNotOpen;
  if (op == kOpOpen) return static_cast<int16_t>(DoOpen(registry, call));
  Cursor* cursor = registry.Find(call.pos_block, call.client);
  bool known = (op >= kOpClose && op <= kOpStat) || op == kOpGetPosition || op == kOpGetDirect ||
               op == kOpStepNext || (op >= kOpSetOwner && op <= kOpDropIndex) ||
               (op >= kOpStepFirst && op <= kOpStepPrevious) || op == kOpGetByPercentage ||
               op == kOpFindPercentage || op == kOpUpdateChunk ||
               (op >= kOpGetNextExtended && op <= kOpInsertExtended) ||
               (op >= kOpGetEqual + kGetKeyBias && op <= kOpGetLast + kGetKeyBias);
  if (!known) return kInvalidOperation;
  if (cursor == nullptr) return kFileNotOpen;
  if ((cursor->data().spec().flags & kFileKeyOnly) && RefusedOnKeyOnlyFile(op, call.key_num)) {
    return kNotAllowedNow;
  }
  int st = kInvalidOperation;
  switch (op) {
    case kOpClose:
      registry.Detach(call.pos_block);
      st = kOk;
      break;
    case kOpStat:
      st = DoStat(*cursor, call);
      break;
    case kOpInsert:
      st = DoInsert(*cursor, call);
      break;
    case kOpUpdate:
      st = DoUpdate(*cursor, call);
      break;
    case kOpDelete:
      st = DoDelete(*cursor, call);
      break;
    case kOpGetPosition:
      st = DoGetPosition(*cursor, call);
      break;
    case kOpGetDirect:
      st = call.key_num == -2 ? DoGetDirectChunk(*cursor, call) : DoGetDirect(*cursor, call);
      break;
    case kOpUpdateChunk:
      st = DoUpdateChunk(*cursor, call);
      break;
    case kOpGetNextExtended:
    case kOpGetPreviousExtended:
      st = DoGetExtended(*cursor, call, op);
      break;
    case kOpStepNextExtended:
    case kOpStepPreviousExtended:
      st = DoStepExtended(*cursor, call, op);
      break;
    case kOpInsertExtended:
      st = DoInsertExtended(*cursor, call);
      break;
    case kOpSetOwner:
      st = DoSetOwner(*cursor, call);
      break;
    case kOpClearOwner:
      st = DoClearOwner(*cursor, call);
      break;
    case kOpCreateIndex:
      st = DoCreateIndex(*cursor, call);
      break;
    case kOpDropIndex:
      st = DoDropIndex(registry, *cursor, call);
      break;
    case kOpGetByPercentage:
      st = DoGetByPercentage(*cursor, call);
      break;
    case kOpFindPercentage:
      st = DoFindPercentage(*cursor, call);
      break;
    case kOpStepFirst:
    case kOpStepLast:
    case kOpStepNext:
    case kOpStepPrevious:
      st = DoStep(*cursor, call, op);
      break;
    default:
      if (op >= kOpGetEqual && op <= kOpGetLast) {
        st = DoGet(*cursor, call, op, false);
      } else if (op >= kOpGetEqual + kGetKeyBias && op <= kOpGetLast + kGetKeyBias) {
        st = DoGet(*cursor, call, op - kGetKeyBias, true);
      }
      break;
  }
  return static_cast<int16_t>(st);
}

}  // namespace tavelnor::btrieve
