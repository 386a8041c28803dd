// DicoTestBuilder: dictionary images assembled object by object.
#include "dico/dico_test_builder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "foundation/byte_reader.h"

namespace tavelnor::dico::testing {
namespace {

// The class-part values an object of `kind` has when it is created.
void SetCreationValues(int kind, uint8_t* p) {
  switch (GetKindInfo(kind).image_type) {
    case ImageType::kDico: StoreLE16(p + 72, 1036); break;
    case ImageType::kRubricTable: StoreLE32(p + 67, 512); break;
    case ImageType::kVarStruct:
    case ImageType::kVarArray: StoreLE16(p + 67, 1); break;
    case ImageType::kSegment: p[75] = 0xFF; break;
    case ImageType::kVariable:
      p[79] = 0xFF;
      p[84] = 0xFF;
      StoreLE16(p + 89, 1);
      p[99] = 0xFF;
      break;
    default: break;
  }
}

}  // namespace

DicoTestBuilder::DicoTestBuilder() {
  image_.pool.assign(1, 0);
  Add(kDico, 0, "Dico");
}

int32_t DicoTestBuilder::Str(std::string_view text) {
  const auto offset = static_cast<int32_t>(image_.pool.size());
  image_.pool.insert(image_.pool.end(), text.begin(), text.end());
  image_.pool.push_back(0);
  return offset;
}

uint32_t DicoTestBuilder::Add(int kind, uint32_t parent, std::string_view name) {
  return AddWithId(kind, parent, name, next_id_);
}

uint32_t DicoTestBuilder::AddWithId(int kind, uint32_t parent, std::string_view name,
                                    uint32_t id) {
  if (where_.count(id)) throw std::logic_error("identifier given twice");
  auto& array = ArrayOf(kind);
  const uint32_t size = GetKindInfo(kind).image_size;
  const auto index = static_cast<uint32_t>(array.size() / size);
  array.resize(array.size() + size, 0);
  where_[id] = {kind, index};
  next_id_ = std::max(next_id_, id + 1);
  image_.last_id = std::max(image_.last_id, id);

  uint8_t* p = Image(id);
  SetCreationValues(kind, p);
  StoreLE32(p + base::kId, id);
  StoreLE32(p + base::kParent, parent);
  if (!name.empty()) StoreLE32(p + base::kName, static_cast<uint32_t>(Str(name)));
  if (parent) {
    auto last = last_child_.find(parent);
    if (last == last_child_.end()) {
      SetWord(parent, base::kFirstChild, id);
    } else {
      SetWord(last->second, base::kNextSibling, id);
    }
    last_child_[parent] = id;
  }
  return id;
}

uint8_t* DicoTestBuilder::Image(uint32_t id) {
  const auto [kind, index] = where_.at(id);
  return ArrayOf(kind).data() + static_cast<size_t>(index) * GetKindInfo(kind).image_size;
}

void DicoTestBuilder::SetWord(uint32_t id, uint32_t offset, uint32_t value) {
  StoreLE32(Image(id) + offset, value);
}
void DicoTestBuilder::SetHalf(uint32_t id, uint32_t offset, uint16_t value) {
  StoreLE16(Image(id) + offset, value);
}
void DicoTestBuilder::SetByte(uint32_t id, uint32_t offset, uint8_t value) {
  Image(id)[offset] = value;
}
uint32_t DicoTestBuilder::Word(uint32_t id, uint32_t offset) {
  return LoadLE32(Image(id) + offset);
}

void DicoTestBuilder::SetString(uint32_t id, uint32_t offset, std::string_view text) {
  SetWord(id, offset, static_cast<uint32_t>(Str(text)));
}

DicoTestBuilder::Table DicoTestBuilder::AddTable(std::string_view name, uint32_t parent) {
  Table t;
  t.table = Add(kRubricTable, parent, name);
  t.data = Add(kTitleData, t.table, "Lesdonnees");
  t.keys = Add(kTitleKey, t.table, "Les clefs");
  t.links = Add(kTitleLink, t.table, "Les liens");
  return t;
}

uint32_t DicoTestBuilder::AddField(uint32_t parent, std::string_view name, uint8_t type,
                                   uint32_t size, uint32_t offset, uint32_t class_code,
                                   int kind) {
  const uint32_t id = Add(kind, parent, name);
  SetByte(id, 79, type);
  SetWord(id, base::kUnitSize, size);
  SetWord(id, 91, offset);
  SetWord(id, 80, class_code);
  return id;
}

uint32_t DicoTestBuilder::AddKey(uint32_t keys_title, std::string_view name, uint32_t flags) {
  const uint32_t id = Add(kKey, keys_title, name);
  SetWord(id, base::kFlags, flags);
  return id;
}

uint32_t DicoTestBuilder::AddSegment(uint32_t key, std::string_view name, uint32_t field,
                                     uint32_t offset) {
  const uint32_t id = Add(kSegment, key, name);
  SetWord(id, base::kLinkedTo, field);
  SetWord(id, 67, offset);
  return id;
}

uint32_t DicoTestBuilder::AddTypedSegment(uint32_t key, uint32_t field, uint32_t offset,
                                          uint32_t length, uint32_t flags, uint8_t type) {
  const uint32_t id = AddSegment(key, "S", field, offset);
  SetWord(id, base::kUnitSize, length);
  SetWord(id, base::kFlags, flags);
  SetByte(id, 75, type);
  return id;
}

uint32_t DicoTestBuilder::AddLink(uint32_t links_title, std::string_view name,
                                  uint32_t target_table, uint32_t linked_key) {
  const uint32_t id = Add(kLink, links_title, name);
  SetWord(id, base::kLinkedTo, target_table);
  SetWord(id, 67, linked_key);
  return id;
}

uint32_t DicoTestBuilder::AddVarPerso(uint32_t parent, std::string_view name, uint32_t size,
                                      uint32_t offset) {
  const uint32_t id = Add(kVarPerso, parent, name);
  SetWord(id, base::kUnitSize, size);
  SetWord(id, 67, size);
  SetWord(id, 75, offset);
  return id;
}

void DicoTestBuilder::AddCategory(std::string_view name, uint32_t value, uint8_t byte35,
                                  uint32_t tail_offset, uint8_t tail_value) {
  const size_t at = image_.categories.size();
  image_.categories.resize(at + kCategorySize, 0);
  uint8_t* p = image_.categories.data() + at;
  std::memcpy(p, name.data(), std::min<size_t>(name.size(), kCategoryNameLength));
  StoreLE32(p + 31, value);
  p[35] = byte35;
  if (tail_offset >= kOldCategorySize && tail_offset < kCategorySize) p[tail_offset] = tail_value;
}

void DicoTestBuilder::AddCountry(std::string_view name, int32_t code) {
  image_.name_index.push_back({code, std::string(name)});
}

void DicoTestBuilder::AddMacro(std::string_view name, int32_t code) {
  image_.name_index.push_back({code + 14, "@" + std::string(name)});
}

std::vector<uint8_t> DicoTestBuilder::Bytes(int level) const {
  return WriteDicoImage(image_, level);
}

}  // namespace tavelnor::dico::testing
