// Composite fields: ordered lists of fields (segments).
//
// ErFieldComposite keeps clones of the fields it is given and their total
// length. ErFieldCompositeLocal lays its segments end to end in one
// contiguous area (its own, or one it is lent such as a table's key buffer):
// segment i views area + the sizes of segments 0 to i - 1. ErFieldSubRecord
// accepts only fields of one record. Filling a composite from a dictionary
// object (a key, a link, a structure) is the dictionary's business; it asks
// AcceptRecord before it adds anything.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "record/er_field.h"

namespace tavelnor::record {

class ErFieldComposite {
 public:
  ErFieldComposite() = default;
  ErFieldComposite(const ErFieldComposite&) = delete;
  ErFieldComposite& operator=(const ErFieldComposite&) = delete;
  virtual ~ErFieldComposite();

  // Deletes every segment; the total length becomes 0.
  virtual void Clear();
  // The other's total length, then a clone of each of its segments.
  virtual void CopyFrom(const ErFieldComposite& other);
  virtual std::unique_ptr<ErFieldComposite> Clone() const;
  // Appends a copy of `field`; false when the composite refuses it.
  virtual bool AddSegment(const ErField& field);
  // Deletes the first segment named `name`; false when there is none.
  virtual bool RemoveSegment(std::string_view name);
  // Whether fields of `record` may join (and, for the first, binds the
  // composite to it). Plain composites take any record.
  virtual bool AcceptRecord(const void* record) { (void)record; return true; }

  size_t SegmentCount() const { return segments_.size(); }
  ErField* Segment(size_t i) const { return i < segments_.size() ? segments_[i].get() : nullptr; }
  uint32_t TotalLength() const { return total_length_; }
  // The field that stands for the composite as a whole (kept empty).
  ErField& Whole() { return whole_; }

 protected:
  // Removes segment i and its size from the total.
  void EraseSegment(size_t i);

  std::vector<std::unique_ptr<ErField>> segments_;
  ErField whole_;
  uint32_t total_length_ = 0;
};

class ErFieldCompositeLocal : public ErFieldComposite {
 public:
  ErFieldCompositeLocal() = default;
  ~ErFieldCompositeLocal() override;

  // Releases the area first.
  void Clear() override;
  void CopyFrom(const ErFieldComposite& other) override;
  std::unique_ptr<ErFieldComposite> Clone() const override;
  // Appends the field's segment copy; an owned area grows to hold it, a lent
  // one is only re-aimed.
  bool AddSegment(const ErField& field) override;
  bool RemoveSegment(std::string_view name) override;

  // Lends the composite an area (not owned); segments are re-aimed into it.
  // A null area leaves the segments aimed at nothing.
  void SetArea(uint8_t* area);
  uint8_t* Area() const { return area_; }
  bool OwnsArea() const { return owns_area_; }

 protected:
  // An owned area of `n` bytes keeping the old content, the rest zero.
  void GrowOwnedArea(uint32_t n);
  // Aims segment i at area + the sizes of the segments before it.
  void Reaim();
  // Clears every segment, then frees an owned area.
  void ReleaseArea();

 private:
  uint8_t* area_ = nullptr;
  bool owns_area_ = false;
};

class ErFieldSubRecord : public ErFieldComposite {
 public:
  ErFieldSubRecord() = default;

  void Clear() override;
  void CopyFrom(const ErFieldComposite& other) override;
  std::unique_ptr<ErFieldComposite> Clone() const override;
  // Only fields of a record, and only of the composite's record once it
  // has one.
  bool AddSegment(const ErField& field) override;
  bool AcceptRecord(const void* record) override;
  const void* Record() const { return record_; }

 private:
  const void* record_ = nullptr;
};

}  // namespace tavelnor::record
