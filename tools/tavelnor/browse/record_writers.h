// The output forms of the browsing commands: an aligned table for a person
// at a terminal, CSV and JSON Lines for programs.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "browse/exchange_values.h"

namespace tavelnor::tool {

// Rows of text shown as an aligned table (a header, a rule, padded columns)
// or, plain, as tab-separated lines without header.
class TextTable {
 public:
  explicit TextTable(std::vector<std::string> headers, std::vector<bool> right_aligned = {});
  void AddRow(std::vector<std::string> cells);
  void Print(std::ostream& out, bool aligned) const;
  size_t RowCount() const { return rows_.size(); }

 private:
  std::vector<std::string> headers_;
  std::vector<bool> right_;
  std::vector<std::vector<std::string>> rows_;
};

enum class OutputFormat { kTable, kCsv, kJsonl };

// Parses "table", "csv" or "jsonl".
bool ParseOutputFormat(const std::string& text, OutputFormat* out);

class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  virtual void Row(const std::vector<Cell>& cells) = 0;
  // Flushes what the writer holds back (the aligned table prints here).
  virtual void Finish() {}
};

// The widest a cell of the aligned table gets; longer values are cut.
inline constexpr size_t kTableCellWidth = 40;

// A writer of `format` for records of `layout` on `out`. CSV starts with a
// header line of the field names.
std::unique_ptr<RecordWriter> MakeRecordWriter(OutputFormat format,
                                               const std::vector<Column>& layout,
                                               std::ostream& out);

// One cell as JSON: numbers, true/false, strings, null for an empty value,
// {"size":N} for a blob.
std::string JsonValue(const Cell& cell);

}  // namespace tavelnor::tool
