// What the tool knows of a dictionary's tables: for each table its data file,
// its stored fields (where each lies in the record, its type code, size and
// declared decimals, label and category), its keys with their segments and
// its links to other tables. Read from the dictionary file itself, so that
// the tool can decode stored records byte for byte and describe keys and
// links, which the exported interface does not show.
//
// Every text here is UTF-8 (the dictionary's stored code page converted).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ddf/ddf_values.h"

namespace tavelnor::tool {

// How a stored field's bytes read, chosen by its type code.
enum class StoredKind : uint8_t {
  kNone,       // no value of its own (sound, video, unknown codes)
  kText,       // zero-terminated or fixed-length text, one character
  kSigned,     // little-endian two's complement, 1, 2, 4 or 8 bytes
  kUnsigned,   // little-endian unsigned, 1, 2, 4 or 8 bytes
  kReal,       // IEEE single or double
  kFixed,      // fixed-point: a signed integer and a decimal scale
  kBool,       // 1 byte (code 19) or 4 bytes (code 6)
  kDate,       // day, month, year
  kTime,       // hundredths, second, minute, hour
  kTimestamp,  // 100-nanosecond ticks since 0001-01-01, universal time
  kGuid,
  kBytes,      // bytes shown as they are
  kMemo,       // a text memo (variable-length part)
  kRichText,   // an RTF memo (variable-length part)
  kBlob,       // binary data (variable-length part)
  kPicture,    // a device-independent bitmap (variable-length part)
};

struct FieldModel {
  std::string name;        // unique among the table's columns: array elements get "[1]", "[2]"...
  std::string field;       // the dictionary field's own name
  int32_t element = 0;     // 1, 2... for the elements of an array, else 0
  uint16_t type_code = 0;  // stored type code, upper-case and case-insensitive forms kept
  StoredKind kind = StoredKind::kNone;
  uint32_t offset = 0;     // from the start of the record
  uint32_t size = 0;       // declared size in bytes
  int32_t precision = 0;   // declared decimals (-1: none declared)
  int32_t decimals = 0;    // the decimals values are written with: declared, else the dictionary's
  int32_t scale = 0;       // fixed-point: the decimals of the stored integer
  bool located = true;     // false: the field's place is worked out per record
  bool user_defined = false;
  std::string label;       // the field's header (display name)
  std::string category;
  std::string mask;
  // A column of a DDF-described table kept as its bytes in the layout: its
  // DDF type, by which it is decoded (`kind` then says what its values are:
  // kFixed for the exact decimals, kReal, kBool or kText).
  std::optional<ddf::DdfColumn> ddf;
  // A DDF NOTE or LVAR column in the variable part of the records (after
  // the fixed record): its bytes run from `offset` to the end of the record.
  bool tail = false;
};

struct KeySegmentModel {
  std::string field;       // the field the segment lies on ("" when none)
  uint32_t offset = 0;     // in the record
  uint32_t length = 0;
  uint16_t type_code = 0;  // the covering field's type code (0xFF: none)
  uint16_t flags = 0;      // Btrieve segment flags
};

struct KeyModel {
  int32_t number = 0;  // Btrieve key number
  std::string name;
  bool unique = true;
  uint16_t flags = 0;  // Btrieve key flags
  std::vector<KeySegmentModel> segments;
};

// A link: the fields of this table that hold a key value of another table.
struct LinkModel {
  std::string name;
  std::string target_table;
  int32_t target_key = -1;
  // Pairs of this table's field and the target key's field, part by part.
  // Empty when a part does not cover a whole field on either side.
  std::vector<std::pair<std::string, std::string>> columns;
};

struct TableModel {
  std::string name;
  std::string file_path;  // as the dictionary resolves it
  uint32_t record_length = 0;
  std::vector<FieldModel> fields;
  std::vector<KeyModel> keys;
  std::vector<LinkModel> links;

  // Case-insensitive lookups; null when absent.
  const FieldModel* FindField(const std::string& name) const;
  const KeyModel* FindKey(const std::string& name_or_number) const;
};

struct CategoryModel {
  std::string name;
  std::string label;
};

class DictionaryModel {
 public:
  DictionaryModel();
  ~DictionaryModel();
  DictionaryModel(const DictionaryModel&) = delete;
  DictionaryModel& operator=(const DictionaryModel&) = delete;

  // Loads the dictionary file; false with the loader's reason.
  bool Load(const std::string& path, std::string* error);

  const std::vector<TableModel>& Tables() const { return tables_; }
  const std::vector<CategoryModel>& Categories() const { return categories_; }
  // Case-insensitive; null when the dictionary has no such table.
  const TableModel* FindTable(const std::string& name) const;
  // The table at `index`, for what the dictionary cannot describe (a DDF
  // set's variable part, its data files); null past the last.
  TableModel* MutableTable(size_t index) { return index < tables_.size() ? &tables_[index] : nullptr; }
  std::vector<std::string> TableNames() const;

 private:
  std::vector<TableModel> tables_;
  std::vector<CategoryModel> categories_;
};

// What the values of a DDF column are, and the decimals of an exact one.
StoredKind DdfKindOf(const ddf::DdfColumn& column, int32_t* scale);

// The reading of a stored type code, and the decimals of a fixed-point one.
StoredKind StoredKindOf(uint16_t type_code, uint32_t size, int32_t* scale);
// A short name of a stored type code ("ZSTRING", "LONG"...); "" when unknown.
const char* StoredTypeName(uint16_t type_code);

// Names compared as the dictionary compares them: ASCII letters without
// regard to case.
bool SameName(const std::string& a, const std::string& b);

}  // namespace tavelnor::tool
