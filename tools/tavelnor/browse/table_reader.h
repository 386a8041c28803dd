// A table read record by record and decoded from its stored bytes.
//
// The library hands the records over in their own layout (a schema opened
// without the exchange layout); the fields are decoded with the table's
// model from the dictionary, so that every byte of every value comes out.
// Records are walked in physical order or along a key within optional
// bounds, and may be selected by field values: the selection uses a key
// whose leading segments are the fields asked for, and checks every record
// it hands out.
//
// The data file is opened only when it exists: the library would create a
// missing one, and the tool never writes into the data folder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browse/key_bounds.h"
#include "browse/record_decoder.h"
#include "browse/schema_lists.h"
#include "browse/table_model.h"
#include "btrieve/data_file.h"

namespace tavelnor::tool {

struct WalkOptions {
  std::optional<int32_t> key;  // -1: physical order
  KeyBounds bounds;            // on `key` (key 0 when none is given)
  std::vector<std::pair<std::string, std::string>> where;  // field name, text value (UTF-8)
  int64_t limit = -1;          // -1: every record
};

// What went wrong: the library's code and a detail for the message. Code 0
// marks a failure outside the library: a mistake in the request itself (an
// unknown field name, a value that does not read) when `usage` is set,
// else a problem of the data (a missing data file).
struct WalkError {
  int32_t code = 0;
  std::string detail;
  bool usage = false;
};

// Where the data files are: the dictionary's folders unless a folder or a
// file per table is given.
struct DataLocation {
  std::string folder;                                      // --data
  std::vector<std::pair<std::string, std::string>> files;  // --file TABLE=PATH
};

// The data file of `table` under `location`.
std::string DataFilePath(const TableModel& table, const DataLocation& location);
// Why the file at `path` cannot be read ("" when it can).
std::string DataFileProblem(const std::string& path);

class TableReader {
 public:
  // Opens `table` of a schema opened without the exchange layout, from the
  // data file at `path`. False (nothing created) when the file is missing
  // or the library refuses it.
  bool Open(const Schema& schema, const TableModel& table, const std::string& path,
            WalkError* error);

  const TableModel& Table() const { return *table_; }
  const std::string& Path() const { return path_; }
  // The library's record count (within no range); -1 when it cannot tell.
  int64_t RecordCount() const;

  // Hands the values of every selected record to `take`, stopping early
  // when it returns false; `started` (when given) is called once the
  // selection is set up, before the first record. False with the error when
  // the selection is wrong or a call of the library fails.
  bool Walk(const WalkOptions& options,
            const std::function<bool(const std::vector<FieldValue>&)>& take, WalkError* error,
            const std::function<void()>& started = {});

  // One line per DDF column some of whose values, in the records walked so
  // far, its type could not read and that went out as their bytes.
  std::vector<std::string> UnreadValues() const;

 private:
  struct Condition {
    const FieldModel* field = nullptr;
    FieldValue wanted;
    std::string stored;  // the value's stored bytes (texts without padding)
    bool no_case = false;
  };
  bool Select(const WalkOptions& options, std::vector<Condition>* conditions,
              WalkOptions* effective, WalkError* error) const;
  bool SetRange(const WalkOptions& options, WalkError* error);

  const TableModel* table_ = nullptr;
  std::string path_;
  std::unique_ptr<DataHandle> data_;
  std::vector<FieldValue> values_;
  std::vector<std::pair<size_t, int64_t>> unread_;  // DDF column, values given as bytes
  // For a table with columns in the variable part: the data file opened
  // apart, whose records are read whole at the positions the walk gives.
  std::unique_ptr<btrieve::DataFile> whole_;
  std::vector<uint8_t> record_;
};

}  // namespace tavelnor::tool
