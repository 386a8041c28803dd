// Table fields: binding to dictionary variables, aiming into records, and
// building composites from tables, keys and links.
#include "dico/er_field_table.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "dico/dico_handler.h"
#include "dico/field_model.h"
#include "dico/image_format.h"

namespace tavelnor::dico {

namespace fm = field_model;

bool ErFieldTable::Bind(const DDicoBase& v, uint8_t* base, int16_t index) {
  if (!fm::IsBindable(v)) return false;
  variable_ = &v;
  index_ = index < 0 ? 0 : index;
  SetType(fm::FieldTypeCode(v), fm::FieldSize(v), (v.Flags() & fm::kFlagUpperCase) != 0);
  const int64_t offset = fm::FieldOffset(v) + int64_t{Buffer().Size()} * index_;
  offset_ = static_cast<int16_t>(std::clamp<int64_t>(offset, INT16_MIN, INT16_MAX));
  record_ = v.GetContainer();
  SetNumber(index_ == 0 ? v.Id() : 0);
  flags_ = 0;
  if (fm::IsVariableKind(v)) {
    flags_ |= kBound;
    const bool address_test = fm::RepeatsWithStructure(v) || fm::IsCallBack(v);
    if (address_test) flags_ |= kRefresh;
    if (address_test || fm::DictionaryAddressing(v)) flags_ |= kDicoAddressing;
  }
  if (base != nullptr) SetRecordBase(base);
  return true;
}

uint8_t* ErFieldTable::Address() const {
  if (base_ == nullptr || variable_ == nullptr) return nullptr;
  if (flags_ & kDicoAddressing) return fm::ElementAddress(*variable_, base_, index_);
  return base_ + offset_;
}

void ErFieldTable::SetRecordBase(uint8_t* base) {
  base_ = base;
  AimBuffer(Address());
}

void ErFieldTable::Refresh() {
  if (flags_ & kRefresh) AimBuffer(Address());
}

record::ErBuffer* ErFieldTable::GetBuffer() {
  if (variable_ != nullptr && fm::IsCallBack(*variable_)) Refresh();
  return buffer_.get();
}

void ErFieldTable::Reset() {
  const uint8_t* initial = (flags_ & kBound) ? fm::InitialValue(*variable_) : nullptr;
  record::ErBuffer* b = GetBuffer();
  if (initial == nullptr || b->Data() == nullptr) {
    Clear();
    return;
  }
  std::memcpy(b->Data(), initial, std::min<size_t>(8, static_cast<size_t>(std::max(b->Size(), 0))));
}

void ErFieldTable::CopyTablePart(const ErFieldTable& other) {
  index_ = other.index_;
  variable_ = other.variable_;
  record_ = other.record_;
  offset_ = other.offset_;
  flags_ = other.flags_ & (kRefresh | kBound | kDicoAddressing);
  SetRecordBase(other.base_);
}

std::unique_ptr<record::ErField> ErFieldTable::Clone() const {
  auto copy = std::make_unique<ErFieldTable>();
  copy->CopyFieldPart(*this);
  copy->CopyTablePart(*this);
  return copy;
}

std::unique_ptr<record::ErField> ErFieldTable::CloneSegment() const {
  auto copy = std::make_unique<record::ErFieldRefLocal>();
  copy->SetType(Buffer().GetTypeCode(), Buffer().Size(), Buffer().UpperCase());
  copy->SetData(Buffer().Data());
  copy->SetFieldName(FieldName().view());
  copy->SetNumber(Number());
  copy->SetName(GetName().view());
  return copy;
}

Chaine ErFieldTable::GetName() const {
  if (variable_ == nullptr || variable_->NameText() == nullptr) return Chaine();
  return Chaine(variable_->NameText());
}

Chaine ErFieldTable::GetEditMask(int32_t width, int32_t arg2, int32_t arg3, int32_t arg4) const {
  if ((flags_ & kBound) && variable_ != nullptr) {
    if (arg2 == 0) arg2 = fm::DisplayWidth(*variable_);
    if (arg3 < 0) arg3 = fm::DisplayDecimals(*variable_);
  }
  return Buffer().GetEditMask(width, arg2, arg3, arg4);
}

Chaine ErFieldTable::Format(int32_t width, int32_t decimals, uint32_t flags) const {
  if ((flags_ & kBound) && variable_ != nullptr) {
    if (width == 0) width = fm::DisplayWidth(*variable_);
    if (decimals < 0) decimals = fm::DisplayDecimals(*variable_);
  }
  return Buffer().Format(width, decimals, flags);
}

namespace {

// Whether the fields of a record take `v` under `filter`.
bool Accepts(const DDicoBase& v, uint32_t filter) {
  const uint32_t mode = fm::StorageMode(v);
  if (!fm::IsPlainStored(v) && mode != fm::kClassDialogBox) return false;
  if ((v.InternalFlags() & fm::kInternalOverlay) && !(filter & kBuildOverlays)) return false;
  if ((filter & kBuildNoExtension) && mode == fm::kClassExtension) return false;
  const bool further = fm::TakesRoom(v) && fm::HasSize(v);
  if (filter & kBuildExchange) {
    return !(v.Flags() & fm::kFlagHiddenFromExchange) &&
           (mode == fm::kClassBd || mode == fm::kClassExtension) && further;
  }
  if (filter & kBuildListed) return !(v.Flags() & fm::kFlagNotListed) && further;
  return true;
}

bool AddBound(record::ErFieldComposite& composite, const DDicoBase& v, uint8_t* base,
              int16_t index) {
  ErFieldTable field;
  if (!field.Bind(v, base, index)) return false;
  return composite.AddSegment(field);
}

}  // namespace

bool BuildFields(record::ErFieldComposite& composite, const DDicoBase& object, uint8_t* base,
                 uint32_t filter) {
  const int kind = object.Kind();
  const bool record_like = kind == kRubricTable || kind == kSystem;
  if (!record_like && kind != kKey && kind != kLink) return false;
  const DDicoBase* record = object.GetContainer();
  if (!composite.AcceptRecord(record)) return false;

  DDicoHandler* owner = object.Owner();
  owner->Lock();
  // Bounded on its own: each object is taken once, and no more elements
  // than a record can hold, whatever the links of the dictionary say.
  std::vector<DDicoBase*> children;
  std::unordered_set<const DDicoBase*> seen;
  if (record_like) {
    for (DDicoBase* o = object.FirstDescendant(Selector::kVariables); o != nullptr;
         o = object.NextDescendant(o)) {
      if (!seen.insert(o).second) break;
      children.push_back(o);
    }
  } else {
    for (DDicoBase* c : object.Children()) {
      if (!seen.insert(c).second) break;
      children.push_back(c);
    }
  }
  uint64_t elements = 0;
  uint64_t bytes = 0;  // what a composite owning its area would hold
  for (const DDicoBase* child : children) {
    if (!record_like) {
      bytes += static_cast<uint64_t>(std::max(fm::FieldSize(*child), 0));
      if (++elements > kMaxRecordBytes || bytes > kMaxRecordBytes) break;
      AddBound(composite, *child, base, 0);
      continue;
    }
    if (!Accepts(*child, filter)) continue;
    const uint32_t count = std::min<uint32_t>(fm::ElementCount(*child), INT16_MAX);
    elements += count;
    if (elements > kMaxRecordBytes) break;
    for (uint32_t i = 0; i < count; ++i) AddBound(composite, *child, base, static_cast<int16_t>(i));
  }
  owner->Unlock();
  return true;
}

}  // namespace tavelnor::dico
