// Composite fields: segment lists, the contiguous area of local composites
// and the one-record rule of sub-records.
#include "record/er_field_composite.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace tavelnor::record {

namespace {

uint32_t SizeOf(const ErField& field) {
  int32_t size = field.Buffer().Size();
  return size > 0 ? static_cast<uint32_t>(size) : 0;
}

}  // namespace

// --- ErFieldComposite -------------------------------------------------------------

ErFieldComposite::~ErFieldComposite() = default;

void ErFieldComposite::Clear() {
  segments_.clear();
  total_length_ = 0;
}

void ErFieldComposite::CopyFrom(const ErFieldComposite& other) {
  total_length_ = other.total_length_;
  for (const auto& segment : other.segments_) segments_.push_back(segment->Clone());
}

std::unique_ptr<ErFieldComposite> ErFieldComposite::Clone() const {
  auto copy = std::make_unique<ErFieldComposite>();
  copy->CopyFrom(*this);
  return copy;
}

bool ErFieldComposite::AddSegment(const ErField& field) {
  segments_.push_back(field.Clone());
  total_length_ += SizeOf(field);
  return true;
}

bool ErFieldComposite::RemoveSegment(std::string_view name) {
  for (size_t i = 0; i < segments_.size(); ++i) {
    if (segments_[i]->GetName().view() == name) {
      EraseSegment(i);
      return true;
    }
  }
  return false;
}

void ErFieldComposite::EraseSegment(size_t i) {
  uint32_t size = SizeOf(*segments_[i]);
  total_length_ = total_length_ >= size ? total_length_ - size : 0;
  segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(i));
}

// --- ErFieldCompositeLocal ----------------------------------------------------------

ErFieldCompositeLocal::~ErFieldCompositeLocal() { ReleaseArea(); }

void ErFieldCompositeLocal::Clear() {
  ReleaseArea();
  ErFieldComposite::Clear();
  Reaim();
}

void ErFieldCompositeLocal::CopyFrom(const ErFieldComposite& other) {
  Clear();
  for (size_t i = 0; i < other.SegmentCount(); ++i) AddSegment(*other.Segment(i));
  // The copy holds the same values in its own bytes.
  for (size_t i = 0; i < SegmentCount(); ++i) {
    const ErBuffer& from = other.Segment(i)->Buffer();
    segments_[i]->GetBuffer()->SetFromBuffer(from);
  }
}

std::unique_ptr<ErFieldComposite> ErFieldCompositeLocal::Clone() const {
  auto copy = std::make_unique<ErFieldCompositeLocal>();
  copy->CopyFrom(*this);
  return copy;
}

// A composite without an area of its own makes one; one lent an area stays
// in it.
bool ErFieldCompositeLocal::AddSegment(const ErField& field) {
  uint32_t size = SizeOf(field);
  segments_.push_back(field.CloneSegment());
  if (area_ != nullptr && !owns_area_) {
    total_length_ += size;
    Reaim();
  } else {
    GrowOwnedArea(total_length_ + size);
  }
  return true;
}

bool ErFieldCompositeLocal::RemoveSegment(std::string_view name) {
  size_t found = segments_.size();
  for (size_t i = 0; i < segments_.size(); ++i) {
    if (segments_[i]->GetName().view() == name) {
      found = i;
      break;
    }
  }
  if (found == segments_.size()) return false;
  if (!owns_area_) {
    EraseSegment(found);
    Reaim();
    return true;
  }
  // The remaining segments keep their bytes in a new area of the new total.
  segments_[found]->Clear();
  EraseSegment(found);
  auto* fresh = static_cast<uint8_t*>(std::calloc(total_length_ > 0 ? total_length_ : 1, 1));
  if (fresh == nullptr) return true;  // the old area stays, segments as they were laid
  uint32_t at = 0;
  for (auto& segment : segments_) {
    uint32_t size = SizeOf(*segment);
    if (segment->Data() != nullptr && size > 0) std::memcpy(fresh + at, segment->Data(), size);
    at += size;
  }
  std::free(area_);
  area_ = fresh;
  Reaim();
  return true;
}

void ErFieldCompositeLocal::SetArea(uint8_t* area) {
  ReleaseArea();
  area_ = area;
  owns_area_ = false;
  Reaim();
}

void ErFieldCompositeLocal::GrowOwnedArea(uint32_t n) {
  auto* fresh = static_cast<uint8_t*>(std::calloc(n > 0 ? n : 1, 1));
  if (fresh == nullptr) return;
  if (area_ != nullptr) std::memcpy(fresh, area_, std::min(total_length_, n));
  if (owns_area_) std::free(area_);
  area_ = fresh;
  owns_area_ = true;
  total_length_ = n;
  Reaim();
}

void ErFieldCompositeLocal::Reaim() {
  uint32_t at = 0;
  for (auto& segment : segments_) {
    segment->SetData(area_ != nullptr ? area_ + at : nullptr);
    at += SizeOf(*segment);
  }
}

void ErFieldCompositeLocal::ReleaseArea() {
  if (!owns_area_) return;
  for (auto& segment : segments_) segment->Clear();
  for (auto& segment : segments_) segment->SetData(nullptr);
  std::free(area_);
  area_ = nullptr;
  owns_area_ = false;
}

// --- ErFieldSubRecord -----------------------------------------------------------------

void ErFieldSubRecord::Clear() {
  ErFieldComposite::Clear();
  record_ = nullptr;
}

void ErFieldSubRecord::CopyFrom(const ErFieldComposite& other) {
  ErFieldComposite::CopyFrom(other);
  if (auto* sub = dynamic_cast<const ErFieldSubRecord*>(&other)) record_ = sub->record_;
}

std::unique_ptr<ErFieldComposite> ErFieldSubRecord::Clone() const {
  auto copy = std::make_unique<ErFieldSubRecord>();
  copy->CopyFrom(*this);
  return copy;
}

bool ErFieldSubRecord::AddSegment(const ErField& field) {
  if (!AcceptRecord(field.GetRecord())) return false;
  return ErFieldComposite::AddSegment(field);
}

bool ErFieldSubRecord::AcceptRecord(const void* record) {
  if (record == nullptr) return false;
  if (record_ != nullptr && record_ != record) return false;
  record_ = record;
  return true;
}

}  // namespace tavelnor::record
