// EDataTable: the data object of one dictionary table stored in one Btrieve
// file.
//
// The table opens (and, when missing, creates) its file, keeps its own
// current record and key while several tables share one open file through
// the data context's cache, bounds navigation by its key range, skips rows
// its filter refuses, and writes records back. Every Btrieve call runs under
// the data context's critical section; a table that holds the file
// exclusively (BeginExclusive) makes every other table on the file fail with
// 861 until EndExclusive.
//
// Variable-length parts: each blob field of the record is an 8-byte slot
// (length << 8 | flags, then a reference to bytes the table owns). With the
// variable-parts option on, they are read after every successful read from
// the bytes stored after the fixed record, in field order, and written back
// after an insert or an update that modified one (Update Chunk, 8192-byte
// pieces, then a truncate after the last byte).
//
// Argument-taking first/next (ScanFilter) use Btrieve's extended operations:
// see scan_filter.h for the descriptor.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <string_view>

#include "data/btrv_file.h"
#include "data/edata.h"
#include "data/scan_filter.h"

namespace tavelnor::dico {
class DDicoHandler;
}

namespace tavelnor::data {

class DataContext;

// Table flags.
inline constexpr uint32_t kTableOwnsFile = 0x1;       // destroyed with the table, not cached
inline constexpr uint32_t kTableKeepsFile = 0x2;      // the file is not released by this table
inline constexpr uint32_t kTableDefaultOpen = 0x4;    // opened with default settings
inline constexpr uint32_t kTableExtendedForm = 0x8;   // the ".fatbtr" form, extended length

// Btrieve open mode that never creates a missing file.
inline constexpr int16_t kOpenNoCreate = 254;
// Bytes per Update Chunk / chunk read.
inline constexpr uint32_t kVariablePartPiece = 8192;
// Percentages count in hundredths of a percent.
inline constexpr uint32_t kOrdinalScale = 10000;

// The calling thread's cancel callback for long walks: answers true to stop.
using CancelCallback = std::function<bool()>;
void SetThreadCancelCallback(CancelCallback callback);  // null callback: remove
bool ThreadCancelRequested();

class EDataTable : public EData {
 public:
  explicit EDataTable(DataContext* context = nullptr);
  ~EDataTable() override;

  // --- opening ---------------------------------------------------------------
  // Opens `path` for this table alone; a missing file is created from the
  // definition (unless `mode` is 254) and given `owner` when one is set.
  // True when the status is 0; 22 when the file's record length differs
  // from the definition's.
  bool Open(const dico::DRubricTable* table, const Chaine& path, int16_t mode = 0,
            bool no_open = false, std::string_view owner = {});
  // Opens through the context's cache, sharing the file with other tables
  // of the same path. `table_id` is the definition's id in `dico`; an empty
  // `path` takes the definition's own file; `selector` -1 asks the
  // record manager's accelerated mode. Flag A and B are kept in the mode word.
  bool OpenShared(dico::DDicoHandler& dico, uint32_t table_id, const Chaine& path,
                  int32_t selector, int16_t mode, bool flag_a, bool flag_b);
  // Reopens the file through the cache with the table's own flags.
  bool Reopen(bool hold);
  bool IsOpen() const { return file_ && file_->is_open(); }
  BtrvFile* File() const { return file_; }
  const Chaine& Path() const { return path_; }
  uint32_t TableFlags() const { return table_flags_; }
  void SetExtendedForm(bool on);

  // Adds an index made of `fields` (record fields of this table) to the open
  // file; answers its key number, -1 with a status when refused.
  int32_t CreateFileKey(const std::vector<std::string>& fields, bool duplicates = true);

  // --- navigation --------------------------------------------------------------
  int32_t First() override { return FirstOrLast(Reversed() ? 1 : 0); }
  int32_t Last() override { return FirstOrLast(Reversed() ? 0 : 1); }
  int32_t Next() override { return NextOrPrevious(Reversed() ? 1 : 0); }
  int32_t Previous() override { return NextOrPrevious(Reversed() ? 0 : 1); }
  int32_t First(const ScanFilter& filter) { return FirstOrLastWith(Reversed() ? 1 : 0, filter); }
  int32_t Last(const ScanFilter& filter) { return FirstOrLastWith(Reversed() ? 0 : 1, filter); }
  int32_t Next(const ScanFilter& filter) { return NextOrPreviousWith(Reversed() ? 1 : 0, filter); }
  int32_t Previous(const ScanFilter& filter) {
    return NextOrPreviousWith(Reversed() ? 0 : 1, filter);
  }
  int32_t FirstOrLast(int direction);
  int32_t NextOrPrevious(int direction);
  int32_t FirstOrLastWith(int direction, const ScanFilter& filter);
  int32_t NextOrPreviousWith(int direction, const ScanFilter& filter);

  int32_t FindEqual(int32_t key, const void* value, size_t length) override;
  int32_t FindFrom(int32_t key, const void* value, size_t length) override;
  int32_t FindFromLast(int32_t key, const void* value, size_t length) override;
  int32_t GoTo(int32_t position, uint16_t lock_bias = 0) override;
  int32_t MoveToOrdinal(uint32_t n) override;
  uint32_t OrdinalOf(int32_t position) override;

  // --- locks and transactions ----------------------------------------------------
  int32_t LockRow(int32_t position, bool wait) override;
  int32_t LockRows(int32_t position, bool wait);
  bool UnlockRows(int32_t position);
  bool Unlock() override;
  bool BeginExclusive() override;
  void EndExclusive() override;
  int32_t BeginTransaction();
  int32_t EndTransaction();
  int32_t AbortTransaction();
  static bool InTransaction();

  // --- writing ---------------------------------------------------------------------
  int32_t Insert() override;
  bool InsertFromNoCurrency(const void* data, size_t length);
  bool InsertNoCurrency();
  int32_t Update(int32_t position = -1) override;
  int32_t UpdateIfAllowed(int32_t position) {
    (void)position;
    return -1;
  }
  bool Delete(int32_t position = -1) override;
  bool DeleteAll() override;

  // --- counts and keys -----------------------------------------------------------------
  uint32_t RecordCount(bool force = false) override;
  uint32_t RawRecordCount(bool force = false) override;

  void ReadVariableParts() override;
  void WriteVariableParts(bool inserted) override;

 protected:
  uint32_t WantedRecordLength() override;
  uint32_t FieldFilter() const override;

 private:
  friend class TableFileHold;
  DataContext& Context();
  void SetExtendedKeyLookupForFile();
  // Takes the file under the context's section (861 when another data
  // object holds it); ReleaseFile leaves the section.
  bool TakeFile();
  void ReleaseFile();
  void GiveBackFile();
  // Makes the file's currency this table's own again.
  int16_t Reestablish();
  // Refreshes the position from the file after a positioning with `status`.
  void Refresh(int16_t status);
  void Refresh(int16_t status, int32_t known_position);
  // Where a read lands and what a write stores: the record buffer, or a
  // shadow of the stored length when an attached buffer is shorter.
  uint8_t* ReadBuffer();
  uint8_t* WriteSource();
  // Keeps what a read brought (from the shadow, as far as the record buffer
  // goes) and drops the references it brought into the slots.
  void SanitizeSlots();
  // One extended get/step walk until a row passes `filter`.
  int32_t Extended(int direction, const ScanFilter& filter, bool include_current);
  // Find Percentage of `position` on the current key, as an ordinal.
  uint32_t PercentageOrdinal(int32_t position);
  // Finishes a read: clears the tail or the whole record, reads the parts,
  // runs the hooks.
  void FinishRead(bool found);
  // Finishes a single positioning read with `status`: slots, status,
  // position, record; answers the position or -1.
  int32_t ConcludeRead(int16_t status);
  // Ends a walk on a row outside the key range.
  int32_t EndOfRange();
  int32_t Search(uint16_t operation, int32_t key, const void* value, size_t length, bool high);
  uint8_t* KeyBuffer();
  int16_t KeyNumber() const;
  std::optional<EKeyDesc> FileKeyDesc(int key_number);
  int16_t ReadChunk(uint32_t offset, uint32_t length, std::string& out);
  void ResetForOpen(const dico::DRubricTable* table, const Chaine& path);
  // 22 when the open file's record length is not the definition's.
  bool CheckRecordLength();
  int32_t LockWith(int32_t position, uint16_t bias);

  DataContext* context_ = nullptr;
  BtrvFile* file_ = nullptr;
  std::unique_ptr<BtrvFile> owned_file_;
  std::unique_ptr<std::array<uint8_t, kKeyBufferSize>> key_buffer_;
  Chaine path_;
  uint32_t table_flags_ = 0;
  uint16_t open_mode_word_ = 0;
  uint64_t currency_stamp_ = UINT64_MAX;
  std::vector<uint8_t> shadow_;
  bool read_into_shadow_ = false;
};

// Takes the file for the scope of one operation.
class TableFileHold {
 public:
  explicit TableFileHold(EDataTable& table) : table_(table), held_(table.TakeFile()) {}
  ~TableFileHold() {
    if (held_) table_.ReleaseFile();
  }
  TableFileHold(const TableFileHold&) = delete;
  TableFileHold& operator=(const TableFileHold&) = delete;
  explicit operator bool() const { return held_; }

 private:
  EDataTable& table_;
  bool held_;
};

// The record count a Stat answer gives for navigation on `key_number`: the
// file's count, or the key's own count for a null or manual key (flags
// 0x0008, 0x0200); 0 for a key the file does not have.
uint32_t StatRecordCount(const std::vector<uint8_t>& stat, int key_number);

// Whether `path` names a table's extended form (extension "fatbtr", any case;
// a separator after the last dot means no extension).
bool IsExtendedFormPath(std::string_view path);

// Opens `table` as a data object of this library over its own file (the
// opener of link targets): a table with its variable parts read, or null
// when the file cannot be opened.
std::unique_ptr<EData> OpenTableObject(const dico::DRubricTable& table);

}  // namespace tavelnor::data
