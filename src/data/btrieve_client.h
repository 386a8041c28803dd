// The seam between the access layer and a record manager: the two entry
// points of the Btrieve call interface and the thin wrappers BtrvCall and
// BtrvCallId through which every call goes.
//
// Which record manager answers is decided once per process, on first use:
//   - on Windows, "w3btrv7.dll" when it loads and exports ordinals 1 and 2
//     (BTRCALL and BTRCALLID);
//   - elsewhere, the shared library named by TAVELNOR_BTRIEVE_CLIENT when the
//     variable is set, the library loads and exports both names;
//   - otherwise the embedded record manager linked into this library.
// A client library that cannot be loaded, or lacks one of the entry points,
// is left aside (and unloaded); the embedded record manager answers and the
// description says why. Tests may put a scripted record manager in front of
// the chosen one with ReplaceRecordManager.
#pragma once

#include <cstdint>
#include <string>

#include "btrieve/btrcall.h"  // the entry points' signatures and calling convention

namespace tavelnor::platform {
struct DynamicLibrary;
}

namespace tavelnor::data {

using BtrCallFunc = int16_t(TAVELNOR_BTR_CALL*)(uint16_t op, void* pos_block, void* data,
                                                uint32_t* data_len, void* key, uint8_t key_len,
                                                int8_t key_num);
using BtrCallIdFunc = int16_t(TAVELNOR_BTR_CALL*)(uint16_t op, void* pos_block, void* data,
                                                  uint32_t* data_len, void* key, uint8_t key_len,
                                                  int8_t key_num, const uint8_t* client_id);

struct RecordManagerEntries {
  BtrCallFunc call = nullptr;
  BtrCallIdFunc call_id = nullptr;
};

// The 16-byte Btrieve client identifier; its last word is the client number.
struct BtrvClientId {
  uint8_t bytes[16] = {};
  uint16_t ClientNumber() const {
    return static_cast<uint16_t>(bytes[14] | (bytes[15] << 8));
  }
};

// The process's identifier: all zero, so every call goes through BTRCALL.
const BtrvClientId& ProcessClientId();

// A record manager: either a loaded client library (owned, unloaded with the
// object) or the embedded one.
class RecordManager {
 public:
  enum class Kind { kEmbedded, kClientLibrary };

  // Loads the client library at `library_path` (empty: none) and keeps it when
  // it exports both entry points, by ordinal when `by_ordinal`, else by name;
  // otherwise the embedded record manager, with a note on why.
  static RecordManager Choose(const std::string& library_path, bool by_ordinal);

  RecordManager(RecordManager&& other) noexcept;
  RecordManager& operator=(RecordManager&&) = delete;
  RecordManager(const RecordManager&) = delete;
  ~RecordManager();

  Kind kind() const { return kind_; }
  const RecordManagerEntries& entries() const { return entries_; }
  // One line: "embedded" or "client library <path>", with the note when a
  // client library was left aside.
  std::string Describe() const;

 private:
  RecordManager() = default;
  Kind kind_ = Kind::kEmbedded;
  RecordManagerEntries entries_;
  platform::DynamicLibrary* library_ = nullptr;
  std::string path_;
  std::string note_;
};

// The record manager of this process, chosen on first use (see above).
const RecordManager& ProcessRecordManager();

// Puts `entries` in front of the process's record manager (both null: takes
// the replacement away) and answers the replacement it ends.
RecordManagerEntries ReplaceRecordManager(RecordManagerEntries entries);

// Copy the 16-bit data length (0 when `data_len` is null) into a 32-bit
// length, call BTRCALL with key length 255 and the key number narrowed to a
// signed byte, write the length back, and answer the status.
uint16_t BtrvCall(uint16_t op, void* pos_block, void* data, uint16_t* data_len, void* key,
                  int16_t key_num);
// The same through BTRCALLID with `client_id`.
uint16_t BtrvCallId(uint16_t op, void* pos_block, void* data, uint16_t* data_len, void* key,
                    int16_t key_num, const BtrvClientId* client_id);

}  // namespace tavelnor::data
