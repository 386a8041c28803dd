// Row-number navigation shared by the dictionary lists.
#include "data/edata_list.h"

#include <algorithm>
#include <cstring>

#include "btrieve/btrieve_codes.h"

namespace tavelnor::data {

EDataList::EDataList() { position_ = 0; }

void EDataList::SetRowCount(uint32_t count) {
  row_count_ = std::min<uint32_t>(count, INT32_MAX);
  raw_count_ = visible_count_ = row_count_;
  state_ |= kStateRawCached | kStateVisibleCached;
}

int32_t EDataList::Last() { return LoadRow(row_count_); }
int32_t EDataList::Next() { return LoadRow(int64_t{position_} + 1); }
int32_t EDataList::Previous() { return LoadRow(int64_t{position_} - 1); }

int32_t EDataList::GoTo(int32_t position, uint16_t lock_bias) {
  (void)lock_bias;
  return LoadRow(position);
}

uint32_t EDataList::RecordCount(bool force) {
  (void)force;
  return row_count_;
}

uint32_t EDataList::RawRecordCount(bool force) {
  (void)force;
  return row_count_;
}

int32_t EDataList::LoadRow(int64_t row) {
  if (!Navigable()) {
    status_ = btrieve::kFileNotOpen;
    return -1;
  }
  status_ = btrieve::kEndOfFile;
  if (row < 1 || row > row_count_) {
    position_ = 0;
    return -1;
  }
  position_ = static_cast<int32_t>(row);
  status_ = 0;
  // The row is built whole, then copied: an attached record buffer may be
  // shorter than the row's record.
  scratch_.assign(WantedRecordLength(), 0);
  WriteRow(static_cast<uint32_t>(row), scratch_.data());
  ClearRecord();
  std::memcpy(record_, scratch_.data(), std::min<size_t>(scratch_.size(), record_length_));
  return position_;
}

void CopyText(uint8_t* dest, const char* text, size_t limit) {
  if (text == nullptr) return;
  std::memcpy(dest, text, strnlen(text, limit));
}

}  // namespace tavelnor::data
