// DDicoBase: image access, texts, countries and macros, tree walking, layout.
#include "dico/dico_base.h"

#include <algorithm>

#include "dico/dico_array.h"
#include "dico/dico_handler.h"
#include "foundation/string_resources.h"

namespace tavelnor::dico {


const char* DDicoBase::StringAt(uint32_t offset) const {
  const int32_t ref = static_cast<int32_t>(Word(offset));
  if (ref == 0) return nullptr;
  return Owner()->ResolveString(ref);
}

const char* DDicoBase::DdfNameText() const {
  const char* t = StringAt(base::kDdfName);
  if (!t) t = NameText();
  return t ? t : "";
}
const char* DDicoBase::HeaderPoolText() const {
  const char* t = StringAt(base::kHeader);
  if (!t) t = NameText();
  return t ? t : "";
}
const char* DDicoBase::DescPoolText() const {
  const char* t = StringAt(base::kDesc);
  return t ? t : HeaderPoolText();
}

const char* DDicoBase::ShownText(const TextRecord* record, const char* pool_text) const {
  if (record && record->translation) {
    std::string_view t = record->translation->Text(ResourceLanguage());
    if (!t.empty()) return t.data();
  }
  return pool_text;
}

TextRecord& DDicoBase::HeaderRecord() { return Owner()->ObjectTexts(*this).header; }
TextRecord& DDicoBase::DescRecord() { return Owner()->ObjectTexts(*this).desc; }
const TextRecord* DDicoBase::FindHeaderRecord() const {
  const auto* texts = Owner()->FindObjectTexts(*this);
  return texts ? &texts->header : nullptr;
}
const TextRecord* DDicoBase::FindDescRecord() const {
  const auto* texts = Owner()->FindObjectTexts(*this);
  return texts ? &texts->desc : nullptr;
}

Chaine DDicoBase::GetName() const {
  const char* t = NameText();
  return Chaine(std::string_view(t ? t : ""));
}
Chaine DDicoBase::GetDdfName() const { return Chaine(std::string_view(DdfNameText())); }

Chaine DDicoBase::GetHeader() const {
  return Chaine(std::string_view(ShownText(FindHeaderRecord(), HeaderPoolText())));
}

Chaine DDicoBase::GetDescription() const {
  if (!StringAt(base::kDesc)) {
    // No description of its own: the header (translated) serves.
    return GetHeader();
  }
  return Chaine(std::string_view(ShownText(FindDescRecord(), DescPoolText())));
}

// --- countries and macros -------------------------------------------------

namespace {
// Byte index and bit of a country code, or false for codes no bit represents.
bool CountryBit(int code, int* byte, uint8_t* bit) {
  if (code >= 1 && code <= 6) {
    *byte = 0;
    *bit = static_cast<uint8_t>(0x40 >> code);
    return true;
  }
  if (code >= 7 && code <= 13) {
    *byte = (code + 1) / 8;
    *bit = static_cast<uint8_t>(0x80 >> ((code + 1) % 8));
    return true;
  }
  return false;
}
}  // namespace

bool DDicoBase::HasCountry(int code) const {
  int byte;
  uint8_t bit;
  if (!CountryBit(code, &byte, &bit)) return false;
  return (Byte(base::kCountries + static_cast<uint32_t>(byte)) & bit) != 0;
}

bool DDicoBase::HasMacro(int code) const {
  if (code < 1 || code > 7) return false;
  return (Byte(base::kMacros) & (1u << (code - 1))) != 0;
}

void DDicoBase::SetCountries(const std::vector<std::string>& names, bool exclude) {
  uint8_t bytes[2] = {0, 0};
  if (!names.empty()) {
    bytes[0] = static_cast<uint8_t>(0x80 | (exclude ? 0x40 : 0));
    for (const auto& n : names) {
      int byte;
      uint8_t bit;
      if (CountryBit(Owner()->CountryCode(n), &byte, &bit)) bytes[byte] |= bit;
    }
  }
  MutableImage()[base::kCountries] = bytes[0];
  MutableImage()[base::kCountries + 1] = bytes[1];
}

void DDicoBase::SetMacros(const std::vector<std::string>& names) {
  uint8_t bits = 0;
  for (const auto& n : names) {
    const int code = Owner()->MacroCode(n);
    if (code >= 1 && code <= 7) bits |= static_cast<uint8_t>(1u << (code - 1));
  }
  MutableImage()[base::kMacros] = bits;
}

namespace {
// The names of a code table whose codes `has` accepts, in code order.
template <typename Has>
std::vector<std::string> NamesWithCodes(const std::map<std::string, int>& table, Has has) {
  std::vector<std::pair<int, std::string>> found;
  for (const auto& [name, code] : table) {
    if (has(code)) found.emplace_back(code, name);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}
}  // namespace

std::vector<std::string> DDicoBase::CountryNames() const {
  return NamesWithCodes(Owner()->Countries(), [this](int code) { return HasCountry(code); });
}

std::vector<std::string> DDicoBase::MacroNames() const {
  return NamesWithCodes(Owner()->Macros(), [this](int code) { return HasMacro(code); });
}

// --- tree -----------------------------------------------------------------

DDicoBase* DDicoBase::GetParent() const { return Owner()->FindById(ParentId()); }
DDicoBase* DDicoBase::GetFirstChild() const { return Owner()->FindById(FirstChildId()); }
DDicoBase* DDicoBase::GetNextSibling() const { return Owner()->FindById(NextSiblingId()); }
DDicoBase* DDicoBase::GetLinkedTo() const { return Owner()->FindById(LinkedToId()); }

DDicoBase* DDicoBase::GetContainer() const {
  // Bounded by the object count so that a cycle of parents cannot loop.
  size_t steps = Owner()->ObjectCount() + 1;
  const DDicoBase* o = this;
  while (o && steps-- > 0) {
    if (IsContainerKind(o->Kind())) return const_cast<DDicoBase*>(o);
    o = o->GetParent();
  }
  return nullptr;
}

std::vector<DDicoBase*> DDicoBase::Children() const {
  std::vector<DDicoBase*> out;
  size_t limit = Owner()->ObjectCount();
  for (DDicoBase* c = GetFirstChild(); c && out.size() < limit; c = c->GetNextSibling()) {
    out.push_back(c);
  }
  return out;
}

bool SelectorAccepts(Selector selector, const DDicoBase& o) {
  const int k = o.Kind();
  switch (selector) {
    case Selector::kAll: return true;
    case Selector::kFields:
      return k == kVarPerso || (k >= kVarStruct && k <= kVarInPerso) || k == kVarInSystem;
    case Selector::kVariables: return (k >= kVariable && k <= kVarInPerso) || k == kVarInSystem;
    case Selector::kKeys: return k == kKey;
    case Selector::kLinks: return k == kLink;
    case Selector::kSegments: return k >= kSegment && k <= kSubLinkAttached;
  }
  return false;
}

namespace {
// The next object after `o` in a depth-first walk bounded by `root`, not
// entering containers below the root; each move spends one of `budget`.
const DDicoBase* NextInWalk(const DDicoBase* o, const DDicoBase* root, bool descend,
                            size_t& budget) {
  if (descend) {
    if (const DDicoBase* c = o->GetFirstChild()) return c;
  }
  while (o && o != root && budget > 0) {
    --budget;
    if (const DDicoBase* s = o->GetNextSibling()) return s;
    o = o->GetParent();
  }
  return nullptr;
}
}  // namespace

DDicoBase* DDicoBase::FirstDescendant(Selector selector) const {
  auto& walk = Owner()->Walk();
  walk.selector = selector;
  walk.root = this;
  walk.budget = 2 * Owner()->ObjectCount() + 2;
  const DDicoBase* o = GetFirstChild();
  if (!o) return nullptr;
  if (SelectorAccepts(selector, *o)) return const_cast<DDicoBase*>(o);
  return NextDescendant(o);
}

DDicoBase* DDicoBase::NextDescendant(const DDicoBase* current) const {
  auto& walk = Owner()->Walk();
  const DDicoBase* o = current;
  while (o && walk.budget > 0) {
    --walk.budget;
    o = NextInWalk(o, this, !IsContainerKind(o->Kind()) || o == this, walk.budget);
    if (o && SelectorAccepts(walk.selector, *o)) return const_cast<DDicoBase*>(o);
  }
  return nullptr;
}

DDicoBase* DDicoBase::CreateChild(int kind, std::string_view name, bool system) {
  if (kind < 0 || kind >= kKindCount) return nullptr;
  if (name.empty()) name = GetKindInfo(kind).default_name;
  return Owner()->CreateObject(kind, this, name, system);
}

// --- layout -----------------------------------------------------------------

uint32_t DDicoBase::ComputeSize() {
  const LayoutDepthGuard depth(Owner());
  const auto children = depth.deep() ? std::vector<DDicoBase*>() : Children();
  if (!children.empty()) {
    uint32_t sum = 0;
    for (DDicoBase* c : children) {
      if (c->InternalFlags() & (0x1u | iflag::kNoSize)) continue;
      sum += c->ComputeSize();
    }
    SetUnitSize(sum);
  }
  return GetTotalSize();
}

void DDicoBase::AssignOffsets(uint32_t& running) {
  const LayoutDepthGuard depth(Owner());
  SetOffset(running);
  if (!depth.deep()) {
    for (DDicoBase* c : Children()) c->AssignOffsets(running);
  }
  if (TakesSpace()) running += GetTotalSize();
}

uint32_t DDicoBase::RecomputeSize() {
  ComputeSize();
  uint32_t running = 0;
  AssignOffsets(running);
  return GetTotalSize();
}

}  // namespace tavelnor::dico
