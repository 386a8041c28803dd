// Key values: one typed value per key segment, read from and written into a
// record, set to their type's limits, filled from and laid out into the flat
// key bytes that Btrieve calls take, and ordered segment by segment.
//
// Each segment value holds its own bytes in a typed buffer made by the buffer
// factory for the segment's type and size; it reads and writes the record at
// its offset only when asked, so a value never points into a record buffer
// that may move or go away. Case-insensitive text types are held in their
// base type's buffer and compared without regard to case.
//
// A value made for a whole field of a table answers its limits through that
// field's dictionary variable: the dictionary must outlive the value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "data/field_infos.h"
#include "foundation/chaine.h"
#include "record/er_buffer.h"

namespace tavelnor::dico {
class DRubricTable;
}

namespace tavelnor::data {

struct EKeyDesc;

class ESegmentValue {
 public:
  // What a value without a typed buffer answers as type.
  static constexpr uint16_t kNoBufferType = 65534;
  static constexpr uint16_t kUnboundType = 65535;

  // The unbound value "NonInitialis": no buffer, offset 0, shared default handler.
  ESegmentValue();
  // A value of `type` and `size` bytes at record `offset`; a null handler
  // takes the shared default.
  ESegmentValue(Chaine name, uint16_t type, uint16_t size, int32_t offset, bool descending,
                EFInfosHolder handler);
  ESegmentValue(const ESegmentValue& other);
  ESegmentValue& operator=(const ESegmentValue& other);
  ESegmentValue(ESegmentValue&&) noexcept = default;
  ESegmentValue& operator=(ESegmentValue&&) noexcept = default;
  ~ESegmentValue() = default;

  const Chaine& Name() const { return name_; }
  uint16_t Type() const { return buffer_ ? type_ : kNoBufferType; }
  uint16_t Size() const { return buffer_ ? size_ : 0; }
  int32_t Offset() const { return offset_; }
  bool Descending() const { return descending_; }
  const EFInfosHolder& Handler() const { return handler_; }
  const record::ErBuffer* Buffer() const { return buffer_.get(); }
  // The value's bytes (null without a buffer).
  const uint8_t* Bytes() const { return buffer_ ? buffer_->Data() : nullptr; }

  void SetMin();
  void SetMax();
  // Reads or writes Size() bytes at the offset; false (nothing done) when
  // the segment does not lie wholly inside the `length` bytes of the record.
  bool ReadFromRecord(const uint8_t* record, size_t length);
  bool WriteToRecord(uint8_t* record, size_t length) const;
  // Copies min(n, Size()) bytes to the start of the value and answers the
  // count; the value's later bytes are kept.
  size_t CopyIn(const uint8_t* bytes, size_t n);
  // Copies min(room, Size()) bytes out and answers the count.
  size_t CopyOut(uint8_t* dest, size_t room) const;
  // <0, 0, >0 by the type's ordering, reversed for a descending segment.
  // Values without buffers order before those with one.
  int Compare(const ESegmentValue& other) const;

 private:
  void MakeBuffer();
  // The bytes the value holds: its size, within what the buffer has.
  size_t Width() const;

  Chaine name_;
  uint16_t type_ = kUnboundType;
  uint16_t size_ = 0;
  int32_t offset_ = 0;
  bool descending_ = false;
  bool no_case_ = false;
  EFInfosHolder handler_;
  std::unique_ptr<record::ErBuffer> buffer_;
};

class EKeyValue {
 public:
  EKeyValue() = default;
  // One value per segment of `desc`, its offset resolved against `table`
  // (which may be null); whole-field segments answer through their field.
  static EKeyValue FromDesc(const EKeyDesc& desc, const dico::DRubricTable* table);

  void Add(ESegmentValue value) { segments_.push_back(std::move(value)); }
  size_t SegmentCount() const { return segments_.size(); }
  bool IsEmpty() const { return segments_.empty(); }
  const ESegmentValue& Segment(size_t i) const { return segments_[i]; }
  ESegmentValue& Segment(size_t i) { return segments_[i]; }
  // The sum of the segment sizes.
  size_t TotalLength() const;

  // The key's smallest and largest values in key order (a descending
  // segment takes its type's maximum for the smallest key, and the reverse).
  void SetMin();
  void SetMax();
  void ReadFromRecord(const uint8_t* record, size_t length);
  void WriteToRecord(uint8_t* record, size_t length) const;
  // Spreads `n` bytes over the segments in order, each taking its own length,
  // until they are used up; answers the bytes taken.
  size_t SpreadBytes(const uint8_t* bytes, size_t n);
  // Lays the segments end to end into `dest`, stopping at `room`; answers
  // the bytes written.
  size_t PackBytes(uint8_t* dest, size_t room) const;
  // Segment by segment, the first unequal one deciding; nullopt when the
  // segment counts differ.
  std::optional<int> Compare(const EKeyValue& other) const;

 private:
  std::vector<ESegmentValue> segments_;
};

}  // namespace tavelnor::data
