// Filling one demo table through its record fields.
#include "demo/generator/demo_table.h"

#include "dico/compiler/cp1252.h"
#include "dico/dico_handler.h"
#include "record/blob_value.h"
#include "record/er_field.h"
#include "record/fixed_point.h"

namespace tavelnor::demo {

Result<std::unique_ptr<DemoTable>> DemoTable::Open(dico::DDicoHandler& dico,
                                                   std::string_view name) {
  const dico::DDicoBase* object = dico.FindTable(name);
  const auto* table = dynamic_cast<const dico::DRubricTable*>(object);
  if (table == nullptr) {
    return Status::NotFound("the demo dictionary has no table " + std::string(name));
  }
  std::unique_ptr<DemoTable> t(new DemoTable());
  t->name_ = std::string(name);
  t->table_.SetVariablePartsOption(true);
  const Chaine path = table->GetFilePath();
  if (!t->table_.Open(table, path)) {
    return Status::IoError("cannot open " + std::string(path.view()) + " (Btrieve status " +
                           std::to_string(t->table_.Status()) + ")");
  }
  if (t->table_.RawRecordCount(true) != 0 && !t->table_.DeleteAll()) {
    return Status::IoError("cannot empty " + std::string(path.view()) + " (Btrieve status " +
                           std::to_string(t->table_.Status()) + ")");
  }
  t->table_.ClearRecord();
  return t;
}

void DemoTable::Fault(Status status) {
  if (error_.ok()) error_ = std::move(status);
}

record::ErField* DemoTable::Field(std::string_view name) {
  record::ErField* field = table_.FieldByName(name);
  if (field == nullptr || field->Data() == nullptr) {
    Fault(Status::NotFound("table " + name_ + " has no field " + std::string(name)));
    return nullptr;
  }
  return field;
}

void DemoTable::Text(std::string_view field, std::string_view utf8) {
  record::ErField* f = Field(field);
  if (f == nullptr) return;
  auto bytes = dico::Utf8ToCp1252(utf8);
  if (!bytes.ok()) return Fault(bytes.status());
  f->GetBuffer()->SetText(*bytes);
}

void DemoTable::Integer(std::string_view field, int64_t value) {
  if (record::ErField* f = Field(field)) f->GetBuffer()->SetInt64(value);
}

void DemoTable::Bool(std::string_view field, bool value) {
  if (record::ErField* f = Field(field)) f->GetBuffer()->SetBool(value);
}

void DemoTable::Date(std::string_view field, const record::sDate& value) {
  if (record::ErField* f = Field(field)) f->GetBuffer()->SetDate(value);
}

void DemoTable::Time(std::string_view field, const record::sTime& value) {
  if (record::ErField* f = Field(field)) f->GetBuffer()->SetTime(value);
}

void DemoTable::Stamp(std::string_view field, int64_t unix_seconds) {
  if (record::ErField* f = Field(field)) f->GetBuffer()->SetTimeT(unix_seconds);
}

void DemoTable::Money(std::string_view field, int64_t cents) {
  if (record::ErField* f = Field(field)) {
    f->GetBuffer()->SetCurrency(
        record::ECurrency::FromRaw(cents * (record::ECurrency::kScale / 100)));
  }
}

void DemoTable::Decimal(std::string_view field, int64_t scaled, int decimals) {
  record::ErField* f = Field(field);
  if (f == nullptr) return;
  int64_t raw = scaled;
  for (int d = decimals; d < record::EDecimal64::kDecimals; ++d) raw *= 10;
  f->GetBuffer()->SetDecimal64(record::EDecimal64::FromRaw(raw));
}

void DemoTable::Blob(std::string_view field, std::string_view bytes) {
  record::ErField* f = Field(field);
  if (f == nullptr) return;
  if (f->Size() < static_cast<int32_t>(record::kVarPartSlotSize) ||
      !record::AssignVarPart(f->Data(), bytes)) {
    Fault(Status::InvalidArgument("field " + std::string(field) + " of " + name_ + " cannot hold " +
                                  std::to_string(bytes.size()) + " bytes"));
  }
}

void DemoTable::Memo(std::string_view field, std::string_view utf8) {
  auto bytes = dico::Utf8ToCp1252(utf8);
  if (!bytes.ok()) return Fault(bytes.status());
  Blob(field, *bytes);
}

void DemoTable::MoneyItem(std::string_view field, uint32_t index, int64_t cents) {
  record::ErField* f = Field(field);
  if (f == nullptr) return;
  // The items lie end to end from the first one, which the name designates.
  constexpr size_t kItem = 8;
  uint8_t* const record = table_.RecordBuffer();
  uint8_t* const item = f->Data() + size_t{index} * kItem;
  if (item < record || item + kItem > record + table_.RecordLength()) {
    return Fault(Status::InvalidArgument("item " + std::to_string(index) + " of " +
                                         std::string(field) + " lies outside the record"));
  }
  record::ECurrency::FromRaw(cents * (record::ECurrency::kScale / 100)).ToBytes(item);
}

Status DemoTable::Insert() {
  if (!error_.ok()) return error_;
  if (table_.Insert() == -1) {
    Fault(Status::IoError("insert into " + name_ + " refused (Btrieve status " +
                          std::to_string(table_.Status()) + ")"));
    return error_;
  }
  ++inserted_;
  table_.ClearRecord();
  return Status::Ok();
}

}  // namespace tavelnor::demo
