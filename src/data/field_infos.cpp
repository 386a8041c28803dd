// Field information handlers over dictionary variables, and field accessors.
#include "data/field_infos.h"

#include <algorithm>
#include <cstring>

#include "data/formula_fields.h"
#include "dico/dico_classes.h"
#include "dico/field_model.h"
#include "dico/image_format.h"
#include "record/type_codes.h"

namespace tavelnor::data {

namespace fm = dico::field_model;

namespace {

constexpr uint32_t kMinimumBytes = 108;
constexpr uint32_t kMaximumBytes = 116;
constexpr uint32_t kSegmentNoCase = 0x400;

bool IsSegmentKind(int k) { return k == dico::kSegment || k == dico::kSegmentAttached; }
bool IsPartKind(int k) { return k >= dico::kSegment && k <= dico::kSubLinkAttached; }

// The declared limit's 8 bytes of a variable; null when it has none.
const uint8_t* DeclaredLimit(const dico::DDicoBase& v, int which) {
  if (!fm::IsValueVariable(v)) return nullptr;
  const uint8_t* bytes = v.Image() + (which == kLimitMin ? kMinimumBytes : kMaximumBytes);
  return std::any_of(bytes, bytes + 8, [](uint8_t b) { return b != 0; }) ? bytes : nullptr;
}

void CopyIntoValue(record::ErBuffer& value, const uint8_t* bytes, size_t n) {
  if (value.Data() == nullptr || value.Size() <= 0) return;
  std::memcpy(value.Data(), bytes, std::min(n, static_cast<size_t>(value.Size())));
}

}  // namespace

// --- EFInfosHandler -------------------------------------------------------------------

void EFInfosHandler::SetLimit(int which, record::ErBuffer& value) const {
  if (which == kLimitMin) value.SetMin();
  if (which == kLimitMax) value.SetMax();
}

std::unique_ptr<EFInfosHandler> EFInfosHandler::Clone() const {
  return std::make_unique<EFInfosHandler>();
}

std::shared_ptr<EFInfosHandler> EFInfosHandler::Default() {
  static const std::shared_ptr<EFInfosHandler> shared = std::make_shared<EFInfosHandler>();
  return shared;
}

// --- EFInfosHandlerDico ----------------------------------------------------------------

int32_t EFInfosHandlerDico::StoredLength() const {
  if (fm::StorageMode(*variable_) != fm::kClassDialogBox) return 0;
  return static_cast<int32_t>(std::min<uint32_t>(variable_->UnitSize(), INT32_MAX));
}

Chaine EFInfosHandlerDico::DisplayName() const {
  // The header falls back to the name when there is no label.
  return variable_->GetHeader();
}

Chaine EFInfosHandlerDico::AltLabel() const { return variable_->GetDescription(); }

Chaine EFInfosHandlerDico::VariableText() const {
  if (!fm::IsValueVariable(*variable_)) return Chaine();
  const char* mask = static_cast<const dico::DVariable*>(variable_)->Mask();
  return mask != nullptr ? Chaine(mask) : Chaine();
}

int32_t EFInfosHandlerDico::Offset() const {
  if (flags_ & kFixedOffset) return fixed_offset_;
  return fm::FieldOffset(*variable_) + fm::FieldSize(*variable_) * index_;
}

bool EFInfosHandlerDico::SetFixedOffset(uint16_t offset) {
  fixed_offset_ = offset;
  flags_ |= kFixedOffset;
  return true;
}

uint8_t* EFInfosHandlerDico::Address() const {
  if (record_ == nullptr) return nullptr;
  if (flags_ & kFixedOffset) return record_ + fixed_offset_;
  const int k = variable_->Kind();
  if (fm::IsValueVariable(*variable_) || (k >= dico::kVarStruct && k <= dico::kVarArrayInStruct)) {
    return fm::ElementAddress(*variable_, record_, index_);
  }
  if (IsPartKind(k)) return record_ + Offset();
  return record_;
}

uint8_t* EFInfosHandlerDico::Bind(uint8_t* record) {
  record_ = record;
  return Address();
}

bool EFInfosHandlerDico::ReadInto(record::ErBuffer& value) const {
  uint8_t* at = Address();
  if (at == nullptr) return false;
  value.CopyIn(at);
  return true;
}

bool EFInfosHandlerDico::Compute() {
  if (record_ == nullptr || !IsComputed()) return false;
  return ComputeFormulaField(*variable_, record_, index_);
}

bool EFInfosHandlerDico::Refresh() {
  uint8_t* at = Address();
  if (at == nullptr) return false;
  const uint8_t* initial = fm::InitialValue(*variable_);
  if (initial != nullptr) {
    std::memcpy(at, initial, std::min<size_t>(8, static_cast<size_t>(fm::FieldSize(*variable_))));
  }
  return true;
}

bool EFInfosHandlerDico::IsDerived() const {
  return fm::StorageMode(*variable_) == fm::kClassCalc || variable_->LinkedToId() != 0;
}

bool EFInfosHandlerDico::IsComputed() const {
  if (fm::StorageMode(*variable_) == fm::kClassRecap) return true;
  if (!fm::IsValueVariable(*variable_) || !variable_->TakesSpace()) return false;
  const char* formula = static_cast<const dico::DVariable*>(variable_)->Formula();
  return formula != nullptr && *formula != '\0';
}

void EFInfosHandlerDico::SetLimit(int which, record::ErBuffer& value) const {
  if (const uint8_t* declared = DeclaredLimit(*variable_, which)) {
    CopyIntoValue(value, declared, 8);
    return;
  }
  EFInfosHandler::SetLimit(which, value);
}

std::unique_ptr<EFInfosHandler> EFInfosHandlerDico::Clone() const {
  auto copy = std::make_unique<EFInfosHandlerDico>(*variable_, index_);
  copy->record_ = record_;
  copy->fixed_offset_ = fixed_offset_;
  copy->flags_ = flags_;
  return copy;
}

// --- field accessor -----------------------------------------------------------------------

FieldAccessor MakeFieldAccessor(const dico::DDicoBase& variable, uint16_t index) {
  FieldAccessor a;
  auto handler = std::make_shared<EFInfosHandlerDico>(variable, index);
  a.name = variable.GetName();
  const int k = variable.Kind();
  const uint16_t base = static_cast<uint16_t>(fm::FieldTypeCode(variable));
  if (fm::IsValueVariable(variable)) {
    const bool upper = (variable.Flags() & fm::kFlagUpperCase) != 0;
    a.type = record::MakeStringTypeCode(base, false, upper);
  } else if (IsSegmentKind(k)) {
    const bool no_case = (variable.Flags() & kSegmentNoCase) != 0;
    a.type = record::MakeStringTypeCode(base, no_case, false);
  } else {
    a.type = base;
  }
  a.size = static_cast<uint16_t>(std::min<int32_t>(fm::FieldSize(variable), 0xFFFF));
  a.offset = handler->Offset();
  // The value flags follow the variable's flags of the same bits, with the
  // extension and link rules.
  const uint32_t vf = variable.Flags();
  uint16_t flags = static_cast<uint16_t>(vf & (0x200 | 0x08 | 0x10 | 0x02 | 0x04));
  const bool extension = fm::StorageMode(variable) == fm::kClassExtension;
  if (extension) flags |= kValueExtension;
  if (variable.LinkedToId() != 0 && !extension) flags &= static_cast<uint16_t>(~kValueLinked);
  if (vf & 0x20) {
    flags |= 0x60;
  } else if ((vf & 0x02) && (vf & 0x04)) {
    flags |= 0x40;
  }
  a.flags = flags;
  a.handler = std::move(handler);
  return a;
}

}  // namespace tavelnor::data
