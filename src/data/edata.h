// EData: the runtime data object behind every data handle — a navigable
// sequence of fixed-length records with one current record held in a record
// buffer, a current key, an optional key range and an optional row filter.
//
// Kinds: EDataTable (a table's Btrieve file, edata_table.h) and the three
// lists of the dictionary (edata_lists.h). The base class implements every
// operation that can be expressed through First/Next/Last/Previous and the
// record buffer (walking searches, ordinals, counts by walking, links,
// import); the kinds override what their storage does better.
//
// Status: every operation leaves its outcome in Status(): 0, a Btrieve
// status, or one of the library's own codes below. Positions: a table's rows
// are 4-byte physical positions (-1: none); a list's rows are numbered from 1
// (0: none). Navigation answers the position, or -1 when there is no row.
//
// Not thread-safe: a data object belongs to its caller's thread (tables
// serialise their Btrieve work through the data context themselves).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/key_state.h"
#include "foundation/chaine.h"

namespace tavelnor::record {
class ErField;
class ErFieldComposite;
}  // namespace tavelnor::record
namespace tavelnor::dico {
class DDicoBase;
class DRubricTable;
class DLink;
}  // namespace tavelnor::dico

namespace tavelnor::data {

// The library's own status beside the Btrieve numbers (btrieve_codes.h):
// the table's file is held by another user.
inline constexpr int32_t kStatusFileHeld = 861;

// Order word: bit 0 reverses the order (first/last and next/previous swap).
inline constexpr uint32_t kOrderReverse = 0x1;
// Option word.
inline constexpr uint32_t kOptionKeysBuilt = 0x1;
inline constexpr uint32_t kOptionVariableParts = 0x2;
// State word.
inline constexpr uint32_t kStateSyncLinks = 0x1;
inline constexpr uint32_t kStateVisibleCached = 0x2;
inline constexpr uint32_t kStateRawCached = 0x4;
inline constexpr uint32_t kStateChanged = 0x8;

// A row predicate on the record buffer (record, record length).
using RowFilter = std::function<bool(const uint8_t* record, size_t length)>;

// What ImportRecord needs and reports: the key that finds an existing row
// (-1: always insert), whether a row at or after the key value matches
// (FindFrom) rather than only an equal one, the four counters and the
// messages of the rejected records.
struct ImportContext {
  int32_t key_number = -1;
  bool range_match = false;
  uint32_t inserted = 0, updated = 0, unchanged = 0, rejected = 0;
  std::string message;
  // Import language for the messages: 1036 French, 2055 German.
  uint16_t language = 1036;
  // Pairs incoming bytes with the record: copies the fields of `source`
  // into `record` (record length bytes). Null: the source is a record of the
  // same layout and is copied whole. False rejects the record.
  std::function<bool(const uint8_t* source, uint8_t* record, size_t length)> map;
};

// Message texts of the import (ids 19017 to 19020) in `language` (1036 or
// 2055; any other language takes French).
std::string ImportMessage(int id, uint16_t language);

// The SCROLLINFO a scroll bar receives (Win32 layout, 28 bytes).
struct ScrollInfo {
  uint32_t size = 28;
  uint32_t mask = 23;  // range, page, position, disable-no-scroll
  int32_t min = 0;
  int32_t max = 0;
  uint32_t page = 0;
  int32_t position = 0;
  int32_t track_position = 0;
};
static_assert(sizeof(ScrollInfo) == 28);

class EData {
 public:
  // One link of the table to another table: the bytes of this record that
  // form the target's key, the target and the key value last used.
  struct LinkDesc {
    struct Part {
      uint32_t position = 0;
      uint32_t length = 0;
    };
    std::vector<Part> parts;  // in key order
    uint16_t target_key = 0;
    std::unique_ptr<EData> target;
    bool owned = true;
    bool synced = false;
    std::vector<uint8_t> last_value;
  };
  // Opens the target data object of a link: a table of the same dictionary.
  // The default opens an EDataTable over the table's own file.
  using LinkOpener = std::function<std::unique_ptr<EData>(const dico::DRubricTable& target)>;
  static void SetLinkOpener(LinkOpener opener);

  EData();
  virtual ~EData();
  EData(const EData&) = delete;
  EData& operator=(const EData&) = delete;

  int32_t Status() const { return status_; }
  void SetStatus(int32_t status) { status_ = status; }

  // --- searching ---------------------------------------------------------
  // The base walks from the first row comparing record bytes at `offset`
  // (-1: the start of the record); tables search key `offset` instead.
  virtual int32_t FindEqual(int32_t offset, const void* value, size_t length);
  int32_t FindEqualOnCurrentKey(const void* value, size_t length);
  virtual int32_t FindFrom(int32_t offset, const void* value, size_t length);
  virtual int32_t FindFromLast(int32_t offset, const void* value, size_t length);

  // --- navigation ----------------------------------------------------------
  virtual int32_t First() = 0;
  virtual int32_t Last() = 0;
  virtual int32_t Next() = 0;
  virtual int32_t Previous() = 0;
  virtual int32_t MoveToOrdinal(uint32_t n);
  virtual uint32_t OrdinalOf(int32_t position);
  void GetScrollInfo(ScrollInfo* info, uint32_t page);
  void SetScrollBounds(int32_t min, int32_t max) { scroll_min_ = min, scroll_max_ = max; }
  // Repositions on `position`; the base cannot (-1).
  virtual int32_t GoTo(int32_t position, uint16_t lock_bias = 0);
  int32_t GoToIfMoved(int32_t position, uint16_t lock_bias = 0);
  // List kinds: row `n` (from 1). Others: -1, status 3.
  virtual int32_t GoToRow(int32_t n);

  // --- writing ---------------------------------------------------------------
  virtual int32_t Insert();
  int32_t InsertFrom(const void* data, size_t length);
  virtual int32_t Update(int32_t position = -1);
  int32_t Save();
  virtual bool Delete(int32_t position = -1);
  virtual bool DeleteAll();
  virtual bool BeginExclusive() { return true; }
  virtual void EndExclusive() {}

  // --- record buffer -----------------------------------------------------------
  // Attaches an outside buffer of `length` bytes (not owned) as the record
  // buffer; the fields are rebound to it.
  void SetRecordBuffer(uint8_t* buffer, size_t length);
  // Hands the owned record buffer to the caller (null when it was attached);
  // the object allocates a new one on next use.
  std::unique_ptr<uint8_t[]> DetachRecordBuffer();
  // Copies the record (record length bytes) into `dest`, giving the copy's
  // variable-length parts blocks of their own.
  void CopyRecordTo(uint8_t* dest);
  // The record buffer, allocated (zero-filled) on first use.
  uint8_t* RecordBuffer();
  // Ensures the record buffer and answers its length.
  uint32_t RecordLength();
  // Releases the variable parts, zeroes the record, follows the links.
  virtual void ClearRecord();
  // After a successful read: the post-read hook, then the links.
  virtual void AfterRead();
  // Copies record length bytes of `data` into the record buffer (its own
  // variable parts released, the incoming ones duplicated), then the
  // post-set hook and the links.
  void SetRecordAndNotify(const uint8_t* data);
  void RestoreSaved();
  void TakeSaved();
  const uint8_t* SavedRecord() const { return saved_.get(); }

  // --- locks -------------------------------------------------------------------
  virtual int32_t LockRow(int32_t position, bool wait);
  virtual bool Unlock();
  virtual bool CanEdit() { return true; }

  // --- import --------------------------------------------------------------------
  virtual bool MapImported(const uint8_t* source, ImportContext& ctx, bool existing);
  void ImportRecord(const uint8_t* source, ImportContext& ctx);
  virtual int32_t FindImported(const uint8_t* source, ImportContext& ctx);

  // --- filter, restriction, key range --------------------------------------------
  void SetFilter(RowFilter filter);
  bool HasFilter() const { return static_cast<bool>(filter_); }
  bool PassesFilter();
  void SetRestriction(uint32_t word);
  bool IsRestricted() const { return restriction_ != 0; }
  bool HasKeyRange() const { return keys_.HasKeyRange(); }
  bool InKeyRange();
  bool CopyKeyRange(const KeyRange& range);
  int32_t SetKeyRangeFrom(const uint8_t* packed, size_t size);
  int32_t SetKeyRange(int key_number, const uint8_t* low, int32_t low_length, const uint8_t* high,
                      int32_t high_length);
  int32_t SetKeyBound(const uint8_t* value, int32_t length, bool high);
  void SetBoundsExclusive(bool low_exclusive, bool high_exclusive);
  bool GetKeyLimits(uint8_t* packed, size_t size);
  const CurrentKey& CurrentKeyValue() const { return keys_.Current(); }
  int CurrentKeyNumber() const;
  const KeyRange& Range() const { return keys_.Range(); }
  virtual const EKeyDesc* KeyDescFor(int key_number) { return keys_.KeyDescFor(key_number); }

  // --- counts and state ------------------------------------------------------------
  // Visible rows (key range, filter and restriction applied); cached.
  virtual uint32_t RecordCount(bool force = false);
  virtual uint32_t RawRecordCount(bool force = false);
  int32_t CurrentPosition() const { return position_; }
  uint32_t OrderWord() const { return order_; }
  void SetOrderWord(uint32_t order) { order_ = order; }
  bool Reversed() const { return (order_ & kOrderReverse) != 0; }
  uint32_t StateWord() const { return state_; }
  void SetSyncLinks(bool on);
  void SetVariablePartsOption(bool on);
  bool VariablePartsOption() const { return (options_ & kOptionVariableParts) != 0; }

  // --- table definition and fields ----------------------------------------------------
  // Takes the definition when it is a table (kind 1), else none; the key
  // descriptions and fields are rebuilt on first use.
  void SetTableDefinition(const dico::DDicoBase* object);
  const dico::DRubricTable* TableDefinition() const { return table_; }
  // The fields of the table over the record buffer; null without a definition.
  record::ErFieldComposite* Fields();
  // A field by name (case-insensitive) or by its dictionary id; null if none.
  record::ErField* FieldByName(std::string_view name);
  record::ErField* FieldById(uint32_t id);
  // Record offsets of the variable-length slots, in field order.
  const std::vector<uint32_t>& VariablePartSlots() {
    return var_slots_built_ ? var_slots_ : BuildVariablePartSlots();
  }

  // --- links ---------------------------------------------------------------------------
  // The target of link `link_id` (a kind-11 object of this table); null
  // with a status when it cannot be opened.
  EData* OpenLink(uint32_t link_id);
  // Follows links from target to target; null at the first that fails.
  EData* OpenLinkPath(const std::vector<uint32_t>& link_ids);
  // Opens every link of the definition; answers how many are open.
  size_t OpenAllLinks(bool resync);
  void SyncLinks();
  EData* AttachLink(uint32_t link_id, LinkDesc desc);
  uint8_t* LinkedRecord(uint32_t link_id);
  EData* LinkTarget(uint32_t link_id);
  void CloseLinks();

  // --- hooks ----------------------------------------------------------------------------
  virtual bool ScanProgress(uint32_t pass) {
    (void)pass;
    return true;
  }
  virtual void ScanEnd() {}
  virtual void ReadVariableParts() {}
  virtual void WriteVariableParts(bool inserted) { (void)inserted; }
  // Validation asked before an import writes (slots of the validation chain).
  virtual bool ValidateImport(bool inserting) {
    (void)inserting;
    return true;
  }

 protected:
  // Record length the kind wants when it allocates its buffer.
  virtual uint32_t WantedRecordLength() = 0;
  // The BuildFields filter of the record's fields (extension fields only
  // when the record holds them).
  virtual uint32_t FieldFilter() const;
  // Called when the record buffer moves (attached, detached, reallocated).
  void RecordBufferMoved();
  // Post-read/post-set hook and pre-write hook.
  virtual void OnRecordLoaded() {}
  virtual void BeforeWrite() {}
  // Told about a deleted position.
  virtual void OnDeleted(int32_t position) { (void)position; }
  // Releases every loaded variable part of the record buffer.
  void ReleaseVariableParts();
  // Walking searches of the base: compare `length` bytes at `offset`.
  bool RowBytesCompare(int32_t offset, const void* value, size_t length, int* cmp);
  // Whether the current record passes range, filter and restriction.
  bool RowVisible();
  void InvalidateCounts() { state_ &= ~(kStateVisibleCached | kStateRawCached); }

  int32_t position_ = -1;
  uint32_t raw_count_ = 0;
  uint32_t visible_count_ = 0;
  uint32_t order_ = 0;
  uint32_t restriction_ = 0;
  int32_t status_ = 0;
  uint32_t record_length_ = 0;
  uint8_t* record_ = nullptr;
  bool record_owned_ = false;
  std::unique_ptr<uint8_t[]> saved_;
  const dico::DRubricTable* table_ = nullptr;
  RowFilter filter_;
  KeyState keys_;
  uint32_t options_ = 0;
  std::map<uint32_t, LinkDesc> links_;
  uint32_t state_ = kStateSyncLinks;
  int32_t scroll_min_ = 0;
  int32_t scroll_max_ = 0;

  // Releases and frees an owned record buffer (forgets an attached one).
  void FreeRecordBuffer();

 private:
  void EnsureFields();
  const std::vector<uint32_t>& BuildVariablePartSlots();

  std::unique_ptr<record::ErFieldComposite> fields_;
  std::map<std::string, record::ErField*> fields_by_name_;  // upper-case names
  std::map<uint32_t, record::ErField*> fields_by_id_;
  std::vector<uint32_t> var_slots_;
  bool var_slots_built_ = false;
};

}  // namespace tavelnor::data
