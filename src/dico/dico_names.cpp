#include "dico/dico_names.h"

#include <array>

#include "dico/dico_handler.h"

namespace tavelnor::dico {
namespace {

constexpr unsigned char kForbidden[] = {
    0x20, 0x09, 0x2E, 0x2B, 0x2D, 0x2A, 0x2F, 0x3D, 0x24, 0xA3, 0xB5, 0x25, 0xA8, 0x5E,
    0x5C, 0x26, 0xE9, 0x7E, 0x22, 0x23, 0x27, 0x7B, 0x28, 0x29, 0x7D, 0x5B, 0x5D, 0x7C,
    0xE8, 0x60, 0xE7, 0x5E, 0xE0, 0x40, 0xB0, 0xA4, 0xA7, 0x21, 0x3A, 0x3B, 0x2C, 0x3F,
    0x3C, 0x3E, 0xB2, 0x0A, 0x0D, 0xFB, 0xFC, 0xCA, 0xCB, 0xDC, 0xDB, 0xEA, 0xEB, 0xEF,
    0xEE, 0xCF, 0xCE, 0xE4, 0xE2, 0xC4, 0xC2, 0xFF, 0xF9, 0xF4, 0xF6, 0xD6, 0xD4};
static_assert(sizeof(kForbidden) == 69);

constexpr std::array<bool, 256> MakeForbiddenTable() {
  std::array<bool, 256> t{};
  for (unsigned char c : kForbidden) t[c] = true;
  return t;
}
constexpr std::array<bool, 256> kForbiddenTable = MakeForbiddenTable();

constexpr size_t kMaxDdfLength = 20;

bool IsTitleKind(int kind) {
  return (kind >= kTitleVar && kind <= kTitleData) || kind == kTitleMemory;
}

void SetText(DDicoBase& object, uint32_t offset, uint32_t ownership_bit, std::string_view text) {
  DDicoHandler* owner = object.Owner();
  object.SetWord(offset, static_cast<uint32_t>(owner->Intern(text)));
  object.SetInternalFlags((object.InternalFlags() & ~ownership_bit) | iflag::kStructureModified);
}

}  // namespace

bool IsForbiddenNameByte(unsigned char c) { return kForbiddenTable[c]; }

std::string NormalizeName(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (!IsForbiddenNameByte(static_cast<unsigned char>(c))) out += c;
  }
  return out;
}

int DNameDicoName::Check(const DDicoBase&, std::string_view proposed) const {
  if (proposed.find('.') != std::string_view::npos) return kNameHasDot;
  if (proposed.find_first_of(" \t") != std::string_view::npos) return kNameHasSpace;
  for (char c : proposed) {
    if (IsForbiddenNameByte(static_cast<unsigned char>(c))) return kNameHasForbidden;
  }
  return kNameOk;
}

std::string DNameDicoName::Generate(const DDicoBase&, std::string_view proposed) const {
  return NormalizeName(proposed);
}

void DNameDicoName::Apply(DDicoBase& object, std::string_view proposed) const {
  SetText(object, base::kName, iflag::kOwnName, Generate(object, proposed));
  object.Owner()->Register(&object, reg::kName);
}

int DDDFDicoName::Check(const DDicoBase& object, std::string_view proposed) const {
  if (proposed.size() >= kMaxDdfLength) return kNameTooLong;
  if (proposed.find_first_of(allow_spaces_ ? "\t" : " \t") != std::string_view::npos) {
    return kNameHasSpace;
  }
  const DDicoBase* container = object.GetContainer();
  if (!container) return kNameOk;
  const Chaine wanted(proposed);
  for (DDicoBase* o = container->FirstDescendant(Selector::kAll); o; o = container->NextDescendant(o)) {
    if (o != &object && o->UserType() == object.UserType() && wanted.EqualsNoCase(o->DdfNameText())) {
      return kNameTaken;
    }
  }
  return kNameOk;
}

std::string DDDFDicoName::Generate(const DDicoBase& object, std::string_view proposed) const {
  if (IsContainerKind(object.Kind())) return std::string(proposed);
  const DDicoBase* parent = object.GetParent();
  if (parent && IsTitleKind(parent->Kind()) && parent->GetParent()) parent = parent->GetParent();
  if (!parent || parent->Kind() == kDico || (parent->InternalFlags() & iflag::kNoDdfPrefix)) {
    return std::string(proposed);
  }
  return std::string(parent->DdfNameText()) + "." + std::string(proposed);
}

void DDDFDicoName::Apply(DDicoBase& object, std::string_view proposed) const {
  SetText(object, base::kDdfName, iflag::kOwnDdfName, Generate(object, proposed));
}

void DHeaderDicoName::Apply(DDicoBase& object, std::string_view proposed) const {
  SetText(object, base::kHeader, 0, proposed);
  object.HeaderRecord().translation.reset();
}

void DDescDicoName::Apply(DDicoBase& object, std::string_view proposed) const {
  SetText(object, base::kDesc, 0, proposed);
  object.DescRecord().translation.reset();
}

int DGenDicoName::Check(const DDicoBase& object, std::string_view proposed) const {
  if (int c = name_.Check(object, proposed)) return c;
  return ddf_.Check(object, ddf_.Generate(object, name_.Generate(object, proposed)));
}

void DGenDicoName::Apply(DDicoBase& object, std::string_view proposed) const {
  const std::string name = name_.Generate(object, proposed);
  name_.Apply(object, proposed);
  ddf_.Apply(object, name);
  header_.Apply(object, proposed);
  desc_.Apply(object, proposed);
}

}  // namespace tavelnor::dico
