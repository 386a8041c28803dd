// Choosing and opening the data object of a name.
#include "data/list_choice.h"

#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "tavelnor/zavl.h"

namespace tavelnor::data {

namespace {

const dico::DRubricTable* FindTableDefinition(dico::DDicoHandler& dico, std::string_view name) {
  const dico::DDicoBase* found = dico.FindTable(name);
  if (found == nullptr || found->Kind() != dico::kRubricTable) return nullptr;
  return static_cast<const dico::DRubricTable*>(found);
}

template <typename List>
void LoadInto(ChosenObject& chosen, std::unique_ptr<List> list) {
  list->Load();
  chosen.status = list->Status();
  chosen.object = std::move(list);
}

}  // namespace

ListOpenFlags ListFlagsFrom(uint32_t schema_flags, uint32_t open_flags) {
  ListOpenFlags flags;
  flags.exchange = (schema_flags & SCHEMA_EXCHANGE) != 0;
  flags.list_option = (schema_flags & SCHEMA_LIST_OPTION) != 0;
  flags.extended =
      (open_flags & DATA_EXTENDED_FILE) != 0 || (schema_flags & SCHEMA_EXTENDED_FILES) != 0;
  return flags;
}

uint32_t RubricModeWord(const ListOpenFlags& flags) {
  return (flags.exchange ? kRubricModeExchange : 0) |
         (flags.list_option ? kRubricModeListOption : 0) |
         (flags.extended ? kRubricModeExtended : 0);
}

uint32_t VariableModeWord(const ListOpenFlags& flags) {
  return (flags.exchange ? kVariableModeExchange : 0) |
         (flags.extended ? kVariableModeExtended : 0);
}

ChosenObject ChooseDataObject(dico::DDicoHandler& dico, std::string_view name,
                              const ListOpenFlags& flags) {
  ChosenObject chosen;
  if (name.empty()) {
    chosen.choice = ListChoice::kRubric;
    LoadInto(chosen, std::make_unique<EDataRubric>(dico, RubricModeWord(flags)));
    return chosen;
  }
  if (name == "@") {
    chosen.choice = ListChoice::kCategory;
    LoadInto(chosen, std::make_unique<EDataCategory>(dico));
    return chosen;
  }
  if (name.front() != '#') {
    chosen.choice = ListChoice::kTable;
    chosen.table = FindTableDefinition(dico, name);
    return chosen;
  }

  const std::string_view rest = name.substr(1);
  // Only a rest that cannot be a fixed description is looked up.
  if (!rest.empty() && rest.front() != '#' && rest != "@") {
    chosen.table = FindTableDefinition(dico, rest);
    if (chosen.table == nullptr) return chosen;  // refused
    chosen.list_kind = RecordListKind::kTableFields;
  } else if (rest.empty()) {
    chosen.list_kind = RecordListKind::kFieldListRecord;
  } else if (rest == "@") {
    chosen.list_kind = RecordListKind::kCategoryListRecord;
  } else {
    chosen.list_kind = RecordListKind::kTableListRecord;
  }
  chosen.choice = ListChoice::kVariable;
  LoadInto(chosen, std::make_unique<EDataVariable>(chosen.table, VariableModeWord(flags),
                                                   chosen.list_kind));
  return chosen;
}

}  // namespace tavelnor::data
