// The three lists that let a caller browse the dictionary with the same calls
// as a table: its tables (EDataRubric), the fields of one table or a fixed
// description of a list record (EDataVariable), its categories
// (EDataCategory). Each row is a packed little-endian record.
//
// Table list row, 36 bytes: name (zero-terminated, bytes 0-31), record
// length (32-35).
// Field list row, 325 bytes: name (zero-terminated, 0-31), type code (32),
// size (33-36), precision (37-40), display name (41-168), category
// (169-296), user-defined field (297-300), has minimum (301-304), minimum
// (305-312), has maximum (313-316), maximum (317-324). Bytes 37 on are
// written for value variables only.
// Category list row, 168 bytes: name (0-31), label (32-159), the entry's
// property byte sign-extended (160-163), the entry's 32-bit value (164-167).
//
// Construct, then Load: the load builds the list and sets the status (0, or
// 3 when there is nothing to list). The dictionary and the table definition
// must outlive the list.
#pragma once

#include <cstdint>
#include <vector>

#include "data/edata_list.h"
#include "record/er_field_composite.h"

namespace tavelnor::dico {
class DDicoHandler;
class DRubricTable;
}  // namespace tavelnor::dico

namespace tavelnor::data {

// --- table list ------------------------------------------------------------

inline constexpr uint32_t kRubricRecordLength = 36;
// Mode word of the table list.
inline constexpr uint32_t kRubricModeExchange = 0x1;    // lengths of the exchange layout
inline constexpr uint32_t kRubricModeListOption = 0x2;  // leave out tables flagged 0x200
inline constexpr uint32_t kRubricModeExtended = 0x4;    // lengths of the extended form
// Table flag that the list option leaves out, and the one name it keeps.
inline constexpr uint32_t kTableFlagUnlisted = 0x200;
inline constexpr const char* kAlwaysListedTable = "infos";

class EDataRubric : public EDataList {
 public:
  EDataRubric(dico::DDicoHandler& dico, uint32_t mode);

  // Takes every table of the dictionary in dictionary order (the list
  // option leaving some out). Always succeeds.
  bool Load();
  uint32_t Mode() const { return mode_; }
  const std::vector<const dico::DRubricTable*>& Tables() const { return tables_; }

 protected:
  uint32_t WantedRecordLength() override { return kRubricRecordLength; }
  void WriteRow(uint32_t row, uint8_t* out) override;

 private:
  // The length the row reports for `table` under the mode word.
  uint32_t ReportedLength(const dico::DRubricTable& table) const;

  dico::DDicoHandler& dico_;
  uint32_t mode_;
  std::vector<const dico::DRubricTable*> tables_;
};

// --- field list --------------------------------------------------------------

inline constexpr uint32_t kVariableRecordLength = 325;
// Mode word of the field list.
inline constexpr uint32_t kVariableModeExchange = 0x1;  // exchange type and slot size
inline constexpr uint32_t kVariableModeExtended = 0x2;  // the extended form's fields

// What a field list lists: the fields of a table, or the fixed description
// of the records of the table list, the field list or the category list.
enum class RecordListKind : uint8_t {
  kTableFields = 0,
  kTableListRecord = 1,     // 2 rows
  kFieldListRecord = 2,     // 9 rows
  kCategoryListRecord = 3,  // 4 rows
};

// Text type codes, reported as type 14 when the variable carries this flag.
inline constexpr uint32_t kVariableFlagTextAsBytes = 0x100000;
bool IsListedTextType(int code);

class EDataVariable : public EDataList {
 public:
  // `table` may be null; the fields of a table are listed only with one.
  EDataVariable(const dico::DRubricTable* table, uint32_t mode, RecordListKind kind);

  // False with status 3 when the fields of a table are asked without one.
  bool Load();
  RecordListKind ListKind() const { return kind_; }
  uint32_t Mode() const { return mode_; }
  const dico::DRubricTable* ListedTable() const { return listed_; }

 protected:
  uint32_t WantedRecordLength() override { return kVariableRecordLength; }
  void WriteRow(uint32_t row, uint8_t* out) override;
  bool Navigable() const override;

 private:
  void WriteField(const record::ErField& field, uint8_t* out) const;
  // Name, type and size at their places, converted under the exchange mode.
  void WriteHead(uint8_t* out, const char* name, int32_t type, int32_t size) const;

  // Kept apart from the base's table definition: the record buffer holds
  // list rows, not records of this table.
  const dico::DRubricTable* listed_;
  uint32_t mode_;
  RecordListKind kind_;
  record::ErFieldSubRecord fields_;
};

// --- category list -------------------------------------------------------------

inline constexpr uint32_t kCategoryRecordLength = 168;

class EDataCategory : public EDataList {
 public:
  explicit EDataCategory(const dico::DDicoHandler& dico);

  // Counts the categories up to the first missing or empty name. Always
  // succeeds.
  bool Load();

 protected:
  uint32_t WantedRecordLength() override { return kCategoryRecordLength; }
  void WriteRow(uint32_t row, uint8_t* out) override;

 private:
  const dico::DDicoHandler& dico_;
};

}  // namespace tavelnor::data
