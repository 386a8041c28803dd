// Aligned tables, CSV and JSON Lines.
#include "browse/record_writers.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "browse/text_codec.h"

namespace tavelnor::tool {
namespace {

namespace fs = std::filesystem;

// A value as text for CSV and the aligned table; false for a blob, which
// the caller writes by its mode.
bool PlainText(const FieldValue& v, DateMode dates, std::string* out) {
  switch (v.type) {
    case ValueType::kNull: return true;
    case ValueType::kBytes: AppendHex(v.bytes, out); return true;
    case ValueType::kBlob: return false;
    case ValueType::kDate:
    case ValueType::kTimestamp:
      if (dates == DateMode::kLocale) {
        *out += LocalText(v);
        return true;
      }
      *out += v.text;
      return true;
    default: *out += v.text; return true;
  }
}

// Blobs written one file per value.
class BlobFiles {
 public:
  BlobFiles(const TableModel& table, const WriteOptions& options)
      : table_(table), options_(options) {}

  // Writes value `column` of row `row`; false with `error` when it cannot.
  bool Write(size_t column, int64_t row, const FieldValue& v, std::string* relative,
             std::string* error) {
    const FieldModel& f = table_.fields[column];
    const fs::path folder = fs::u8path(options_.blob_folder) / fs::u8path(FileSafeName(f.name));
    std::error_code ec;
    fs::create_directories(folder, ec);
    char name[32];
    std::snprintf(name, sizeof name, "%08lld.%s", static_cast<long long>(row),
                  f.kind == StoredKind::kPicture ? "bmp" : "bin");
    const fs::path file = folder / name;
    std::ofstream out(file, std::ios::binary);
    out.write(v.bytes.data(), static_cast<std::streamsize>(v.bytes.size()));
    if (!out.flush()) {
      *error = "cannot write " + file.string();
      return false;
    }
    std::error_code rel_ec;
    const fs::path base = options_.blob_base.empty() ? fs::current_path(rel_ec)
                                                     : fs::u8path(options_.blob_base);
    *relative = file.lexically_proximate(base).generic_string();
    return true;
  }

 private:
  const TableModel& table_;
  const WriteOptions& options_;
};

// What every writer of whole values shares: the blob mode and the row count.
class ValueWriter : public RecordWriter {
 protected:
  ValueWriter(const TableModel& table, const WriteOptions& options, std::ostream& out)
      : table_(table), options_(options), out_(out), files_(table, options_) {}

  // A blob's cell text by the mode; false when nothing is to be written.
  bool BlobText(size_t column, const FieldValue& v, std::string* text) {
    switch (options_.blobs) {
      case BlobMode::kBase64: AppendBase64(v.bytes, text); return true;
      case BlobMode::kHex: AppendHex(v.bytes, text); return true;
      case BlobMode::kOmit: return false;
      case BlobMode::kFiles: {
        std::string relative, problem;
        if (!files_.Write(column, row_, v, &relative, &problem)) {
          if (error_.empty()) error_ = problem;
          return false;
        }
        *text += relative;
        return true;
      }
    }
    return false;
  }

  const TableModel& table_;
  WriteOptions options_;
  std::ostream& out_;
  BlobFiles files_;
  int64_t row_ = 0;
  std::string line_;
};

class CsvWriter : public ValueWriter {
 public:
  CsvWriter(const TableModel& table, const WriteOptions& options, std::ostream& out)
      : ValueWriter(table, options, out) {
    for (size_t i = 0; i < table.fields.size(); ++i) {
      if (i) line_ += ',';
      AppendCsvField(table.fields[i].name, &line_);
    }
    line_ += "\r\n";
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  }
  void Row(const std::vector<FieldValue>& values) override {
    ++row_;
    line_.clear();
    for (size_t i = 0; i < values.size(); ++i) {
      if (i) line_ += ',';
      cell_.clear();
      if (!PlainText(values[i], options_.dates, &cell_)) BlobText(i, values[i], &cell_);
      AppendCsvField(cell_, &line_);
    }
    line_ += "\r\n";
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  }

 private:
  std::string cell_;
};

class JsonlWriter : public ValueWriter {
 public:
  JsonlWriter(const TableModel& table, const WriteOptions& options, std::ostream& out)
      : ValueWriter(table, options, out) {
    for (const FieldModel& f : table.fields) {
      std::string key;
      AppendJsonString(f.name, &key);
      keys_.push_back(key + ":");
    }
  }
  void Row(const std::vector<FieldValue>& values) override {
    ++row_;
    line_.clear();
    line_ += '{';
    for (size_t i = 0; i < values.size() && i < keys_.size(); ++i) {
      if (i) line_ += ',';
      line_ += keys_[i];
      const FieldValue& v = values[i];
      switch (v.type) {
        case ValueType::kNull: line_ += "null"; break;
        case ValueType::kInteger:
        case ValueType::kUnsigned:
        case ValueType::kReal:
        case ValueType::kDecimal:
        case ValueType::kBool: line_ += v.text; break;
        case ValueType::kBytes:
          cell_.clear();
          AppendHex(v.bytes, &cell_);
          AppendJsonString(cell_, &line_);
          break;
        case ValueType::kBlob:
          cell_.clear();
          if (BlobText(i, v, &cell_)) {
            AppendJsonString(cell_, &line_);
          } else {
            line_ += "null";
          }
          break;
        default:
          cell_.clear();
          PlainText(v, options_.dates, &cell_);
          AppendJsonString(cell_, &line_);
      }
    }
    line_ += "}\n";
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  }

 private:
  std::vector<std::string> keys_;
  std::string cell_;
};

// The room a field's values take in the aligned table.
size_t DeclaredWidth(const FieldModel& f) {
  switch (f.kind) {
    case StoredKind::kText: return f.size;
    case StoredKind::kSigned:
    case StoredKind::kUnsigned: return f.size <= 1 ? 4 : f.size == 2 ? 6 : f.size == 4 ? 11 : 20;
    case StoredKind::kReal: return 14;
    case StoredKind::kFixed: return (f.size == 4 ? 11 : 20) + 1;
    case StoredKind::kBool: return 5;
    case StoredKind::kDate: return 10;
    case StoredKind::kTime: return 11;
    case StoredKind::kTimestamp: return 19;
    case StoredKind::kGuid: return 36;
    case StoredKind::kBytes: return 2 * f.size;
    case StoredKind::kBlob:
    case StoredKind::kPicture: return 14;
    default: return kTableCellWidth;
  }
}

bool RightAligned(const FieldModel& f) {
  return f.kind == StoredKind::kSigned || f.kind == StoredKind::kUnsigned ||
         f.kind == StoredKind::kReal || f.kind == StoredKind::kFixed;
}

class TableWriter : public RecordWriter {
 public:
  TableWriter(const TableModel& table, std::ostream& out) : out_(out) {
    for (const FieldModel& f : table.fields) {
      widths_.push_back(std::clamp(DeclaredWidth(f), Utf8Width(f.name), kTableCellWidth));
      right_.push_back(RightAligned(f));
    }
    std::vector<std::string> header, rule;
    for (size_t i = 0; i < table.fields.size(); ++i) {
      header.push_back(Utf8Cut(table.fields[i].name, widths_[i]));
      rule.emplace_back(widths_[i], '-');
    }
    Line(header);
    Line(rule);
    out_.flush();
  }
  void Row(const std::vector<FieldValue>& values) override {
    cells_.resize(values.size());
    for (size_t i = 0; i < values.size(); ++i) {
      std::string text;
      if (values[i].type == ValueType::kBlob) {
        text = "<" + std::to_string(values[i].bytes.size()) + " bytes>";
      } else {
        PlainText(values[i], DateMode::kLocale, &text);
      }
      cells_[i] = Utf8Cut(EscapeControls(text), i < widths_.size() ? widths_[i] : kTableCellWidth);
    }
    Line(cells_);
    // The first screenful shows at once; then the stream's buffer takes over.
    if (++rows_ <= 100) out_.flush();
  }
  void Finish() override { out_.flush(); }

 private:
  void Line(const std::vector<std::string>& cells) {
    line_.clear();
    for (size_t i = 0; i < cells.size(); ++i) {
      const size_t width = i < widths_.size() ? widths_[i] : 0;
      const size_t have = Utf8Width(cells[i]);
      const std::string pad(width > have ? width - have : 0, ' ');
      if (i) line_ += "  ";
      line_ += right_[i] ? pad + cells[i] : cells[i] + pad;
    }
    while (!line_.empty() && line_.back() == ' ') line_.pop_back();
    line_ += '\n';
    out_.write(line_.data(), static_cast<std::streamsize>(line_.size()));
  }

  std::ostream& out_;
  std::vector<size_t> widths_;
  std::vector<bool> right_;
  std::vector<std::string> cells_;
  std::string line_;
  int64_t rows_ = 0;
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

bool ParseBlobMode(const std::string& text, BlobMode* out) {
  if (text == "base64") {
    *out = BlobMode::kBase64;
  } else if (text == "hex") {
    *out = BlobMode::kHex;
  } else if (text == "omit") {
    *out = BlobMode::kOmit;
  } else if (text == "files") {
    *out = BlobMode::kFiles;
  } else {
    return false;
  }
  return true;
}

bool ParseDateMode(const std::string& text, DateMode* out) {
  if (text == "iso") {
    *out = DateMode::kIso;
  } else if (text == "locale") {
    *out = DateMode::kLocale;
  } else {
    return false;
  }
  return true;
}

std::unique_ptr<RecordWriter> MakeRecordWriter(OutputFormat format, const TableModel& table,
                                               const WriteOptions& options, std::ostream& out) {
  switch (format) {
    case OutputFormat::kTable: return std::make_unique<TableWriter>(table, out);
    case OutputFormat::kCsv: return std::make_unique<CsvWriter>(table, options, out);
    case OutputFormat::kJsonl: return std::make_unique<JsonlWriter>(table, options, out);
  }
  return nullptr;
}

}  // namespace tavelnor::tool
