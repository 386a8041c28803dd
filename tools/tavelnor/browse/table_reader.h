// A table read record by record through the library's exchange layout.
//
// The layout comes from the table's field list opened in exchange mode; the
// reader hands the library a buffer of that size (ZAVL_SetBuffer), so that
// no slot is read past what it holds. Records are walked in physical order,
// or along a key within optional bounds, and may be selected by field values:
// ZAVL_Locate finds the first record whose fields read as the given texts,
// then the walk keeps the records whose values equal that record's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "browse/exchange_values.h"
#include "browse/key_bounds.h"
#include "browse/schema_lists.h"

namespace tavelnor::tool {

struct WalkOptions {
  std::optional<int32_t> key;  // -1: physical order
  KeyBounds bounds;            // on `key` (key 0 when none is given)
  std::vector<std::pair<std::string, std::string>> where;  // field name, text value (UTF-8)
  int64_t limit = -1;          // -1: every record
};

// What went wrong: the library's code and a detail for the message. Code 0
// marks a mistake in the request itself (an unknown field name...).
struct WalkError {
  int32_t code = 0;
  std::string detail;
};

class TableReader {
 public:
  // Opens `table` (a UTF-8 name) of a schema opened with SCHEMA_EXCHANGE.
  bool Open(const Schema& schema, const std::string& table, WalkError* error);

  const std::vector<Column>& Layout() const { return layout_; }
  // The library's record count (within no range).
  int32_t RecordCount() const;
  // False when the table list gave an exchange length other than the one
  // the field list adds up to (the reader still works within its buffer).
  bool LayoutConsistent() const { return consistent_; }

  // Hands the cells of every selected record to `take`, stopping early when
  // it returns false; `started` (when given) is called once the selection is
  // set up, before the first record. False with the error when a call of the
  // library fails.
  bool Walk(const WalkOptions& options, const std::function<bool(const std::vector<Cell>&)>& take,
            WalkError* error, const std::function<void()>& started = {});

 private:
  std::vector<Cell> Cells() const;
  bool SetRange(const WalkOptions& options, WalkError* error);

  // The buffer outlives the handle, which clears it when it closes.
  std::vector<uint8_t> buffer_;
  std::vector<Column> layout_;
  std::unique_ptr<DataHandle> data_;
  bool consistent_ = true;
};

}  // namespace tavelnor::tool
