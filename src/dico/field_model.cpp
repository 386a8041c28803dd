// The dictionary model as record fields read it (see field_model.h).
#include "dico/field_model.h"

#include <algorithm>
#include <cstdint>

#include "dico/dico_classes.h"
#include "dico/dico_handler.h"

namespace tavelnor::dico::field_model {
namespace {

// The nearest ancestor of `v` for which `pred` holds, up to the table; null
// when none. Bounded by the object count against cycles.
template <typename Pred>
const DDicoBase* FindAncestor(const DDicoBase& v, Pred pred) {
  size_t steps = v.Owner()->ObjectCount() + 1;
  for (const DDicoBase* o = v.GetParent(); o != nullptr && steps-- > 0; o = o->GetParent()) {
    if (o->Kind() == kRubricTable || o->Kind() == kSystem || o->Kind() == kDico) return nullptr;
    if (pred(*o)) return o;
  }
  return nullptr;
}

const DDicoBase* RepeatedStructure(const DDicoBase& v) {
  return FindAncestor(v, [](const DDicoBase& o) { return o.Kind() == kVarStructInArray; });
}

bool IsSegmentKind(int k) { return k >= kSegment && k <= kSubLinkAttached; }

}  // namespace

bool IsBindable(const DDicoBase& o) { return o.Kind() >= kVarPerso && o.Kind() <= kSubLinkAttached; }
bool IsVariableKind(const DDicoBase& o) { return o.Kind() >= kVarPerso && o.Kind() <= kVarInPerso; }
bool IsValueVariable(const DDicoBase& o) { return SelectorAccepts(Selector::kVariables, o); }

uint32_t StorageMode(const DDicoBase& v) { return v.ClassCode(); }
bool IsPlainStored(const DDicoBase& v) {
  return StorageMode(v) == kClassBd || StorageMode(v) == kClassExtension;
}
bool IsCallBack(const DDicoBase& v) { return StorageMode(v) == kClassCallBack; }

bool RepeatsWithStructure(const DDicoBase& v) { return RepeatedStructure(v) != nullptr; }

bool InExtension(const DDicoBase& v) {
  return StorageMode(v) == kClassExtension ||
         FindAncestor(v, [](const DDicoBase& o) { return o.Kind() == kTitleMemory; }) != nullptr;
}

bool DictionaryAddressing(const DDicoBase& v) {
  const uint32_t mode = StorageMode(v);
  return RepeatsWithStructure(v) || IsCallBack(v) || mode == kClassDialogBox ||
         mode == kClassRecap || FieldOffset(v) + int64_t{FieldSize(v)} * ElementCount(v) > INT16_MAX;
}

bool TakesRoom(const DDicoBase& v) { return v.TakesSpace(); }
bool HasSize(const DDicoBase& v) { return v.UnitSize() > 0; }

int16_t FieldTypeCode(const DDicoBase& v) {
  const int k = v.Kind();
  if (IsSegmentKind(k) || IsValueVariable(v)) {
    return static_cast<int16_t>(v.TypeCode() & 0xFF);
  }
  return -1;
}

int32_t FieldSize(const DDicoBase& v) {
  // Structures and arrays view all their bytes; a variable one element.
  const int k = v.Kind();
  uint64_t size = (k >= kVarStruct && k <= kVarArrayInStruct) ? v.GetTotalSize() : v.UnitSize();
  return static_cast<int32_t>(std::min<uint64_t>(size, INT32_MAX));
}

int32_t FieldOffset(const DDicoBase& v) {
  const int k = v.Kind();
  std::optional<uint32_t> position;
  if (k == kSegment || k == kSegmentAttached) {
    position = static_cast<const DSegment&>(v).GetSegmentPosition();
  } else if (k == kSubLink || k == kSubLinkAttached) {
    position = static_cast<const DSubLink&>(v).GetSegmentPosition();
  } else {
    position = v.DiskOffset();
    if (InExtension(v)) {
      if (const DDicoBase* table = v.GetContainer()) *position += table->UnitSize();
    }
  }
  return static_cast<int32_t>(std::min<uint32_t>(position.value_or(0), INT32_MAX));
}

uint32_t ElementCount(const DDicoBase& v) {
  const int k = v.Kind();
  // Structures and arrays are viewed whole; their items are fields of their own.
  uint64_t count = (k >= kVarStruct && k <= kVarArrayInStruct) ? 1 : std::max(v.NbItems(), 1u);
  if (const DDicoBase* s = RepeatedStructure(v)) count *= std::max(s->NbItems(), 1u);
  return static_cast<uint32_t>(std::min<uint64_t>(count, 0xFFFF));
}

uint8_t* ElementAddress(const DDicoBase& v, uint8_t* base, uint32_t index) {
  if (base == nullptr) return nullptr;
  const uint32_t mode = StorageMode(v);
  if (mode == kClassCallBack || mode == kClassRecap) return nullptr;  // no bytes of their own
  uint64_t offset = static_cast<uint64_t>(FieldOffset(v));
  const uint32_t own = std::max(v.NbItems(), 1u);
  const uint32_t unit = static_cast<uint32_t>(FieldSize(v));
  if (const DDicoBase* s = RepeatedStructure(v)) {
    offset += uint64_t{index / own} * s->UnitSize() + uint64_t{index % own} * unit;
  } else {
    offset += uint64_t{index} * unit;
  }
  return base + offset;
}

const uint8_t* InitialValue(const DDicoBase& v) {
  if (!IsValueVariable(v)) return nullptr;
  constexpr uint32_t kInitialValue = 128;
  const uint8_t* bytes = v.Image() + kInitialValue;
  return std::any_of(bytes, bytes + 8, [](uint8_t b) { return b != 0; }) ? bytes : nullptr;
}

int32_t DisplayWidth(const DDicoBase& v) {
  constexpr uint32_t kControlSize = 104;
  const bool variable = IsValueVariable(v);
  uint32_t width = variable ? v.Word(kControlSize) : 0;
  if (width == 0) width = v.UnitSize();
  return static_cast<int32_t>(std::min<uint32_t>(width, INT32_MAX));
}

int32_t DisplayDecimals(const DDicoBase& v) {
  const bool variable = IsValueVariable(v);
  int32_t precision = variable ? static_cast<const DVariable&>(v).Precision() : -1;
  if (precision < 0 && v.Owner()->Root() != nullptr) precision = v.Owner()->Root()->DefPrecision();
  return precision;
}

}  // namespace tavelnor::dico::field_model
