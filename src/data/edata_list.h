// EDataList: what the three dictionary lists (tables, fields, categories)
// share — rows numbered from 1, navigation by row number, and each row
// written as a fixed-layout record into the record buffer.
//
// Navigation: First is row 1, Next and Previous step by one from the current
// row, GoToRow (and GoTo) take the row asked, Last the row count. Loading a
// row sets status 9 first; a row between 1 and the row count gives status 0,
// a zeroed record buffer and the row's record in it. Any other row leaves no
// current row (position 0) and fails. Navigation answers the row number, or
// -1 when there is none. A list that has nothing to list refuses every move
// with status 3.
//
// Lists are read-only: the writing operations keep the base's refusal.
#pragma once

#include <cstdint>
#include <vector>

#include "data/edata.h"

namespace tavelnor::data {

class EDataList : public EData {
 public:
  int32_t First() override { return LoadRow(1); }
  int32_t Last() override;
  int32_t Next() override;
  int32_t Previous() override;
  int32_t GoToRow(int32_t n) override { return LoadRow(n); }
  int32_t GoTo(int32_t position, uint16_t lock_bias = 0) override;

  // Every row is visible: both counts are the row count.
  uint32_t RecordCount(bool force = false) override;
  uint32_t RawRecordCount(bool force = false) override;
  uint32_t RowCount() const { return row_count_; }

 protected:
  EDataList();

  // Writes row `row` (from 1, within the row count) into `out`, which holds
  // WantedRecordLength() zero bytes.
  virtual void WriteRow(uint32_t row, uint8_t* out) = 0;
  // False when the list has nothing to list: every move is refused.
  virtual bool Navigable() const { return true; }

  void SetRowCount(uint32_t count);

 private:
  int32_t LoadRow(int64_t row);

  uint32_t row_count_ = 0;
  std::vector<uint8_t> scratch_;
};

// Copies at most `limit` bytes of `text` to `dest` (no terminator added):
// the text fields of the list records.
void CopyText(uint8_t* dest, const char* text, size_t limit);

}  // namespace tavelnor::data
