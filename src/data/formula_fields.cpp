// Formulas evaluated against record buffers.
#include "data/formula_fields.h"

#include <limits>

#include "dico/er_field_table.h"
#include "dico/field_model.h"
#include "record/type_codes.h"

namespace tavelnor::data {

namespace {

// The table a variable belongs to; null outside tables.
const dico::DRubricTable* TableOf(const dico::DDicoBase& v) {
  const dico::DDicoBase* container = v.GetContainer();
  if (container == nullptr || container->Kind() != dico::kRubricTable) return nullptr;
  return static_cast<const dico::DRubricTable*>(container);
}

}  // namespace

bool RecordFormulaSource::Lookup(std::string_view table, std::string_view name, int32_t index,
                                 dico::FormulaValue* out) {
  if (!table.empty() && !table_.GetName().EqualsNoCase(table)) return false;
  const dico::DDicoBase* field = table_.FindField(name);
  if (field == nullptr) return false;
  dico::ErFieldTable bound;
  const int32_t element = index < 0 ? 0 : index;
  if (element >= static_cast<int32_t>(dico::field_model::ElementCount(*field))) return false;
  if (!bound.Bind(*field, record_, static_cast<int16_t>(element))) return false;
  if (bound.Data() == nullptr) return false;
  *out = FormulaValueOf(bound.Buffer());
  return true;
}

dico::FormulaValue FormulaValueOf(const record::ErBuffer& value) {
  using dico::FormulaValue;
  switch (value.GetTypeCode()) {
    case record::TYPE_DATE: return FormulaValue::Date(value.GetDate());
    case record::TYPE_TIME: return FormulaValue::Time(value.GetTime());
    case record::TYPE_BOOL:
    case record::TYPE_OLDBOOL: return FormulaValue::Bool(value.GetBool());
    case record::TYPE_LONG:
    case record::TYPE_INT:
    case record::TYPE_INT8:
    case record::TYPE_UINT8:
    case record::TYPE_INT16:
    case record::TYPE_UINT16:
    case record::TYPE_UINT32:
    case record::TYPE_INT64:
    case record::TYPE_UINT64: {
      const int64_t n = value.GetInt64();
      if (value.GetTypeCode() != record::TYPE_UINT64 &&
          n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max()) {
        return FormulaValue::Integer(static_cast<int32_t>(n));
      }
      return FormulaValue::Real(value.GetDouble());
    }
    case record::TYPE_DOUBLE:
    case record::TYPE_FLOAT:
    case record::TYPE_DECIMAL32:
    case record::TYPE_DECIMAL64:
    case record::TYPE_CURRENCY:
    case record::TYPE_TIMESTAMP: return FormulaValue::Real(value.GetDouble());
    default: return FormulaValue::Text(value.GetText().view());
  }
}

void StoreFormulaValue(const dico::FormulaValue& result, record::ErBuffer& value) {
  using dico::FormulaKind;
  switch (result.kind()) {
    case FormulaKind::kText: value.SetText(result.text().view()); break;
    case FormulaKind::kInteger: value.SetInt64(result.integer()); break;
    case FormulaKind::kReal:
    case FormulaKind::kRealAlt: value.SetDouble(result.real()); break;
    case FormulaKind::kDate: value.SetDate(result.date()); break;
    case FormulaKind::kTime: value.SetTime(result.time()); break;
    case FormulaKind::kBool: value.SetBool(result.boolean()); break;
    case FormulaKind::kNone: value.Clear(); break;
  }
}

bool ComputeFormulaField(const dico::DDicoBase& variable, uint8_t* record, uint16_t index) {
  const dico::DRubricTable* table = TableOf(variable);
  if (record == nullptr || table == nullptr) return false;
  if (!dico::field_model::IsValueVariable(variable)) return false;
  const char* text = static_cast<const dico::DVariable&>(variable).Formula();
  if (text == nullptr || *text == '\0') return false;
  dico::Formula formula;
  if (!formula.Create(&variable, table, text)) return false;
  RecordFormulaSource source(*table, record);
  dico::FormulaValue result;
  if (!formula.Evaluate(&result, &source)) return false;
  dico::ErFieldTable target;
  if (!target.Bind(variable, record, static_cast<int16_t>(index)) || target.Data() == nullptr) {
    return false;
  }
  StoreFormulaValue(result, *target.GetBuffer());
  return true;
}

}  // namespace tavelnor::data
