// Formulas over records: the field source that reads a table's fields from
// a record buffer, and the computation of a computed variable into its place.
#pragma once

#include <cstdint>
#include <string_view>

#include "dico/dico_classes.h"
#include "dico/formula.h"
#include "record/er_buffer.h"

namespace tavelnor::data {

// Reads the fields of `table` from the record at `record`. Names of other
// tables are unknown here: their records are not at hand.
class RecordFormulaSource : public dico::FormulaFieldSource {
 public:
  RecordFormulaSource(const dico::DRubricTable& table, uint8_t* record)
      : table_(table), record_(record) {}
  bool Lookup(std::string_view table, std::string_view name, int32_t index,
              dico::FormulaValue* out) override;

 private:
  const dico::DRubricTable& table_;
  uint8_t* record_;
};

// A field's value as a formula sees it: texts, dates, times and booleans as
// such, whole numbers that fit 32 bits as integers, other numbers as reals.
dico::FormulaValue FormulaValueOf(const record::ErBuffer& value);
// Writes a formula's result into a field through its setters.
void StoreFormulaValue(const dico::FormulaValue& result, record::ErBuffer& value);

// Evaluates the formula of `variable` against the record and writes the
// result into element `index` of the variable in that record. False when
// the variable has no formula, the formula fails, or the record is null.
bool ComputeFormulaField(const dico::DDicoBase& variable, uint8_t* record, uint16_t index);

}  // namespace tavelnor::data
