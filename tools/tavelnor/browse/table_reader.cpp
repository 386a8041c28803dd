// Walking a table's records through the exchange layout.
#include "browse/table_reader.h"

#include <algorithm>
#include <cctype>

#include "browse/text_codec.h"

namespace tavelnor::tool {
namespace {

constexpr int32_t kEndOfData = 9;
constexpr int32_t kBadKeyNumber = 6;

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool SameValue(const Cell& a, const Cell& b) {
  return a.kind == b.kind && a.text == b.text && a.bytes == b.bytes;
}

WalkError LibraryError(const std::string& detail) { return {ZAVL_GetLastError(), detail}; }

}  // namespace

bool TableReader::Open(const Schema& schema, const std::string& table, WalkError* error) {
  // The other name forms open the dictionary's lists, which have no exchange layout.
  if (table.empty() || table[0] == '#' || table == "@") {
    *error = {0, "\"" + table + "\" names a list of the dictionary, not a table"};
    return false;
  }
  std::string name;
  if (!LibraryName(table, &name)) {
    *error = {0, "table name \"" + table + "\" has characters outside Windows-1252"};
    return false;
  }
  std::vector<FieldInfo> fields;
  int32_t code = 0;
  if (!ReadFieldList(schema, name, &fields, &code)) {
    *error = {code, "table " + table};
    return false;
  }
  layout_ = LayoutFromFields(fields);
  std::vector<TableInfo> tables;
  if (ReadTableList(schema, &tables, &code)) {
    for (const TableInfo& t : tables) {
      if (SameName(t.name, table)) consistent_ = t.length == LayoutSize(layout_);
    }
  }
  data_ = std::make_unique<DataHandle>(schema.get(), name);
  if (!data_->ok()) {
    *error = LibraryError("table " + table);
    data_.reset();
    return false;
  }
  // At least one byte: a null buffer would turn the handle to raw records.
  buffer_.assign(std::max<uint32_t>(LayoutSize(layout_), 1), 0);
  ZAVL_SetBuffer(data_->get(), buffer_.data(), LayoutSize(layout_));
  return true;
}

int32_t TableReader::RecordCount() const { return data_ ? ZAVL_GetNbRecords(data_->get()) : 0; }

std::vector<Cell> TableReader::Cells() const {
  std::vector<Cell> cells;
  cells.reserve(layout_.size());
  for (const Column& c : layout_) cells.push_back(DecodeSlot(c, buffer_.data() + c.offset));
  return cells;
}

bool TableReader::SetRange(const WalkOptions& options, WalkError* error) {
  const bool bounded = options.bounds.low.has_value() || options.bounds.high.has_value();
  if (!options.key && !bounded) return true;
  const int32_t key = options.key.value_or(0);
  const std::string* low = options.bounds.low ? &*options.bounds.low : nullptr;
  const std::string* high = options.bounds.high ? &*options.bounds.high : nullptr;
  if (!ZAVL_SetKeyrange(data_->get(), key, low ? low->data() : nullptr,
                        low ? static_cast<int32_t>(low->size()) : 0, high ? high->data() : nullptr,
                        high ? static_cast<int32_t>(high->size()) : 0)) {
    const int32_t code = ZAVL_GetLastError();
    *error = {code, "key " + std::to_string(key) +
                        (code == kBadKeyNumber ? ": the table has no such key" : "")};
    return false;
  }
  return true;
}

bool TableReader::Walk(const WalkOptions& options,
                       const std::function<bool(const std::vector<Cell>&)>& take,
                       WalkError* error, const std::function<void()>& started) {
  if (!data_) {
    *error = {ZAVL_ERR_HANDLE, "no table open"};
    return false;
  }
  // The fields of the selection, and the arguments of ZAVL_Locate.
  std::vector<size_t> where_columns;
  std::string names;
  std::vector<std::string> values;
  for (const auto& condition : options.where) {
    const std::string& field = condition.first;
    const std::string& value = condition.second;
    auto it = std::find_if(layout_.begin(), layout_.end(),
                           [&](const Column& c) {
                             return SameName(c.name, field) || SameName(c.field, field);
                           });
    if (it == layout_.end()) {
      *error = {0, "the table has no field \"" + field + "\" with a value"};
      return false;
    }
    if (it->element != 0) {
      *error = {0, "\"" + field + "\" is an element of an array, which --where cannot select on"};
      return false;
    }
    where_columns.push_back(static_cast<size_t>(it - layout_.begin()));
    std::string name, text;
    if (!Utf8ToCp1252(it->field, &name) || !Utf8ToCp1252(value, &text)) {
      *error = {0, "value \"" + value + "\" has characters outside Windows-1252"};
      return false;
    }
    names += (names.empty() ? "" : ",") + name;
    values.push_back(std::move(text));
  }

  const bool ranged = options.key.has_value() || options.bounds.low || options.bounds.high;
  std::vector<Cell> wanted;
  int32_t pos = -1;
  if (!where_columns.empty()) {
    std::vector<const char*> argv;
    for (const std::string& v : values) argv.push_back(v.c_str());
    argv.push_back(nullptr);
    pos = ZAVL_Locate(data_->get(), names.c_str(), argv.data());
    if (pos == -1) {
      const int32_t code = ZAVL_GetLastError();
      // No record reads as asked: nothing to show.
      if (code == ZAVL_ERR_CREATE || code == kEndOfData || code == 4) {
        if (started) started();
        return true;
      }
      *error = {code, "looking for " + names};
      return false;
    }
    const std::vector<Cell> found = Cells();
    for (size_t i : where_columns) wanted.push_back(found[i]);
  }
  if (where_columns.empty() || ranged) {
    if (!SetRange(options, error)) return false;
    pos = ZAVL_GetFirst(data_->get());
  }
  if (started) started();

  int64_t shown = 0;
  while (pos != -1 && (options.limit < 0 || shown < options.limit)) {
    const std::vector<Cell> cells = Cells();
    bool selected = true;
    for (size_t i = 0; i < where_columns.size() && selected; ++i) {
      selected = SameValue(cells[where_columns[i]], wanted[i]);
    }
    if (selected) {
      ++shown;
      if (!take(cells)) return true;
    }
    if (options.limit >= 0 && shown >= options.limit) return true;
    pos = ZAVL_GetNext(data_->get());
  }
  const int32_t code = ZAVL_GetLastError();
  if (pos == -1 && code != kEndOfData && code != ZAVL_OK) {
    *error = {code, "reading the records"};
    return false;
  }
  return true;
}

}  // namespace tavelnor::tool
