// Key descriptions from the dictionary and from Btrieve Stat key specifications.
#include "data/key_desc.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "dico/dico_classes.h"
#include "dico/field_model.h"
#include "dico/image_format.h"
#include "foundation/byte_reader.h"

namespace tavelnor::data {

namespace fm = dico::field_model;

namespace {

// Dictionary key flags.
constexpr uint32_t kDicoDuplicates = 0x1, kDicoModifiable = 0x2, kDicoBinary = 0x4,
                   kDicoNullKey = 0x8, kDicoAutoInc = 0x10, kDicoNullAny = 0x200;
// Segment flags (dictionary and Btrieve alike).
constexpr uint32_t kSegDescending = 0x40, kSegExtType = 0x100, kSegNoCase = 0x400;
// Btrieve key specification flags.
constexpr uint16_t kSpecDuplicates = 0x1, kSpecModifiable = 0x2, kSpecBinary = 0x4,
                   kSpecNullKey = 0x8, kSpecSegmented = 0x10, kSpecLowNullAny = 0x80;
constexpr uint8_t kExtTypeAutoIncrement = 15;
constexpr uint16_t kTypeForZero = 10;
constexpr size_t kStatHeader = 16, kSpecSize = 16;

constexpr std::string_view kExtractPrefix = "=EXTRACT(";

std::optional<int32_t> ParseInt(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  int32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

Chaine AbsoluteExtract(int32_t offset, int32_t length) {
  char text[48];
  std::snprintf(text, sizeof text, "=EXTRACT(%d,%d)", offset, length);
  return Chaine(text);
}

Chaine FieldExtract(const Chaine& name, int32_t offset, int32_t length) {
  char numbers[48];
  std::snprintf(numbers, sizeof numbers, ",%d,%d)", offset, length);
  Chaine text("=EXTRACT(");
  text.Append(name.view());
  text.Append(numbers);
  return text;
}

// One segment description: the expression from the table (or an absolute
// extract), the size, offset, type and Btrieve flags.
ESegmentDesc MakeSegment(const dico::DRubricTable* table, uint32_t position, uint16_t length,
                         uint16_t type, uint32_t flags) {
  ESegmentDesc s;
  s.expression = SegmentExpression(table, position, length, &s.field_name);
  if (flags & kSegNoCase) type = NoCaseTypeCode(type);
  s.properties.SetNumber(kSectionStd, kPropSegType, type);
  s.properties.SetNumber(kSectionStd, kPropSegSize, length);
  const int32_t offset = ResolveSegOffset(s.expression.view(), table);
  if (offset != 0) s.properties.SetNumber(kSectionStd, kPropSegOffset, offset);
  if (!(flags & kSegExtType)) s.properties.Set(kSectionBtrieve, kPropExtended, kNo);
  if (flags & kSegDescending) s.flags |= kSegDescDescending;
  return s;
}

}  // namespace

// --- PropertyBag --------------------------------------------------------------------------

void PropertyBag::Set(std::string_view section, std::string_view name, std::string_view value) {
  auto it = sections_.find(section);
  if (it == sections_.end()) it = sections_.try_emplace(std::string(section)).first;
  it->second.insert_or_assign(std::string(name), std::string(value));
}

void PropertyBag::SetNumber(std::string_view section, std::string_view name, int64_t value) {
  Set(section, name, std::to_string(value));
}

void PropertyBag::Remove(std::string_view section, std::string_view name) {
  auto it = sections_.find(section);
  if (it == sections_.end()) return;
  auto p = it->second.find(name);
  if (p != it->second.end()) it->second.erase(p);
  if (it->second.empty()) sections_.erase(it);
}

const std::string* PropertyBag::Get(std::string_view section, std::string_view name) const {
  auto it = sections_.find(section);
  if (it == sections_.end()) return nullptr;
  auto p = it->second.find(name);
  return p == it->second.end() ? nullptr : &p->second;
}

int64_t PropertyBag::GetNumber(std::string_view section, std::string_view name,
                               int64_t fallback) const {
  const std::string* text = Get(section, name);
  if (text == nullptr) return fallback;
  int64_t value = 0;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), value);
  return ec == std::errc() && end == text->data() + text->size() ? value : fallback;
}

bool PropertyBag::IsYes(std::string_view section, std::string_view name) const {
  const std::string* text = Get(section, name);
  return text != nullptr && *text == kYes;
}

// --- descriptions -------------------------------------------------------------------------

uint16_t ESegmentDesc::Type() const {
  return static_cast<uint16_t>(properties.GetNumber(kSectionStd, kPropSegType, 0xFFFF));
}
uint16_t ESegmentDesc::Size() const {
  return static_cast<uint16_t>(properties.GetNumber(kSectionStd, kPropSegSize, 0));
}
int32_t ESegmentDesc::Offset() const {
  return static_cast<int32_t>(properties.GetNumber(kSectionStd, kPropSegOffset, 0));
}

uint16_t NoCaseTypeCode(uint16_t code) {
  switch (code) {
    case 0:
    case 7:
    case 9:
    case 10:
    case 21:
    case 25:
      return static_cast<uint16_t>(code + 136);
    default:
      return code;
  }
}

const dico::DDicoBase* CoveringField(const dico::DRubricTable& table, uint32_t position,
                                     uint32_t length) {
  const dico::DDicoBase* holder = nullptr;
  for (const dico::DDicoBase* v : table.GetVariables()) {
    if (!fm::TakesRoom(*v) || !fm::HasSize(*v)) continue;
    const int64_t start = fm::FieldOffset(*v);
    const int64_t size = fm::FieldSize(*v);
    if (start == position && size == length) return v;
    if (holder == nullptr && start <= position && position < start + size) holder = v;
  }
  return holder;
}

Chaine SegmentExpression(const dico::DRubricTable* table, uint32_t position, uint32_t length,
                         Chaine* field_name) {
  if (field_name != nullptr) *field_name = Chaine();
  const auto pos = static_cast<int32_t>(std::min<uint32_t>(position, INT32_MAX));
  const auto len = static_cast<int32_t>(length);
  if (table == nullptr) return AbsoluteExtract(pos, len);
  const dico::DDicoBase* field = CoveringField(*table, position, length);
  if (field == nullptr) return Chaine();
  const Chaine name = field->GetName();
  if (field_name != nullptr) *field_name = name;
  const int32_t start = fm::FieldOffset(*field);
  if (start == pos && fm::FieldSize(*field) == len) return name;
  return FieldExtract(name, pos - start, len);
}

std::optional<ExtractArgs> ParseExtract(std::string_view e) {
  if (e.substr(0, kExtractPrefix.size()) != kExtractPrefix) return std::nullopt;
  const size_t close = e.rfind(')');
  if (close == std::string_view::npos || close < kExtractPrefix.size()) return std::nullopt;
  const std::string_view inner = e.substr(kExtractPrefix.size(), close - kExtractPrefix.size());
  const size_t last = inner.rfind(',');
  if (last == std::string_view::npos) return std::nullopt;
  const size_t middle = inner.rfind(',', last == 0 ? 0 : last - 1);
  ExtractArgs args;
  std::optional<int32_t> first, second;
  if (middle != std::string_view::npos && middle < last) {
    // "=EXTRACT(*,*,*)": a field name (which may itself hold commas), then two numbers.
    args.has_field = true;
    args.field = Chaine(inner.substr(0, middle));
    first = ParseInt(inner.substr(middle + 1, last - middle - 1));
  } else {
    first = ParseInt(inner.substr(0, last));
  }
  second = ParseInt(inner.substr(last + 1));
  if (!first || !second) return std::nullopt;
  args.offset = *first;
  args.length = *second;
  return args;
}

int32_t ResolveSegOffset(std::string_view expression, const dico::DRubricTable* table) {
  if (auto args = ParseExtract(expression)) {
    if (!args->has_field) return args->offset;
    if (table == nullptr) return 0;
    const dico::DDicoBase* field = table->FindField(args->field.view());
    return field == nullptr ? 0 : fm::FieldOffset(*field) + args->offset;
  }
  if (table == nullptr || expression.empty() || expression.front() == '=') return 0;
  const dico::DDicoBase* field = table->FindField(expression);
  return field == nullptr ? 0 : fm::FieldOffset(*field);
}

EKeyDesc DescribeKey(const dico::DKey& key, uint16_t key_number, const dico::DRubricTable& table) {
  EKeyDesc desc;
  desc.key_number = key_number;
  const uint32_t kf = key.Flags();
  if (kf & kDicoDuplicates) desc.flags |= kKeyDescDuplicates;
  if (!(kf & kDicoModifiable)) desc.flags |= kKeyDescModifiable;
  if (!(kf & kDicoNullKey)) desc.flags |= kKeyDescNullKey;
  if (kf & kDicoBinary) desc.properties.Set(kSectionBtrieve, kPropBinary, kYes);
  if (kf & kDicoNullAny) desc.properties.Set(kSectionBtrieve, kPropNullIfOneSegNull, kYes);
  if (kf & kDicoAutoInc) desc.properties.Set(kSectionBtrieve, kPropAutoInc, kYes);
  for (const dico::DDicoBase* child : key.Children()) {
    if (child->Kind() != dico::kSegment && child->Kind() != dico::kSegmentAttached) continue;
    const std::optional<uint32_t> position =
        static_cast<const dico::DSegment*>(child)->GetSegmentPosition();
    const auto length = static_cast<uint16_t>(std::min<uint32_t>(child->UnitSize(), 0xFFFF));
    const dico::DDicoBase* field = position ? CoveringField(table, *position, length) : nullptr;
    if (field == nullptr) {
      desc.segments.clear();
      return desc;
    }
    uint16_t type = static_cast<uint16_t>(field->TypeCode() & 0xFF);
    if (type == 0) type = kTypeForZero;
    desc.segments.push_back(MakeSegment(&table, *position, length, type, child->Flags()));
  }
  return desc;
}

std::map<uint32_t, EKeyDesc> DescribeTableKeys(const dico::DRubricTable& table) {
  std::map<uint32_t, EKeyDesc> keys;
  uint16_t number = 0;
  for (const dico::DKey* key : table.GetKeys()) {
    keys.emplace(number, DescribeKey(*key, number, table));
    ++number;
  }
  return keys;
}

std::optional<EKeyDesc> DescribeFileKey(std::span<const uint8_t> stat, int key_number,
                                        const dico::DRubricTable* table) {
  ByteReader reader(stat);
  uint8_t key_count = 0;
  if (key_number < 0 || !reader.Seek(4) || !reader.ReadU8(&key_count) ||
      !reader.Seek(kStatHeader)) {
    return std::nullopt;
  }
  for (uint32_t k = 0; k < key_count; ++k) {
    EKeyDesc desc;
    bool first = true, wanted = false, more = true;
    while (more) {
      std::span<const uint8_t> spec;
      if (!reader.ReadSpan(kSpecSize, &spec)) return std::nullopt;
      const uint16_t position = LoadLE16(&spec[0]);
      const uint16_t length = LoadLE16(&spec[2]);
      const uint16_t flags = LoadLE16(&spec[4]);
      const uint8_t ext_type = spec[10];
      more = (flags & kSpecSegmented) != 0;
      if (first) {
        first = false;
        wanted = spec[14] == key_number;
        desc.key_number = spec[14];
        if (flags & kSpecDuplicates) desc.flags |= kKeyDescDuplicates;
        if (flags & kSpecModifiable) desc.flags |= kKeyDescModifiable;
        if (flags & kSpecNullKey) desc.flags |= kKeyDescNullKey;
        if (flags & kSpecBinary) desc.properties.Set(kSectionBtrieve, kPropBinary, kYes);
        if (flags & kSpecLowNullAny) {
          desc.properties.Set(kSectionBtrieve, kPropNullIfOneSegNull, kYes);
        }
      }
      if (!wanted) continue;
      if (ext_type == kExtTypeAutoIncrement)
        desc.properties.Set(kSectionBtrieve, kPropAutoInc, kYes);
      const uint32_t record_offset = position == 0 ? 0 : position - 1u;
      ESegmentDesc s =
          MakeSegment(table, record_offset, length, ext_type == 0 ? kTypeForZero : ext_type, flags);
      if (s.expression.IsEmpty()) {
        desc.segments.clear();  // a segment on no field leaves the key undescribed
        return desc;
      }
      desc.segments.push_back(std::move(s));
    }
    if (wanted) return desc;
  }
  return std::nullopt;
}

}  // namespace tavelnor::data
