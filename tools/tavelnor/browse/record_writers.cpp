// Aligned tables, CSV and JSON Lines.
#include "browse/record_writers.h"

#include <algorithm>
#include <cmath>
#include <ostream>

#include "browse/text_codec.h"

namespace tavelnor::tool {
namespace {

bool IsNumeric(const Cell& c) { return c.kind == CellKind::kInteger || c.kind == CellKind::kReal; }

// Holds the rows back: the column widths are known only at the end.
class TableWriter : public RecordWriter {
 public:
  TableWriter(const std::vector<Column>& layout, std::ostream& out)
      : out_(out), right_(layout.size(), false) {
    for (const Column& c : layout) headers_.push_back(c.name);
  }
  void Row(const std::vector<Cell>& cells) override {
    std::vector<std::string> texts;
    for (size_t i = 0; i < cells.size(); ++i) {
      texts.push_back(Utf8Cut(EscapeControls(cells[i].text), kTableCellWidth));
      if (i < right_.size() && IsNumeric(cells[i])) right_[i] = true;
    }
    rows_.push_back(std::move(texts));
  }
  void Finish() override {
    TextTable table(headers_, right_);
    for (auto& r : rows_) table.AddRow(std::move(r));
    rows_.clear();
    table.Print(out_, true);
  }

 private:
  std::ostream& out_;
  std::vector<std::string> headers_;
  std::vector<bool> right_;
  std::vector<std::vector<std::string>> rows_;
};

class CsvWriter : public RecordWriter {
 public:
  CsvWriter(const std::vector<Column>& layout, std::ostream& out) : out_(out) {
    for (size_t i = 0; i < layout.size(); ++i) {
      out_ << (i ? "," : "") << CsvField(layout[i].name);
    }
    out_ << "\r\n";
  }
  void Row(const std::vector<Cell>& cells) override {
    for (size_t i = 0; i < cells.size(); ++i) out_ << (i ? "," : "") << CsvField(cells[i].text);
    out_ << "\r\n";
  }

 private:
  std::ostream& out_;
};

class JsonlWriter : public RecordWriter {
 public:
  JsonlWriter(const std::vector<Column>& layout, std::ostream& out) : out_(out) {
    for (const Column& c : layout) keys_.push_back(JsonString(c.name));
  }
  void Row(const std::vector<Cell>& cells) override {
    out_ << "{";
    for (size_t i = 0; i < cells.size() && i < keys_.size(); ++i) {
      out_ << (i ? "," : "") << keys_[i] << ":" << JsonValue(cells[i]);
    }
    out_ << "}\n";
  }

 private:
  std::ostream& out_;
  std::vector<std::string> keys_;
};

}  // namespace

TextTable::TextTable(std::vector<std::string> headers, std::vector<bool> right_aligned)
    : headers_(std::move(headers)), right_(std::move(right_aligned)) {
  right_.resize(headers_.size(), false);
}

void TextTable::AddRow(std::vector<std::string> cells) {
  cells.resize(headers_.size());
  rows_.push_back(std::move(cells));
}

void TextTable::Print(std::ostream& out, bool aligned) const {
  if (!aligned) {
    for (const auto& row : rows_) {
      for (size_t i = 0; i < row.size(); ++i) out << (i ? "\t" : "") << EscapeControls(row[i]);
      out << "\n";
    }
    return;
  }
  std::vector<size_t> width(headers_.size());
  for (size_t i = 0; i < headers_.size(); ++i) width[i] = Utf8Width(headers_[i]);
  for (const auto& row : rows_) {
    for (size_t i = 0; i < row.size(); ++i) width[i] = std::max(width[i], Utf8Width(row[i]));
  }
  auto line = [&](const std::vector<std::string>& cells) {
    std::string text;
    for (size_t i = 0; i < cells.size(); ++i) {
      const std::string pad(width[i] - Utf8Width(cells[i]), ' ');
      if (i) text += "  ";
      text += right_[i] ? pad + cells[i] : cells[i] + pad;
    }
    while (!text.empty() && text.back() == ' ') text.pop_back();
    out << text << "\n";
  };
  line(headers_);
  std::vector<std::string> rule;
  for (size_t w : width) rule.push_back(std::string(w, '-'));
  line(rule);
  for (const auto& row : rows_) line(row);
}

bool ParseOutputFormat(const std::string& text, OutputFormat* out) {
  if (text == "table") {
    *out = OutputFormat::kTable;
  } else if (text == "csv") {
    *out = OutputFormat::kCsv;
  } else if (text == "jsonl") {
    *out = OutputFormat::kJsonl;
  } else {
    return false;
  }
  return true;
}

std::unique_ptr<RecordWriter> MakeRecordWriter(OutputFormat format,
                                               const std::vector<Column>& layout,
                                               std::ostream& out) {
  switch (format) {
    case OutputFormat::kTable: return std::make_unique<TableWriter>(layout, out);
    case OutputFormat::kCsv: return std::make_unique<CsvWriter>(layout, out);
    case OutputFormat::kJsonl: return std::make_unique<JsonlWriter>(layout, out);
  }
  return nullptr;
}

std::string JsonValue(const Cell& cell) {
  switch (cell.kind) {
    case CellKind::kEmpty: return "null";
    case CellKind::kInteger: return std::to_string(cell.integer);
    case CellKind::kReal: return std::isfinite(cell.real) ? cell.text : "null";
    case CellKind::kBool: return cell.integer ? "true" : "false";
    case CellKind::kBlock: return "{\"size\":" + std::to_string(cell.integer) + "}";
    case CellKind::kText:
    case CellKind::kDate:
    case CellKind::kTime:
    case CellKind::kDateTime: return JsonString(cell.text);
  }
  return "null";
}

}  // namespace tavelnor::tool
