// The output forms of the browsing commands: an aligned table for a person
// at a terminal, CSV and JSON Lines for programs.
//
// CSV and JSON Lines keep every value whole: texts all their characters,
// amounts their exact decimal text, dates, times and time stamps in ISO
// 8601 (or the local day/month/year form when asked), booleans as
// true/false, byte fields as hexadecimal digits, and blobs as base64, as
// hexadecimal digits, left out, or written to files of their own. The
// aligned table streams: it prints each row as it comes, in columns as wide
// as the fields' declared sizes (a longer value is cut and ends with "…").
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "browse/record_decoder.h"
#include "browse/table_model.h"

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
enum class BlobMode { kBase64, kHex, kOmit, kFiles };
enum class DateMode { kIso, kLocale };

// Parse "table", "csv" or "jsonl"; "base64", "hex", "omit" or "files";
// "iso" or "locale".
bool ParseOutputFormat(const std::string& text, OutputFormat* out);
bool ParseBlobMode(const std::string& text, BlobMode* out);
bool ParseDateMode(const std::string& text, DateMode* out);

struct WriteOptions {
  BlobMode blobs = BlobMode::kBase64;
  DateMode dates = DateMode::kIso;
  // kFiles: blobs go to `blob_folder`/<column>/<row number>.<bmp|bin>, and
  // the cell holds that path relative to `blob_base` (both UTF-8).
  std::string blob_folder;
  std::string blob_base;
};

class RecordWriter {
 public:
  virtual ~RecordWriter() = default;
  virtual void Row(const std::vector<FieldValue>& values) = 0;
  // Flushes what the writer holds back.
  virtual void Finish() {}
  // Why a write failed (a blob file that could not be written), "" if none.
  const std::string& Error() const { return error_; }

 protected:
  std::string error_;
};

// The widest a column of the aligned table gets; longer values are cut.
inline constexpr size_t kTableCellWidth = 40;

// A writer of `format` for the records of `table` on `out`. CSV starts with
// a header line of the column names.
std::unique_ptr<RecordWriter> MakeRecordWriter(OutputFormat format, const TableModel& table,
                                               const WriteOptions& options, std::ostream& out);

}  // namespace tavelnor::tool
