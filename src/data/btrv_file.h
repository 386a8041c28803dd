// BtrvFile: one open Btrieve file — its 128-byte position block, client
// identifier, current key, record length, flags and names — and every
// operation the library issues on it, each through BtrvExecute.
//
// Every operation passes the file's position block, client identifier and
// file name, and the file's variable-length flag as *accept short buffer*.
// Record reads pass the record length member itself as the data length, so
// the length the record manager writes back is the length of the next read;
// their data buffer must hold at least record_length() bytes. Key buffers are
// 255 bytes (a null one is replaced by a zeroed local buffer).
//
// Not thread-safe: the position block and the current key belong to one caller
// at a time (the data context's critical section serialises the tables).
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "data/btrieve_client.h"
#include "data/creation_spec.h"
#include "foundation/chaine.h"

namespace tavelnor::data {

class EData;  // the data object that holds a file exclusively (data table layer)

// BtrvFile flags.
inline constexpr uint8_t kBtrvOpen = 0x01, kBtrvAutoIncrement = 0x02, kBtrvVariableLength = 0x04,
                         kBtrvOldFormat = 0x08, kBtrvTableFlag = 0x10;

inline constexpr size_t kKeyBufferSize = 255;
inline constexpr size_t kStatBufferSize = 1920;

class BtrvFile {
 public:
  BtrvFile();
  ~BtrvFile();
  BtrvFile(const BtrvFile&) = delete;
  BtrvFile& operator=(const BtrvFile&) = delete;

  // --- identity ------------------------------------------------------------
  // Sets the file name and derives the creation path from it: the short form
  // of the folder joined with the name as given (the name itself when the
  // folder has no short form).
  void SetFileName(const Chaine& path);
  const Chaine& file_name() const { return file_name_; }
  const Chaine& creation_path() const { return creation_path_; }
  // At most 8 characters; longer names are cut.
  void SetOwnerName(std::string_view owner);
  const Chaine& owner_name() const { return owner_name_; }

  uint8_t flags() const { return flags_; }
  void set_table_flag(bool on);  // flag 0x10, kept for the table layer
  bool is_open() const { return (flags_ & kBtrvOpen) != 0; }
  uint16_t record_length() const { return record_length_; }
  int16_t current_key() const { return current_key_; }
  uint8_t* position_block() { return position_block_; }
  const BtrvClientId& client_id() const { return client_id_; }
  EData* current_user() const { return current_user_; }
  void set_current_user(EData* user) { current_user_ = user; }

  // --- creation ------------------------------------------------------------
  // Builds the creation specification from a table definition (see
  // creation_spec.h); it lives until the next successful Open.
  int16_t BuildCreationSpec(const dico::DRubricTable& table, bool extended_form);
  // Starts an empty specification to be filled with AddKeySegment.
  void BeginCreationSpec(uint16_t record_length, uint16_t page_size, uint8_t key_count,
                         uint16_t file_flags);
  // Status 1 when no specification was begun.
  int16_t AddKeySegment(uint32_t position, uint16_t length, uint16_t flags, uint8_t extended_type,
                        bool add_duplicate_bit = true);
  const BtrvCreationSpec* creation_spec() const { return spec_.get(); }
  // Create (14) at the creation path, with the retries on 26 (format byte) and
  // on 11, 25 and 35 (with the file name). Status 1 without a specification.
  int16_t Create();

  // --- opening ---------------------------------------------------------------
  // Open (0) with `mode` (0 normal, 0xFE read-only) and the owner name set
  // before: up to three attempts on 85, the file name in place of the
  // creation path on 11, 12 and 35, the owner name dropped on 51 (reported
  // when there was none). On success: open flag, Stat, specification freed.
  int16_t Open(const Chaine& path, int16_t mode = 0);
  int16_t Close();
  // Stat (15): record length and flags 0x02, 0x04, 0x08. `buffer`, when
  // given, holds kStatBufferSize bytes and receives the answer.
  int16_t Stat(uint8_t* buffer = nullptr);

  // --- records ---------------------------------------------------------------
  int16_t Insert(void* data, uint16_t length, void* key, int16_t key_num);
  int16_t Update(void* data, uint16_t length, void* key, int16_t key_num);
  int16_t Delete();
  // Get Equal (5) to Get Last (13), plus `offset`. First and Last clear the key
  // buffer first.
  int16_t Get(uint16_t operation, void* data, void* key, int16_t key_num, uint16_t lock_bias = 0,
              uint16_t offset = 0, bool quiet = false);
  // Step First, Last, Next, Previous (33, 34, 24, 35), plus `offset`.
  int16_t Step(uint16_t operation, void* data, uint16_t lock_bias = 0, uint16_t offset = 0);
  // The 4-byte physical position of the current record; -1 on failure.
  int32_t GetPosition();
  // Get Direct (23) to `position`. With `data`, the record is read into it;
  // without, the record manager is only repositioned. Key currency follows
  // `key_num` on success.
  int16_t GetDirect(int32_t position, void* data, void* key, int16_t key_num,
                    uint16_t lock_bias = 0);
  // Unlock (27): key 1, or -2 for every multiple-record lock.
  int16_t Unlock(bool all_multiple = false);
  int16_t SetOwner(std::string_view owner, int16_t access_mode);
  int16_t ClearOwner();
  int16_t CreateIndex(void* key_spec, uint16_t length, int16_t key_num);
  // Get Next/Previous Extended (36, 37) and Step Next/Previous Extended
  // (38, 39); the data length is `length` modulo 65536.
  int16_t Extended(uint16_t operation, void* data, uint32_t length, void* key, int16_t key_num,
                   uint16_t lock_bias = 0);
  int16_t GetByPercentage(uint16_t percentage, void* data, void* key, int16_t key_num,
                          uint16_t lock_bias = 0);
  // Find Percentage (45) of a key value (`key_num` >= 0, value in `key`) or of
  // a position (`key_num` -1); 0 on failure.
  int16_t FindPercentage(int32_t position, void* key, int16_t key_num);
  int16_t UpdateChunk(void* descriptor, uint16_t length);
  // Get Direct in its chunk form (23, key -2): `length` bytes (at most
  // 65535 - 20) from record offset `offset` of the record at `position` into
  // `dest`; `*got` receives the bytes returned.
  int16_t GetDirectChunk(int32_t position, uint32_t offset, uint32_t length, uint8_t* dest,
                         uint32_t* got);

  // Counts the operations issued on this file: a data object that finds the
  // count unchanged since its own last call knows the currency is still its own.
  uint64_t operations() const { return operations_; }

  // --- transactions (process-wide) ------------------------------------------
  // Begin enters the data context's critical section, marks the transaction
  // active and issues 1019; End and Abort issue 20 or 21, then clear the mark
  // and leave the section when it was set.
  int16_t BeginTransaction();
  int16_t EndTransaction();
  int16_t AbortTransaction();
  static bool InTransaction();

  // The record manager's major version, asked once per process (Version, 26);
  // 0 when Version failed.
  static int RecordManagerVersion();
  // The same question asked now, without the remembered answer.
  static int AskRecordManagerVersion();
  // The data length of a repositioning Get Direct: 4 from version 7 on, else
  // the record length.
  static uint16_t RepositionLength(int version, uint16_t record_length) {
    return version >= 7 ? 4 : record_length;
  }

 private:
  int16_t Execute(uint16_t operation, void* data, uint16_t* data_len, void* key, int16_t key_num,
                  uint16_t lock_bias = 0, bool quiet = false);
  int16_t EndOrAbort(uint16_t operation);

  uint8_t position_block_[128] = {};
  BtrvClientId client_id_;
  int16_t current_key_ = -1;
  uint16_t record_length_ = 0;
  std::unique_ptr<BtrvCreationSpec> spec_;
  uint8_t flags_ = 0;
  Chaine file_name_;
  Chaine creation_path_;
  Chaine owner_name_;
  EData* current_user_ = nullptr;
  uint64_t operations_ = 0;
};

}  // namespace tavelnor::data
