// ZAVL_Locate: finds a record by the text of some of its fields, through a
// key whose leading segments are those fields, else by scanning.
//
// Field names compare without regard to case. A name that designates no
// field never matches (the scan runs to its end, a keyed search fails with
// -1). Names of fields reached through links: ">LINK>FIELD" (or
// ">LINK1>LINK2>FIELD" over several links) names FIELD of the record that
// link LINK of the table reaches from the current record; such names never
// select a key, so they are compared while scanning.
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "api/guard.h"
#include "api/handles.h"
#include "data/edata.h"
#include "data/edata_table.h"
#include "data/file_opening.h"
#include "data/key_value.h"
#include "dico/dico_classes.h"
#include "dico/er_field_table.h"
#include "foundation/case_tables.h"
#include "record/er_buffer.h"
#include "record/er_field_composite.h"

namespace tavelnor::api {

namespace {

bool SameName(std::string_view a, std::string_view b) { return CompareNoCase1252(a, b) == 0; }

std::vector<std::string> SplitNames(std::string_view names) {
  std::vector<std::string> out;
  if (names.empty()) return out;
  size_t from = 0;
  for (;;) {
    const size_t comma = names.find(',', from);
    out.emplace_back(names.substr(from, comma == std::string_view::npos ? names.npos : comma - from));
    if (comma == std::string_view::npos) break;
    from = comma + 1;
  }
  return out;
}

// The fields of a table over one record of `length` bytes, found by name. A
// field whose bytes do not lie wholly within the record (a record buffer the
// caller gave shorter than the table's records) is not found: its bytes were
// never read, and reading them would leave the buffer.
class RecordFields {
 public:
  RecordFields(const dico::DRubricTable& table, uint8_t* record, size_t length, bool extended)
      : record_(record), length_(length) {
    dico::BuildFields(fields_, table, record, extended ? 1 : 3);
  }
  record::ErField* Find(std::string_view name) const {
    for (size_t i = 0; i < fields_.SegmentCount(); ++i) {
      record::ErField* f = fields_.Segment(i);
      if (SameName(f->GetName().view(), name)) return Inside(*f) ? f : nullptr;
    }
    return nullptr;
  }

 private:
  bool Inside(record::ErField& f) const {
    if (!f.GetBuffer()) return false;
    const auto at = reinterpret_cast<uintptr_t>(f.Data());
    const auto from = reinterpret_cast<uintptr_t>(record_);
    const int32_t size = f.Size();
    return at >= from && size >= 0 && at - from <= length_ &&
           static_cast<size_t>(size) <= length_ - (at - from);
  }

  uint8_t* record_;
  size_t length_;
  record::ErFieldSubRecord fields_;
};

// The link of `table` called `name`, or null.
const dico::DLink* LinkNamed(const dico::DRubricTable& table, std::string_view name) {
  for (const dico::DLink* link : table.GetLinks()) {
    if (link->NameText() && SameName(link->NameText(), name)) return link;
  }
  return nullptr;
}

class Matcher {
 public:
  Matcher(data::EData& object, bool extended) : object_(object), extended_(extended) {}

  // The text of field `name` of the current record (through links for
  // ">..." names); false when the name designates nothing.
  bool Text(const std::string& name, std::string* text) {
    data::EData* at = &object_;
    std::string_view rest = name;
    if (!rest.empty() && rest.front() == '>') {
      rest.remove_prefix(1);
      for (size_t gt = rest.find('>'); gt != std::string_view::npos; gt = rest.find('>')) {
        const dico::DRubricTable* table = at->TableDefinition();
        const dico::DLink* link = table ? LinkNamed(*table, rest.substr(0, gt)) : nullptr;
        at = link ? at->OpenLink(link->Id()) : nullptr;
        if (!at) return false;
        rest.remove_prefix(gt + 1);
      }
    }
    const dico::DRubricTable* table = at->TableDefinition();
    if (!table) return false;
    auto& fields = fields_[at];
    if (!fields) {
      fields = std::make_unique<RecordFields>(*table, at->RecordBuffer(), at->RecordLength(),
                                              extended_);
    }
    record::ErField* field = fields->Find(rest);
    if (!field) return false;
    *text = field->GetText().str();
    return true;
  }

  // Whether every name has its value in the current record; stops at the
  // first difference.
  bool Matches(const std::vector<std::string>& names, const std::vector<std::string>& values) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i) {
      if (!Text(names[i], &text) || text != values[i]) return false;
    }
    return true;
  }

 private:
  data::EData& object_;
  bool extended_;
  std::map<data::EData*, std::unique_ptr<RecordFields>> fields_;
};

// The first key whose leading segments are the fields `names`, in order; -1
// when none.
int ChooseKey(data::EData& object, const dico::DRubricTable& table,
              const std::vector<std::string>& names) {
  const size_t keys = table.GetKeys().size();
  for (size_t k = 0; k < keys; ++k) {
    const data::EKeyDesc* desc = object.KeyDescFor(static_cast<int>(k));
    if (!desc || names.empty() || names.size() > desc->segments.size()) continue;
    bool leading = true;
    for (size_t i = 0; i < names.size() && leading; ++i) {
      const data::ESegmentDesc& segment = desc->segments[i];
      // Only a segment that is a whole field carries its name.
      leading = segment.expression.view() == segment.field_name.view() &&
                SameName(segment.field_name.view(), names[i]);
    }
    if (leading) return static_cast<int>(k);
  }
  return -1;
}

// The key value of key `k` with every segment at its minimum, then the named
// fields set from their texts; answers its bytes. The record it is built in
// is a scratch of the table's own record length, whatever buffer the data
// object reads into.
std::vector<uint8_t> KeyBytes(data::EData& object, const dico::DRubricTable& table, int k,
                              const std::vector<std::string>& names,
                              const std::vector<std::string>& values, bool extended) {
  const data::EKeyDesc& desc = *object.KeyDescFor(k);
  data::EKeyValue key = data::EKeyValue::FromDesc(desc, &table);
  std::vector<uint8_t> scratch(data::DefinitionRecordLength(table, extended), 0);
  key.SetMin();
  key.WriteToRecord(scratch.data(), scratch.size());
  RecordFields fields(table, scratch.data(), scratch.size(), extended);
  for (size_t i = 0; i < names.size(); ++i) {
    if (record::ErField* f = fields.Find(names[i])) f->GetBuffer()->SetText(values[i]);
  }
  key.ReadFromRecord(scratch.data(), scratch.size());
  std::vector<uint8_t> bytes(key.TotalLength());
  bytes.resize(key.PackBytes(bytes.data(), bytes.size()));
  return bytes;
}

}  // namespace

}  // namespace tavelnor::api

extern "C" {

ZAVL_API int32_t ZAVL_CALL ZAVL_Locate(ZAVL_Data* data, const char* names,
                                       const char* const* values) {
  using namespace tavelnor;
  return api::Guard(api::kHandleFrame, int32_t{-1}, [&]() -> int32_t {
    api::DataHandle* h = api::CheckData(data);
    if (!h) return 0;
    const std::vector<std::string> name_list = api::SplitNames(names ? names : "");
    std::vector<std::string> value_list;
    for (size_t i = 0; values && values[i]; ++i) value_list.emplace_back(values[i]);
    if (name_list.empty() || value_list.empty() || value_list.size() > name_list.size()) return -1;
    value_list.resize(name_list.size());
    data::EData& object = *h->dataObject;
    const dico::DRubricTable* table = object.TableDefinition();
    if (!table) {
      api::SetLastError(ZAVL_ERR_NOT_A_TABLE);
      return -1;
    }
    const bool extended =
        h->dataKind == api::kKindTable &&
        (static_cast<data::EDataTable&>(object).TableFlags() & data::kTableExtendedForm) != 0;
    api::Matcher matcher(object, extended);
    int32_t result = -1;
    object.SetStatus(0);
    const int k = api::ChooseKey(object, *table, name_list);
    if (k >= 0) {
      const std::vector<uint8_t> key =
          api::KeyBytes(object, *table, k, name_list, value_list, extended);
      result = object.FindFrom(k, key.data(), key.size());
      api::SetLastError(object.Status());
      if (!matcher.Matches(name_list, value_list)) {
        result = -1;
        api::SetLastError(ZAVL_ERR_CREATE);
      }
    } else {
      for (result = object.First(); result != -1 && result != 0; result = object.Next()) {
        if (matcher.Matches(name_list, value_list)) break;
      }
      if (result == 0) result = -1;
      api::SetLastError(object.Status());
    }
    if (result != -1) api::RefreshExchange(*h);
    return result;
  });
}

}  // extern "C"
