// DemoTable: one table of the demo dictionary opened for filling.
//
// The writer sets each field of the current record through the table's
// record fields (by name), inserts the record and starts the next one from
// zeros. Texts are given in UTF-8 and stored in Windows-1252, the code page
// of the records. The first fault (a field the table lacks, a text the code
// page cannot hold, a refused insert) is kept and answered by every later
// Insert, so that callers check once per record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "data/edata_table.h"
#include "foundation/status.h"
#include "record/date_value.h"
#include "record/time_value.h"

namespace tavelnor::dico {
class DDicoHandler;
}

namespace tavelnor::demo {

class DemoTable {
 public:
  // Opens (creating it when missing) the data file of table `name` where the
  // dictionary places it, and empties it.
  static Result<std::unique_ptr<DemoTable>> Open(dico::DDicoHandler& dico, std::string_view name);

  void Text(std::string_view field, std::string_view utf8);
  void Integer(std::string_view field, int64_t value);
  void Bool(std::string_view field, bool value);
  void Date(std::string_view field, const record::sDate& value);
  void Time(std::string_view field, const record::sTime& value);
  // Seconds since 1970-01-01 00:00:00 UTC.
  void Stamp(std::string_view field, int64_t unix_seconds);
  // Amount in cents (currency fields).
  void Money(std::string_view field, int64_t cents);
  // Decimal value scaled by 10^decimals (fixed-point fields).
  void Decimal(std::string_view field, int64_t scaled, int decimals);
  // The bytes of a variable-length part (picture).
  void Blob(std::string_view field, std::string_view bytes);
  // A text memo, given in UTF-8 like the other texts.
  void Memo(std::string_view field, std::string_view utf8);
  // The same for item `index` of array field `field` (currency items).
  void MoneyItem(std::string_view field, uint32_t index, int64_t cents);

  // Inserts the current record, then clears it.
  Status Insert();
  const Status& Error() const { return error_; }
  std::string_view Name() const { return name_; }
  uint32_t Inserted() const { return inserted_; }
  data::EDataTable& Data() { return table_; }

 private:
  DemoTable() = default;
  record::ErField* Field(std::string_view name);
  void Fault(Status status);

  data::EDataTable table_;
  std::string name_;
  Status error_;
  uint32_t inserted_ = 0;
};

}  // namespace tavelnor::demo
