// The table list and the category list (the field list is in
// edata_variable.cpp).
#include "data/edata_lists.h"

#include <cstring>

#include "data/exchange_layout.h"
#include "dico/dico_classes.h"
#include "dico/dico_handler.h"
#include "foundation/case_tables.h"
#include "record/byte_form.h"

namespace tavelnor::data {

namespace {

// Offsets of the table list row.
constexpr size_t kRubricName = 0, kRubricNameLength = 31, kRubricLength = 32;
// Offsets of the category list row.
constexpr size_t kCategoryName = 0, kCategoryNameRoom = 32, kCategoryLabel = 32,
                 kCategoryLabelRoom = 128, kCategoryProperty = 160, kCategoryValue = 164;
// Where a dictionary category entry holds its value and its property byte.
constexpr size_t kEntryValue = 31, kEntryProperty = 35;

}  // namespace

// --- EDataRubric ----------------------------------------------------------------

EDataRubric::EDataRubric(dico::DDicoHandler& dico, uint32_t mode) : dico_(dico), mode_(mode) {}

bool EDataRubric::Load() {
  tables_.clear();
  dico::DicoArray& tables = dico_.Array(dico::kRubricTable);
  for (uint32_t i = 0; i < tables.Count(); ++i) {
    const auto* table = static_cast<const dico::DRubricTable*>(tables.At(i));
    if ((mode_ & kRubricModeListOption) && (table->Flags() & kTableFlagUnlisted)) {
      const char* name = table->NameText();
      if (name == nullptr || CompareNoCase1252(name, kAlwaysListedTable) != 0) continue;
    }
    tables_.push_back(table);
  }
  SetRowCount(static_cast<uint32_t>(tables_.size()));
  position_ = 0;
  status_ = 0;
  return true;
}

uint32_t EDataRubric::ReportedLength(const dico::DRubricTable& table) const {
  const bool extended = (mode_ & kRubricModeExtended) != 0;
  if (mode_ & kRubricModeExchange) {
    ExchangeRecord exchange;
    exchange.Build(table, nullptr, extended);
    return exchange.ExchangeSize();
  }
  return extended ? table.GetExtendedRecordLength() : table.GetRecordLength();
}

void EDataRubric::WriteRow(uint32_t row, uint8_t* out) {
  const dico::DRubricTable& table = *tables_[row - 1];
  CopyText(out + kRubricName, table.NameText(), kRubricNameLength);
  record::StoreLittle<uint32_t>(out + kRubricLength, ReportedLength(table));
}

// --- EDataCategory ----------------------------------------------------------------

EDataCategory::EDataCategory(const dico::DDicoHandler& dico) : dico_(dico) {}

bool EDataCategory::Load() {
  uint32_t count = 0;
  while (count < INT32_MAX && !dico_.CategoryName(static_cast<int>(count)).IsEmpty()) ++count;
  SetRowCount(count);
  position_ = 0;
  status_ = 0;
  return true;
}

void EDataCategory::WriteRow(uint32_t row, uint8_t* out) {
  const Chaine name = dico_.CategoryName(static_cast<int>(row - 1));
  CopyText(out + kCategoryName, name.c_str(), kCategoryNameRoom);
  // The rest comes from the entry the name finds (the first of that name).
  const int found = dico_.FindCategory(name.view());
  const uint8_t* entry = dico_.GetCategory(found);
  if (entry == nullptr) return;
  CopyText(out + kCategoryLabel, dico_.CategoryText(found).c_str(), kCategoryLabelRoom);
  const auto property = static_cast<int8_t>(entry[kEntryProperty]);
  record::StoreLittle<int32_t>(out + kCategoryProperty, property);
  record::StoreLittle<uint32_t>(out + kCategoryValue,
                                record::LoadLittle<uint32_t>(entry + kEntryValue));
}

}  // namespace tavelnor::data
