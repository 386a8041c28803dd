// Key descriptions: how a data object sees one key of its table at run time.
//
// A key description lists its segment descriptions in key order and carries
// a small property bag; it is built either from the dictionary's key (DKey
// and its segments) or, for keys only the data file knows, from the 16-byte
// key specifications that Btrieve Stat returns.
//
// Property vocabulary (numbers as decimal text, booleans as "Yes"/"No"):
//   "STD"     "SegType"    type code of the segment value (case variant applied)
//   "STD"     "SegSize"    segment length in bytes
//   "STD"     "SegOffset"  segment offset in the record (absent: 0)
//   "BTrieve" "Extended"   segment: "No" when the segment has no extended type
//   "BTrieve" "Bynary"     key: "Yes" when compared as unsigned bytes
//   "BTrieve" "NullIfOneSegNull"  key: "Yes" when null as soon as one segment is
//   "BTrieve" "AutoInc"    key: "Yes" for an autoincrement key
//
// Segment expressions: a field name (the segment is that whole field),
// "=EXTRACT(name,offset,length)" (part of a field) or "=EXTRACT(offset,length)"
// (absolute, when no table definition is at hand).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/chaine.h"

namespace tavelnor::dico {
class DKey;
class DRubricTable;
class DDicoBase;
}  // namespace tavelnor::dico

namespace tavelnor::data {

inline constexpr std::string_view kSectionStd = "STD";
inline constexpr std::string_view kSectionBtrieve = "BTrieve";
inline constexpr std::string_view kPropSegType = "SegType";
inline constexpr std::string_view kPropSegSize = "SegSize";
inline constexpr std::string_view kPropSegOffset = "SegOffset";
inline constexpr std::string_view kPropExtended = "Extended";
inline constexpr std::string_view kPropBinary = "Bynary";
inline constexpr std::string_view kPropNullIfOneSegNull = "NullIfOneSegNull";
inline constexpr std::string_view kPropAutoInc = "AutoInc";
inline constexpr std::string_view kYes = "Yes";
inline constexpr std::string_view kNo = "No";

// Section name -> property name -> text value.
class PropertyBag {
 public:
  void Set(std::string_view section, std::string_view name, std::string_view value);
  void SetNumber(std::string_view section, std::string_view name, int64_t value);
  void Remove(std::string_view section, std::string_view name);
  // Null when absent.
  const std::string* Get(std::string_view section, std::string_view name) const;
  // The property read as a decimal number; `fallback` when absent or not a number.
  int64_t GetNumber(std::string_view section, std::string_view name, int64_t fallback) const;
  bool IsYes(std::string_view section, std::string_view name) const;
  bool IsEmpty() const { return sections_.empty(); }

  friend bool operator==(const PropertyBag&, const PropertyBag&) = default;

 private:
  std::map<std::string, std::map<std::string, std::string, std::less<>>, std::less<>> sections_;
};

// Key description flags.
inline constexpr uint8_t kKeyDescModifiable = 0x1;
inline constexpr uint8_t kKeyDescDuplicates = 0x2;
inline constexpr uint8_t kKeyDescNullKey = 0x4;
// Segment description flags.
inline constexpr uint8_t kSegDescDescending = 0x1;

struct ESegmentDesc {
  Chaine expression;
  Chaine field_name;
  PropertyBag properties;  // "STD" and "BTrieve"
  uint8_t flags = 0;

  uint16_t Type() const;
  uint16_t Size() const;
  int32_t Offset() const;
  bool Descending() const { return (flags & kSegDescDescending) != 0; }
};

struct EKeyDesc {
  std::vector<ESegmentDesc> segments;
  PropertyBag properties;  // "BTrieve"
  uint16_t key_number = 0;
  uint8_t flags = 0;

  bool IsEmpty() const { return segments.empty(); }
};

// The case-insensitive variant of a type code (0, 7, 9, 10, 21, 25 become
// 136, 143, 145, 146, 157, 161); other codes come back unchanged.
uint16_t NoCaseTypeCode(uint16_t code);

// The field of `table` that a segment at record `position` of `length` bytes
// lies on: a field starting there with that size first, else the first field
// whose bytes hold the position. Null when none does.
const dico::DDicoBase* CoveringField(const dico::DRubricTable& table, uint32_t position,
                                     uint32_t length);

// The expression naming a segment: the covering field's name, or
// "=EXTRACT(name,offset,length)" when the segment covers only part of it;
// with no table, "=EXTRACT(position,length)". Empty when the table has no
// covering field. `field_name` (optional) receives the field's name.
Chaine SegmentExpression(const dico::DRubricTable* table, uint32_t position, uint32_t length,
                         Chaine* field_name = nullptr);

// A parsed "=EXTRACT(...)" expression.
struct ExtractArgs {
  bool has_field = false;  // the three-argument form
  Chaine field;
  int32_t offset = 0;
  int32_t length = 0;
};
// Nullopt when `expression` is not an extract expression with numeric arguments.
std::optional<ExtractArgs> ParseExtract(std::string_view expression);

// The record offset a segment expression stands for: the first argument of
// the two-argument form; the named field's offset plus the second argument
// of the three-argument form; a plain field name's offset; 0 otherwise (and
// whenever the table or the field is missing).
int32_t ResolveSegOffset(std::string_view expression, const dico::DRubricTable* table);

// The description of a dictionary key under `key_number`. Empty (no
// segments) when a segment lies on no field of the table.
EKeyDesc DescribeKey(const dico::DKey& key, uint16_t key_number, const dico::DRubricTable& table);

// Every key of the table, numbered from 0 in the definition's order.
std::map<uint32_t, EKeyDesc> DescribeTableKeys(const dico::DRubricTable& table);

// The description of the key numbered `key_number` in a Stat answer (16-byte
// file part, then 16 bytes per segment). The search visits at most the file's
// key count and never reads past the answer; nullopt when the key is not there.
// `table` may be null: the segments are then described by absolute extracts.
std::optional<EKeyDesc> DescribeFileKey(std::span<const uint8_t> stat, int key_number,
                                        const dico::DRubricTable* table);

}  // namespace tavelnor::data
