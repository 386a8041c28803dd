// Which data object a name opens: the table list (empty name), the category
// list ("@" alone), a field list ("#" and what follows), or a table (any
// other name). The lists are created and loaded here; a table is left to
// the caller, which opens it over its file.
//
// "#" names: "#" followed by the name of a table lists that table's fields;
// otherwise "#" alone describes field list records, "#@" category list
// records, "##..." table list records; any other "#" name is refused.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "data/edata.h"
#include "data/edata_lists.h"

namespace tavelnor::dico {
class DDicoHandler;
class DRubricTable;
}  // namespace tavelnor::dico

namespace tavelnor::data {

// What the caller asked for, as far as the lists care.
struct ListOpenFlags {
  bool exchange = false;     // records in the exchange layout
  bool list_option = false;  // the table list leaves out tables flagged 0x200
  bool extended = false;     // tables in their extended form
};

// From the schema flags and open flags of the exported interface.
ListOpenFlags ListFlagsFrom(uint32_t schema_flags, uint32_t open_flags);
uint32_t RubricModeWord(const ListOpenFlags& flags);
uint32_t VariableModeWord(const ListOpenFlags& flags);

enum class ListChoice {
  kTable,     // not a list: the caller opens the table named
  kRubric,    // EDataRubric
  kCategory,  // EDataCategory
  kVariable,  // EDataVariable
  kRefused,   // a "#" name that names no table and no fixed description
};

struct ChosenObject {
  ListChoice choice = ListChoice::kRefused;
  // Lists: the object, loaded (even when the load failed). Tables: none.
  std::unique_ptr<EData> object;
  // The list's status after its load (0 for tables and refusals).
  int32_t status = 0;
  // The table named, when the name (after "#" for a field list) names a
  // table of the dictionary; null otherwise.
  const dico::DRubricTable* table = nullptr;
  // For a field list.
  RecordListKind list_kind = RecordListKind::kTableFields;
};

ChosenObject ChooseDataObject(dico::DDicoHandler& dico, std::string_view name,
                              const ListOpenFlags& flags);

}  // namespace tavelnor::data
