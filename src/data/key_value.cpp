// Segment values and key values.
#include "data/key_value.h"

#include <algorithm>
#include <cstring>

#include "data/key_desc.h"
#include "dico/dico_classes.h"
#include "record/buffer_kinds.h"
#include "record/type_codes.h"

namespace tavelnor::data {

namespace {

constexpr const char* kUnboundName = "NonInitialis";

bool IsTextBase(uint16_t base) {
  return base == 0 || base == 7 || base == 9 || base == 21 || base == 25;
}

int Sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// The shared default stays shared; a field's handler is cloned.
EFInfosHolder CopyHandler(const EFInfosHolder& h) {
  if (!h || h == EFInfosHandler::Default()) return EFInfosHandler::Default();
  return EFInfosHolder(h->Clone());
}

}  // namespace

ESegmentValue::ESegmentValue() : name_(kUnboundName), handler_(EFInfosHandler::Default()) {}

ESegmentValue::ESegmentValue(Chaine name, uint16_t type, uint16_t size, int32_t offset,
                             bool descending, EFInfosHolder handler)
    : name_(std::move(name)),
      type_(type),
      size_(size),
      offset_(offset),
      descending_(descending),
      handler_(handler ? std::move(handler) : EFInfosHandler::Default()) {
  MakeBuffer();
}

ESegmentValue::ESegmentValue(const ESegmentValue& other)
    : name_(other.name_),
      type_(other.type_),
      size_(other.size_),
      offset_(other.offset_),
      descending_(other.descending_),
      handler_(CopyHandler(other.handler_)) {
  if (other.buffer_) {
    MakeBuffer();
    const size_t n = std::min(Width(), other.Width());
    if (n > 0) std::memcpy(buffer_->Data(), other.buffer_->Data(), n);
  }
}

size_t ESegmentValue::Width() const {
  if (!buffer_ || buffer_->Data() == nullptr || buffer_->Size() <= 0) return 0;
  return std::min<size_t>(size_, static_cast<size_t>(buffer_->Size()));
}

ESegmentValue& ESegmentValue::operator=(const ESegmentValue& other) {
  if (this != &other) {
    ESegmentValue copy(other);
    *this = std::move(copy);
  }
  return *this;
}

void ESegmentValue::MakeBuffer() {
  bool upper = false;
  const uint16_t base = record::SplitStringTypeCode(type_, &no_case_, &upper);
  buffer_ = record::CreateBuffer(static_cast<int16_t>(base), size_, upper ? 1 : 0);
  buffer_->Allocate();
}

void ESegmentValue::SetMin() {
  if (buffer_) handler_->SetLimit(kLimitMin, *buffer_);
}

void ESegmentValue::SetMax() {
  if (buffer_) handler_->SetLimit(kLimitMax, *buffer_);
}

bool ESegmentValue::ReadFromRecord(const uint8_t* record, size_t length) {
  if (!buffer_ || record == nullptr || offset_ < 0) return false;
  const auto at = static_cast<size_t>(offset_);
  if (at > length || length - at < size_) return false;
  if (Width() > 0) std::memcpy(buffer_->Data(), record + at, Width());
  return true;
}

bool ESegmentValue::WriteToRecord(uint8_t* record, size_t length) const {
  if (!buffer_ || record == nullptr || offset_ < 0) return false;
  const auto at = static_cast<size_t>(offset_);
  if (at > length || length - at < size_) return false;
  if (Width() > 0) std::memcpy(record + at, buffer_->Data(), Width());
  return true;
}

size_t ESegmentValue::CopyIn(const uint8_t* bytes, size_t n) {
  if (!buffer_ || bytes == nullptr) return 0;
  const size_t take = std::min(n, Width());
  if (take > 0) std::memcpy(buffer_->Data(), bytes, take);
  return take;
}

size_t ESegmentValue::CopyOut(uint8_t* dest, size_t room) const {
  if (!buffer_ || dest == nullptr) return 0;
  const size_t put = std::min(room, Width());
  if (put > 0) std::memcpy(dest, buffer_->Data(), put);
  return put;
}

int ESegmentValue::Compare(const ESegmentValue& other) const {
  if (!buffer_ || !other.buffer_) return (buffer_ ? 1 : 0) - (other.buffer_ ? 1 : 0);
  const uint16_t base = record::SplitStringTypeCode(type_, nullptr, nullptr);
  int c = 0;
  if (no_case_) {
    c = buffer_->GetText().CompareNoCase(other.buffer_->GetText().view());
  } else if (IsTextBase(base) ||
             record::BufferKindForCode(static_cast<int16_t>(base)) != record::BufferKind::kRaw) {
    c = buffer_->IsLess(*other.buffer_) ? -1 : (buffer_->IsGreater(*other.buffer_) ? 1 : 0);
  } else {
    // Untyped bytes order as unsigned bytes, a shorter run first on a tie.
    const size_t n = std::min(Width(), other.Width());
    c = n == 0 ? 0 : std::memcmp(buffer_->Data(), other.buffer_->Data(), n);
    if (c == 0) c = static_cast<int>(Width()) - static_cast<int>(other.Width());
  }
  c = Sign(c);
  return descending_ ? -c : c;
}

// --- EKeyValue ----------------------------------------------------------------------------

EKeyValue EKeyValue::FromDesc(const EKeyDesc& desc, const dico::DRubricTable* table) {
  EKeyValue key;
  for (const ESegmentDesc& s : desc.segments) {
    EFInfosHolder handler;
    // A segment that is a whole field answers its limits through that field.
    if (table != nullptr && s.expression == s.field_name && !s.field_name.IsEmpty()) {
      if (const dico::DDicoBase* field = table->FindField(s.field_name.view())) {
        handler = std::make_shared<EFInfosHandlerDico>(*field, 0);
      }
    }
    const int32_t offset =
        table != nullptr ? ResolveSegOffset(s.expression.view(), table) : s.Offset();
    const Chaine& name = s.field_name.IsEmpty() ? s.expression : s.field_name;
    key.Add(ESegmentValue(name, s.Type(), s.Size(), offset, s.Descending(), std::move(handler)));
  }
  return key;
}

size_t EKeyValue::TotalLength() const {
  size_t n = 0;
  for (const ESegmentValue& s : segments_) n += s.Size();
  return n;
}

// The key's limits follow key order: a descending segment is smallest at
// its type's maximum.
void EKeyValue::SetMin() {
  for (ESegmentValue& s : segments_) s.Descending() ? s.SetMax() : s.SetMin();
}

void EKeyValue::SetMax() {
  for (ESegmentValue& s : segments_) s.Descending() ? s.SetMin() : s.SetMax();
}

void EKeyValue::ReadFromRecord(const uint8_t* record, size_t length) {
  for (ESegmentValue& s : segments_) s.ReadFromRecord(record, length);
}

void EKeyValue::WriteToRecord(uint8_t* record, size_t length) const {
  for (const ESegmentValue& s : segments_) s.WriteToRecord(record, length);
}

size_t EKeyValue::SpreadBytes(const uint8_t* bytes, size_t n) {
  size_t taken = 0;
  for (ESegmentValue& s : segments_) {
    if (taken >= n) break;
    taken += s.CopyIn(bytes + taken, n - taken);
  }
  return taken;
}

size_t EKeyValue::PackBytes(uint8_t* dest, size_t room) const {
  size_t put = 0;
  for (const ESegmentValue& s : segments_) {
    if (put >= room) break;
    put += s.CopyOut(dest + put, room - put);
  }
  return put;
}

std::optional<int> EKeyValue::Compare(const EKeyValue& other) const {
  if (segments_.size() != other.segments_.size()) return std::nullopt;
  for (size_t i = 0; i < segments_.size(); ++i) {
    const int c = segments_[i].Compare(other.segments_[i]);
    if (c != 0) return c;
  }
  return 0;
}

}  // namespace tavelnor::data
