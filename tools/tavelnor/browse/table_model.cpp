// The dictionary's tables, fields, keys and links as the tool reads them.
#include "browse/table_model.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "browse/text_codec.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "dico/er_field_table.h"
#include "dico/field_model.h"
#include "dico/image_format.h"
#include "record/er_field_composite.h"

namespace tavelnor::tool {
namespace {

namespace fm = dico::field_model;

// Key flags of the dictionary: duplicates allowed.
constexpr uint32_t kKeyDuplicates = 0x1;
// A text field flagged to be shown as bytes.
constexpr uint32_t kTextAsBytes = 0x100000;

std::string Utf8(const char* stored) { return stored ? StoredToUtf8(stored) : std::string(); }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

const dico::DRubricTable* OwningTable(const dico::DDicoBase* object) {
  for (const dico::DDicoBase* at = object; at != nullptr; at = at->GetParent()) {
    if (at->Kind() == dico::kRubricTable) return static_cast<const dico::DRubricTable*>(at);
  }
  return nullptr;
}

std::vector<FieldModel> ReadFields(const dico::DRubricTable& table) {
  std::vector<FieldModel> fields;
  // The fields of a normal record, arrays element by element, aimed at a
  // record of the table's length so that their places can be read off.
  std::vector<uint8_t> record(std::max<uint32_t>(table.GetRecordLength(), 1), 0);
  uint8_t* base = record.data();
  record::ErFieldSubRecord composite;
  dico::BuildFields(composite, table, base, dico::kBuildPassOn | dico::kBuildNoExtension);
  for (size_t i = 0; i < composite.SegmentCount(); ++i) {
    const record::ErField& field = *composite.Segment(i);
    if (!field.IsTableField()) continue;
    const auto& bound = static_cast<const dico::ErFieldTable&>(field);
    const dico::DDicoBase* v = bound.Variable();
    if (v == nullptr || !fm::IsValueVariable(*v)) continue;
    const uint8_t* at = fm::ElementAddress(*v, base, static_cast<uint32_t>(bound.Index()));
    if (at == nullptr) continue;  // no bytes in the record (computed fields)
    FieldModel f;
    f.field = Utf8(v->NameText());
    f.name = f.field;
    f.type_code = static_cast<uint16_t>(fm::FieldTypeCode(*v) & 0xFF);
    f.size = static_cast<uint32_t>(std::max(fm::FieldSize(*v), 0));
    f.offset = static_cast<uint32_t>(at - base);
    f.located = !field.NeedsRefresh();
    const auto& variable = static_cast<const dico::DVariable&>(*v);
    f.precision = variable.Precision();
    f.decimals = std::max(fm::DisplayDecimals(*v), 0);
    f.label = StoredToUtf8(variable.GetHeader().view());
    f.category = Utf8(variable.Category());
    f.mask = Utf8(variable.Mask());
    f.user_defined = v->Kind() == dico::kVarInPerso;
    f.kind = StoredKindOf(f.type_code, f.size, &f.scale);
    const uint16_t base_code = f.type_code >= 128 ? static_cast<uint16_t>(f.type_code & 0x7F) : f.type_code;
    if (f.kind == StoredKind::kText && (v->Flags() & kTextAsBytes) && base_code != 21) {
      f.kind = StoredKind::kBytes;
      // A DDF column the layout keeps as bytes names its type in its type text.
      ddf::DdfColumn column;
      if (v->TypeText() != nullptr && ddf::ParseDdfTypeTag(v->TypeText(), f.size, &column)) {
        f.ddf = column;
        f.kind = DdfKindOf(column, &f.scale);
        if (f.kind == StoredKind::kFixed) f.decimals = f.scale;
      }
    }
    fields.push_back(std::move(f));
  }
  // Names repeated (ignoring case, as SQL does) are the elements of arrays.
  std::map<std::string, int32_t> count, seen;
  for (const FieldModel& f : fields) ++count[Lower(f.field)];
  for (FieldModel& f : fields) {
    const std::string key = Lower(f.field);
    if (count[key] < 2) continue;
    f.element = ++seen[key];
    f.name = f.field + "[" + std::to_string(f.element) + "]";
  }
  return fields;
}

// The field of `fields` that starts at `offset` with `length` bytes, else
// the first one whose bytes hold the offset.
const FieldModel* FieldAt(const std::vector<FieldModel>& fields, uint32_t offset, uint32_t length) {
  for (const FieldModel& f : fields) {
    if (f.offset == offset && f.size == length) return &f;
  }
  for (const FieldModel& f : fields) {
    if (offset >= f.offset && offset - f.offset < f.size) return &f;
  }
  return nullptr;
}

std::vector<KeyModel> ReadKeys(const dico::DRubricTable& table, const std::vector<FieldModel>& fields) {
  std::vector<KeyModel> keys;
  int32_t number = 0;
  for (const dico::DKey* key : table.GetKeys()) {
    KeyModel k;
    k.number = number++;
    k.name = Utf8(key->NameText());
    k.flags = static_cast<uint16_t>(key->Flags() & 0xFFFF);
    k.unique = (key->Flags() & kKeyDuplicates) == 0;
    for (const dico::DDicoBase* child : key->Children()) {
      if (child->Kind() != dico::kSegment && child->Kind() != dico::kSegmentAttached) continue;
      KeySegmentModel s;
      const auto position = static_cast<const dico::DSegment*>(child)->GetSegmentPosition();
      s.offset = position.value_or(0);
      s.length = child->UnitSize();
      s.flags = static_cast<uint16_t>(child->Flags() & 0xFFFF);
      s.type_code = 0xFF;
      if (const FieldModel* f = position ? FieldAt(fields, s.offset, s.length) : nullptr) {
        s.field = f->name;
        s.type_code = f->type_code;
        if (f->offset != s.offset || f->size != s.length) {
          s.field += "+" + std::to_string(s.offset - f->offset);
        }
      }
      k.segments.push_back(std::move(s));
    }
    keys.push_back(std::move(k));
  }
  return keys;
}

LinkModel ReadLink(const dico::DLink& link, const std::vector<FieldModel>& fields,
                   const std::vector<TableModel>& tables_so_far, const dico::DDicoHandler& dico) {
  LinkModel l;
  l.name = Utf8(link.NameText());
  const dico::DDicoBase* key = dico.FindById(link.LinkedKeyId());
  const dico::DRubricTable* target = key && key->Kind() == dico::kKey ? OwningTable(key) : nullptr;
  if (target == nullptr) return l;
  l.target_table = Utf8(target->NameText());
  const std::vector<dico::DKey*> keys = target->GetKeys();
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i]->Id() == key->Id()) l.target_key = static_cast<int32_t>(i);
  }
  // The target's fields: those already read, or read now.
  std::vector<FieldModel> target_fields;
  for (const TableModel& t : tables_so_far) {
    if (t.name == l.target_table) target_fields = t.fields;
  }
  if (target_fields.empty()) target_fields = ReadFields(*target);
  const std::vector<KeyModel> target_keys = ReadKeys(*target, target_fields);
  if (l.target_key < 0 || static_cast<size_t>(l.target_key) >= target_keys.size()) return l;
  const KeyModel& target_key = target_keys[static_cast<size_t>(l.target_key)];
  std::vector<std::pair<std::string, std::string>> columns;
  size_t part = 0;
  for (const dico::DDicoBase* child : link.Children()) {
    if (child->Kind() != dico::kSubLink && child->Kind() != dico::kSubLinkAttached) continue;
    const auto position = static_cast<const dico::DSubLink*>(child)->GetSegmentPosition();
    if (!position || part >= target_key.segments.size()) return l;
    const KeySegmentModel& segment = target_key.segments[part++];
    const FieldModel* own = FieldAt(fields, *position, child->UnitSize());
    const FieldModel* other = FieldAt(target_fields, segment.offset, segment.length);
    // Only whole fields on both sides make a column-to-column link.
    if (own == nullptr || other == nullptr || own->offset != *position ||
        own->size != child->UnitSize() || other->offset != segment.offset ||
        other->size != segment.length) {
      return l;
    }
    columns.emplace_back(own->name, other->name);
  }
  l.columns = std::move(columns);
  return l;
}

}  // namespace

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

StoredKind DdfKindOf(const ddf::DdfColumn& column, int32_t* scale) {
  *scale = 0;
  if (const int exact = ddf::ExactScale(column); exact >= 0) {
    *scale = exact;
    return StoredKind::kFixed;
  }
  switch (column.type) {
    case ddf::kDdfInteger:
    case ddf::kDdfAutoIncrement: return StoredKind::kSigned;
    case ddf::kDdfUnsignedBinary: return StoredKind::kUnsigned;
    case ddf::kDdfFloat:
    case ddf::kDdfBfloat: return StoredKind::kReal;
    case ddf::kDdfLogical:
    case ddf::kDdfBit: return StoredKind::kBool;
    case ddf::kDdfDate: return StoredKind::kDate;
    case ddf::kDdfTime: return StoredKind::kTime;
    case ddf::kDdfTimestamp: return StoredKind::kTimestamp;
    case ddf::kDdfGuid: return StoredKind::kGuid;
    default: return StoredKind::kText;
  }
}

StoredKind StoredKindOf(uint16_t type_code, uint32_t size, int32_t* scale) {
  *scale = 0;
  // Upper-case and case-insensitive text forms read as their base.
  uint16_t code = type_code;
  if (code >= 128 && code <= 161) code = static_cast<uint16_t>(code >= 136 ? code - 136 : code - 128);
  switch (code) {
    case 0:
    case 7:
    case 9:
    case 10:
    case 21: return StoredKind::kText;
    case 13:
    case 15:
    case 1:
    case 22:
    case 26: return StoredKind::kSigned;
    case 14: return size <= 1 ? StoredKind::kUnsigned : StoredKind::kBytes;
    case 16:
    case 18:
    case 27: return StoredKind::kUnsigned;
    case 2:
    case 23: return StoredKind::kReal;
    case 12: *scale = 3; return StoredKind::kFixed;
    case 20: *scale = 7; return StoredKind::kFixed;
    case 29: *scale = 4; return StoredKind::kFixed;
    case 6:
    case 19: return StoredKind::kBool;
    case 4: return StoredKind::kDate;
    case 5: return StoredKind::kTime;
    case 28: return StoredKind::kTimestamp;
    case 30: return StoredKind::kGuid;
    case 32: return StoredKind::kBlob;
    case 33: return StoredKind::kMemo;
    case 34: return StoredKind::kRichText;
    case 35: return StoredKind::kPicture;
    case 36:
    case 37: return StoredKind::kBlob;
    default: return StoredKind::kNone;
  }
}

const char* StoredTypeName(uint16_t code) {
  switch (code) {
    case 0: return "ZSTRING";
    case 1: return "LONG";
    case 2: return "DOUBLE";
    case 4: return "DATE";
    case 5: return "TIME";
    case 6: return "OLDBOOL";
    case 7: return "STR";
    case 9: return "AUTRE";
    case 12: return "DECIMAL32";
    case 13: return "INT8";
    case 14: return "UINT8";
    case 15: return "INT16";
    case 16: return "UINT16";
    case 18: return "UINT32";
    case 19: return "BOOL";
    case 20: return "DECIMAL64";
    case 21: return "CHARACTER";
    case 22: return "INT";
    case 23: return "FLOAT";
    case 24: return "CSTRING";
    case 25: return "CHAINE";
    case 26: return "INT64";
    case 27: return "UINT64";
    case 28: return "TIMESTAMP";
    case 29: return "CURRENCY";
    case 30: return "GUID";
    case 32: return "BLOB";
    case 33: return "BLOBTEXT";
    case 34: return "BLOBRICHTEXT";
    case 35: return "BLOBIMAGE";
    case 36: return "BLOBSOUND";
    case 37: return "BLOBVIDEO";
    case 128: return "UP_ZSTRING";
    case 135: return "UP_STR";
    case 136: return "NC_ZSTRING";
    case 137: return "UP_AUTRE";
    case 143: return "NC_STR";
    case 145: return "NC_AUTRE";
    case 149: return "UP_CHARACTER";
    case 153: return "UP_CHAINE";
    case 157: return "NC_CHARACTER";
    case 161: return "NC_CHAINE";
    default: return "";
  }
}

const FieldModel* TableModel::FindField(const std::string& name) const {
  for (const FieldModel& f : fields) {
    if (SameName(f.name, name)) return &f;
  }
  for (const FieldModel& f : fields) {
    if (SameName(f.field, name)) return &f;
  }
  return nullptr;
}

const KeyModel* TableModel::FindKey(const std::string& name_or_number) const {
  for (const KeyModel& k : keys) {
    if (SameName(k.name, name_or_number) || std::to_string(k.number) == name_or_number) return &k;
  }
  return nullptr;
}

DictionaryModel::DictionaryModel() = default;
DictionaryModel::~DictionaryModel() = default;

bool DictionaryModel::Load(const std::string& path, std::string* error) {
  tables_.clear();
  categories_.clear();
  dico::DDicoHandler handler;
  if (handler.Load(Chaine(path), dico::kLoadNameIndex) != dico::LoadResult::kLoaded) {
    *error = Cp1252ToUtf8(handler.LastLoadStatus().ToString());
    return false;
  }
  dico::DicoArray& tables = handler.Array(dico::kRubricTable);
  for (uint32_t i = 0; i < tables.Count(); ++i) {
    const auto* table = static_cast<const dico::DRubricTable*>(tables.At(i));
    TableModel t;
    t.name = Utf8(table->NameText());
    t.file_path = table->GetFilePath().str();
    t.record_length = table->GetRecordLength();
    t.fields = ReadFields(*table);
    t.keys = ReadKeys(*table, t.fields);
    for (const dico::DLink* link : table->GetLinks()) {
      t.links.push_back(ReadLink(*link, t.fields, tables_, handler));
    }
    tables_.push_back(std::move(t));
  }
  for (int i = 0; i < handler.CategoryCount(); ++i) {
    categories_.push_back({StoredToUtf8(handler.CategoryName(i).view()),
                           StoredToUtf8(handler.CategoryText(i).view())});
  }
  return true;
}

const TableModel* DictionaryModel::FindTable(const std::string& name) const {
  for (const TableModel& t : tables_) {
    if (SameName(t.name, name)) return &t;
  }
  return nullptr;
}

std::vector<std::string> DictionaryModel::TableNames() const {
  std::vector<std::string> names;
  for (const TableModel& t : tables_) names.push_back(t.name);
  return names;
}

}  // namespace tavelnor::tool
