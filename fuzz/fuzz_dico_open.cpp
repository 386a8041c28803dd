// Goes past the loader: loads the input as a dictionary image and then does
// what opening the tables does with it, without any data file: for every
// table the record fields under the filters the library uses, the key
// descriptions and the links, the layout's size, and the rows of the table,
// field and category lists. Nothing may loop, allocate without bound or
// read outside an object.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "data/edata_lists.h"
#include "data/key_desc.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "dico/er_field_table.h"
#include "dico/field_model.h"
#include "record/er_field_composite.h"

namespace {

using tavelnor::dico::DDicoBase;
using tavelnor::dico::DDicoHandler;
using tavelnor::dico::DRubricTable;
namespace dico = tavelnor::dico;
namespace data = tavelnor::data;
namespace record = tavelnor::record;

// Every row of a list, as a caller browsing it would read them.
void ReadRows(data::EDataList& list) {
  for (int32_t pos = list.First(); pos != -1; pos = list.Next()) {
  }
}

void OpenTable(DDicoHandler& handler, const DRubricTable& table) {
  std::vector<uint8_t> record(static_cast<size_t>(table.UnitSize() % (1u << 20)) + 64, 0);
  for (uint32_t filter : {dico::kBuildPassOn | dico::kBuildNoExtension, dico::kBuildPassOn,
                          dico::kBuildPassOn | dico::kBuildExchange,
                          dico::kBuildPassOn | dico::kBuildListed}) {
    record::ErFieldSubRecord fields;
    if (!dico::BuildFields(fields, table, record.data(), filter)) continue;
    // Bound fields aim into the record: read each through its buffer.
    for (size_t i = 0; i < fields.SegmentCount(); ++i) {
      const record::ErField* f = fields.Segment(i);
      const uint8_t* at = f->Data();
      const auto room = static_cast<ptrdiff_t>(record.size());
      if (at != nullptr && at >= record.data() && f->Size() >= 0 &&
          at - record.data() + f->Size() <= room) {
        (void)f->GetText();
      }
    }
  }
  for (const dico::DKey* key : table.GetKeys()) {
    record::ErFieldCompositeLocal parts;
    (void)dico::BuildFields(parts, *key, record.data(), 0);
  }
  for (const dico::DLink* link : table.GetLinks()) {
    record::ErFieldCompositeLocal parts;
    (void)dico::BuildFields(parts, *link, record.data(), 0);
    (void)link->GetLinkedTo();
  }
  (void)data::DescribeTableKeys(table);
  for (const DDicoBase* v : table.GetVariables()) {
    (void)dico::field_model::ElementCount(*v);
    (void)dico::field_model::DictionaryAddressing(*v);
  }
  (void)table.GetPhysicalRecordLength();
  (void)table.ComputeBestPageSize();
  for (uint32_t mode : {0u, data::kVariableModeExchange, data::kVariableModeExtended}) {
    data::EDataVariable list(&table, mode, data::RecordListKind::kTableFields);
    if (list.Load()) ReadRows(list);
  }
  (void)handler;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  DDicoHandler handler;
  if (handler.LoadImage(std::vector<uint8_t>(bytes, bytes + size), dico::kLoadNameIndex) !=
      dico::LoadResult::kLoaded) {
    return 0;
  }
  dico::DicoArray& tables = handler.Array(dico::kRubricTable);
  for (uint32_t i = 0; i < tables.Count(); ++i) {
    auto* table = static_cast<DRubricTable*>(tables.At(i));
    OpenTable(handler, *table);
    // The layout computed again, as old dictionaries have it done on load.
    (void)table->RecomputeSize();
  }
  for (uint32_t mode : {0u, data::kRubricModeExchange, data::kRubricModeListOption,
                        data::kRubricModeExtended}) {
    data::EDataRubric list(handler, mode);
    if (list.Load()) ReadRows(list);
  }
  data::EDataCategory categories(handler);
  if (categories.Load()) ReadRows(categories);
  for (auto kind : {data::RecordListKind::kTableListRecord, data::RecordListKind::kFieldListRecord,
                    data::RecordListKind::kCategoryListRecord}) {
    data::EDataVariable fixed(nullptr, 0, kind);
    if (fixed.Load()) ReadRows(fixed);
  }
  return 0;
}
