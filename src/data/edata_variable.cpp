// The field list: the fields of one table, or the fixed description of the
// records of one of the three lists.
#include <algorithm>
#include <cstring>
#include <span>

#include "btrieve/btrieve_codes.h"
#include "data/edata_lists.h"
#include "data/exchange_layout.h"
#include "dico/dico_classes.h"
#include "dico/er_field_table.h"
#include "dico/field_model.h"
#include "record/byte_form.h"
#include "record/type_codes.h"

namespace tavelnor::data {

namespace fm = dico::field_model;

namespace {

// Offsets of the field list row.
constexpr size_t kName = 0, kNameLength = 31, kType = 32, kSize = 33, kPrecision = 37,
                 kDisplayName = 41, kDisplayNameRoom = 128, kCategory = 169, kCategoryRoom = 128,
                 kUserDefined = 297, kHasMin = 301, kMin = 305, kHasMax = 313, kMax = 317;
constexpr size_t kLimitBytes = 8;
// Where a variable's image holds its declared minimum and maximum.
constexpr uint32_t kImageMinimum = 108, kImageMaximum = 116;

struct FixedRow {
  const char* name;
  uint8_t type;
  int32_t size;
};

constexpr FixedRow kTableListRecord[] = {{"szName", 0, 32}, {"nSize", 18, 4}};
constexpr FixedRow kFieldListRecord[] = {
    {"szName", 0, 32},     {"nType", 18, 1},          {"nSize", 18, 4},
    {"bVarPerso", 19, 4},  {"szDisplayName", 0, 128}, {"szCategory", 0, 128},
    {"nPrecision", 18, 4}, {"tValMin", 14, 8},        {"tValMax", 14, 8}};
constexpr FixedRow kCategoryListRecord[] = {
    {"szID", 0, 32}, {"szDisplayName", 0, 128}, {"nPrecision", 18, 4}, {"nSize", 18, 4}};

std::span<const FixedRow> FixedRows(RecordListKind kind) {
  switch (kind) {
    case RecordListKind::kTableListRecord: return kTableListRecord;
    case RecordListKind::kFieldListRecord: return kFieldListRecord;
    case RecordListKind::kCategoryListRecord: return kCategoryListRecord;
    case RecordListKind::kTableFields: break;
  }
  return {};
}

// A declared limit: its flag word and its first min(size, 8) bytes, when the
// variable's 8 bytes are not all zero.
void WriteLimit(const dico::DDicoBase& v, uint32_t image_offset, int32_t size, uint8_t* has,
                uint8_t* value) {
  const uint8_t* bytes = v.Image() + image_offset;
  if (std::all_of(bytes, bytes + kLimitBytes, [](uint8_t b) { return b == 0; })) return;
  record::StoreLittle<uint32_t>(has, 1);
  const size_t n = std::min<size_t>(kLimitBytes, static_cast<size_t>(std::max(size, 0)));
  std::memcpy(value, bytes, n);
}

}  // namespace

bool IsListedTextType(int code) {
  using namespace record;
  switch (code) {
    case TYPE_ZSTRING: case TYPE_STR: case TYPE_AUTRE: case TYPE_AUTRE_NODESC:
    case TYPE_CHARACTER: case TYPE_CSTRING: case TYPE_CHAINE: case TYPE_UP_ZSTRING:
    case TYPE_UP_STR: case TYPE_NC_ZSTRING: case TYPE_UP_AUTRE: case TYPE_UP_AUTRE_NODESC:
    case TYPE_NC_STR: case TYPE_NC_AUTRE: case TYPE_NC_AUTRE_NODESC: case TYPE_UP_CHARACTER:
    case TYPE_UP_CHAINE: case TYPE_NC_CHARACTER: case TYPE_NC_CHAINE:
      return true;
    default:
      return false;
  }
}

EDataVariable::EDataVariable(const dico::DRubricTable* table, uint32_t mode, RecordListKind kind)
    : listed_(table), mode_(mode), kind_(kind) {}

bool EDataVariable::Navigable() const {
  return kind_ != RecordListKind::kTableFields || listed_ != nullptr;
}

bool EDataVariable::Load() {
  fields_.Clear();
  position_ = 0;
  if (!Navigable()) {
    SetRowCount(0);
    status_ = btrieve::kFileNotOpen;
    return false;
  }
  if (kind_ == RecordListKind::kTableFields) {
    // The fields a record of the table shows, arrays element by element:
    // the normal record's, or the extended form's with its extension part.
    const uint32_t filter = (mode_ & kVariableModeExtended)
                                ? dico::kBuildPassOn
                                : dico::kBuildPassOn | dico::kBuildNoExtension;
    dico::BuildFields(fields_, *listed_, nullptr, filter);
    SetRowCount(static_cast<uint32_t>(fields_.SegmentCount()));
  } else {
    SetRowCount(static_cast<uint32_t>(FixedRows(kind_).size()));
  }
  status_ = 0;
  return true;
}

void EDataVariable::WriteHead(uint8_t* out, const char* name, int32_t type, int32_t size) const {
  if (mode_ & kVariableModeExchange) {
    const ExchangeSlot slot = ExchangeSlotFor(static_cast<int16_t>(type), size);
    type = slot.type;
    size = static_cast<int32_t>(std::min<uint32_t>(slot.size, INT32_MAX));
  }
  CopyText(out + kName, name, kNameLength);
  out[kType] = static_cast<uint8_t>(type);
  record::StoreLittle<int32_t>(out + kSize, size);
}

void EDataVariable::WriteRow(uint32_t row, uint8_t* out) {
  if (kind_ != RecordListKind::kTableFields) {
    const FixedRow& fixed = FixedRows(kind_)[row - 1];
    WriteHead(out, fixed.name, fixed.type, fixed.size);
    return;
  }
  WriteField(*fields_.Segment(row - 1), out);
}

void EDataVariable::WriteField(const record::ErField& field, uint8_t* out) const {
  const auto* bound =
      field.IsTableField() ? static_cast<const dico::ErFieldTable*>(&field) : nullptr;
  const dico::DDicoBase* v = bound != nullptr ? bound->Variable() : nullptr;
  if (v == nullptr) {
    WriteHead(out, field.GetName().c_str(), field.TypeCode(), field.Buffer().Size());
    return;
  }
  int32_t type = fm::FieldTypeCode(*v);
  const int32_t size = fm::FieldSize(*v);
  if (IsListedTextType(type) && (v->Flags() & kVariableFlagTextAsBytes)) type = record::TYPE_UINT8;
  WriteHead(out, v->NameText(), type, size);
  if (!fm::IsValueVariable(*v)) return;

  const auto& variable = static_cast<const dico::DVariable&>(*v);
  record::StoreLittle<int32_t>(out + kPrecision, variable.Precision());
  CopyText(out + kDisplayName, variable.GetHeader().c_str(), kDisplayNameRoom);
  CopyText(out + kCategory, variable.Category(), kCategoryRoom);
  if (v->Kind() == dico::kVarInPerso) record::StoreLittle<uint32_t>(out + kUserDefined, 1);
  WriteLimit(*v, kImageMinimum, size, out + kHasMin, out + kMin);
  WriteLimit(*v, kImageMaximum, size, out + kHasMax, out + kMax);
}

}  // namespace tavelnor::data
