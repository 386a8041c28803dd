// The attribute export of dictionary objects, and its plain-text rendering.
#include "dico/attribute_export.h"

#include <cstdio>
#include <cstring>
#include <unordered_set>

#include "dico/dico_handler.h"

namespace tavelnor::dico {
namespace {

std::string Dec(uint64_t v) { return v ? std::to_string(v) : std::string(); }
std::string SignedDec(int64_t v) { return v ? std::to_string(v) : std::string(); }
std::string Hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%x", v);
  return buf;
}
std::string Text(const char* t) { return t ? std::string(t) : std::string(); }
std::string Joined(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ',';
    out += n;
  }
  return out;
}

const FieldDesc* FindField(ImageType type, std::string_view attribute) {
  for (const FieldDesc& f : ClassFields(type)) {
    if (attribute == f.attribute) return &f;
  }
  return nullptr;
}

// One class field in its export form.
std::string FieldValue(const DDicoBase& o, const FieldDesc& f) {
  const uint8_t* p = o.Image() + f.offset;
  switch (f.form) {
    case FieldForm::kU8: return Dec(p[0]);
    case FieldForm::kI8: return SignedDec(static_cast<int8_t>(p[0]));
    case FieldForm::kU16: return Dec(LoadLE16(p));
    case FieldForm::kU32:
    case FieldForm::kId: return Dec(LoadLE32(p));
    case FieldForm::kI32: return SignedDec(static_cast<int32_t>(LoadLE32(p)));
    case FieldForm::kHex32: return Hex(LoadLE32(p));
    case FieldForm::kString: return Text(o.StringAt(f.offset));
    case FieldForm::kText8: {
      const char* t = reinterpret_cast<const char*>(p);
      return std::string(t, strnlen(t, 8));
    }
  }
  return {};
}

void ExportFields(const DDicoBase& o, AttrNode& node, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (const FieldDesc* f = FindField(o.Info().image_type, name)) node.Set(name, FieldValue(o, *f));
  }
}

}  // namespace

const std::string* AttrNode::Find(std::string_view key) const {
  for (const auto& [k, v] : attributes) {
    if (k == key) return &v;
  }
  return nullptr;
}

void DDicoBase::ExportAttributes(AttrNode& node) const {
  const int kind = Kind();
  node.Set("isa", kind < kKindCount ? Info().node_name : std::to_string(kind));
  node.Set("usertype", Dec(static_cast<uint32_t>(UserType())));
  node.Set("accel", Dec(Id()));
  node.Set("name", Text(NameText()));
  node.Set("ddfname", DdfNameText());
  node.Set("header", HeaderPoolText());
  node.Set("desc", DescPoolText());
  node.Set("flags", Hex(Flags()));
  if (Flags() & 0xFFFF) node.Set("btrflags", Hex(Flags() & 0xFFFF));
  node.Set("internalflags", Hex(InternalFlags() & ~iflag::kRuntimeLow));
  node.Set("macros", Joined(MacroNames()));
  node.Set("countriesexclude", CountriesExclude() ? "true" : "false");
  node.Set("countries", Joined(CountryNames()));
  node.Set("class", Dec(ClassCode()));
  node.Set("diskoffset", Dec(DiskOffset()));
  node.Set("size", Dec(GetTotalSize()));
  node.Set("type", Dec(TypeCode()));
  node.Set("typestr", Text(TypeText()));
  node.Set("nbitems", Dec(NbItems()));
  node.Set("internalsize", Dec(UnitSize()));
  node.Set("linkedto", Dec(LinkedToId()));
  ExportClassAttributes(node);
  // Round-trip extras, after the documented attributes.
  std::string absent;
  for (auto [attr, off] : {std::pair{"name", base::kName}, std::pair{"ddfname", base::kDdfName},
                           std::pair{"header", base::kHeader}, std::pair{"desc", base::kDesc}}) {
    if (Word(off) == 0) absent += absent.empty() ? attr : std::string(",") + attr;
  }
  for (const FieldDesc& f : ClassFields(Info().image_type)) {
    if (f.form == FieldForm::kString && Word(f.offset) == 0) {
      absent += absent.empty() ? f.attribute : std::string(",") + f.attribute;
    }
  }
  if (!absent.empty()) node.Set(std::string(kAbsentAttribute), absent);
  if (Word(base::kReserved56)) node.Set("reserved56", Dec(Word(base::kReserved56)));
  if (AltId()) node.Set("altid", Dec(AltId()));
  for (const FieldDesc& f : ClassFields(Info().image_type)) {
    if (std::strncmp(f.attribute, "reserved", 8) == 0 && Word(f.offset)) {
      node.Set(f.attribute, Dec(Word(f.offset)));
    }
  }
  // Bounded like the layout, should links have been damaged in memory.
  const LayoutDepthGuard depth(Owner());
  if (depth.deep()) return;
  for (const DDicoBase* c : Children()) {
    node.children.emplace_back();
    c->ExportAttributes(node.children.back());
  }
}

void DDicoBase::ExportClassAttributes(AttrNode& node) const {
  switch (Info().image_type) {
    case ImageType::kDico:
      ExportFields(*this, node, {"defprecision", "defextension", "nativelanguage"});
      break;
    case ImageType::kRubricTable:
      ExportFields(*this, node, {"pagesize", "memorysize", "deffilename", "versionsystem", "versionuser"});
      break;
    case ImageType::kVariable:
      ExportFields(*this, node, {"formula", "mask", "precision", "category", "stringtable"});
      if (static_cast<int8_t>(Byte(99)) != -1) ExportFields(*this, node, {"masterindex"});
      ExportFields(*this, node, {"numfunc", "format", "fieldid", "controlsize", "controlchar", "min", "max"});
      break;
    case ImageType::kSegment:
      ExportFields(*this, node, {"offset", "typeseg", "typesegstr"});
      break;
    case ImageType::kSubLink: ExportFields(*this, node, {"offset"}); break;
    case ImageType::kLink: ExportFields(*this, node, {"linkedkey"}); break;
    case ImageType::kVarPerso:
      ExportFields(*this, node, {"maxpersosize", "nbvarperso", "offset"});
      break;
    case ImageType::kVarStruct:
    case ImageType::kVarArray:
      ExportFields(*this, node, {"nbitems", "classarray"});
      break;
    case ImageType::kPlain: break;
  }
}

DicoExport ExportDictionary(const DDicoHandler& handler) {
  DicoExport out;
  DDico* root = handler.Root();
  if (!root) return out;
  root->ExportAttributes(out.root);
  // Objects the tree does not reach: every object whose chain of parents
  // does not end at the root, exported from the top of its own chain.
  std::unordered_set<uint32_t> reached;
  std::vector<const DDicoBase*> stack{root};
  while (!stack.empty()) {
    const DDicoBase* o = stack.back();
    stack.pop_back();
    if (!reached.insert(o->Id()).second) continue;
    for (const DDicoBase* c : o->Children()) stack.push_back(c);
  }
  // A second pass takes the objects whose parent's child chain does not
  // hold them after all.
  for (int pass = 0; pass < 2; ++pass) {
    for (int k = 0; k < kKindCount; ++k) {
      const DicoArray& a = handler.Array(k);
      for (uint32_t i = 0; i < a.Count(); ++i) {
        const DDicoBase* o = const_cast<DicoArray&>(a).At(i);
        if (reached.count(o->Id())) continue;
        const DDicoBase* parent = o->GetParent();
        if (pass == 0 && parent && !reached.count(parent->Id()) && parent != o) {
          continue;  // exported with its parent
        }
        out.detached.emplace_back();
        o->ExportAttributes(out.detached.back());
        std::vector<const DDicoBase*> sub{o};
        while (!sub.empty()) {
          const DDicoBase* s = sub.back();
          sub.pop_back();
          if (!reached.insert(s->Id()).second) continue;
          for (const DDicoBase* c : s->Children()) sub.push_back(c);
        }
      }
    }
  }
  return out;
}

namespace {
void RenderNode(const AttrNode& node, int depth, std::string& out) {
  auto get = [&](const char* key) {
    const std::string* v = node.Find(key);
    return v ? *v : std::string();
  };
  out.append(static_cast<size_t>(depth) * 2, ' ');
  out += get("isa");
  out += " \"" + get("name") + "\"";
  out += " #" + get("accel");
  const std::string header = get("header");
  if (!header.empty() && header != get("name")) out += " \xAB" + header + "\xBB";
  for (const char* key : {"type", "size", "diskoffset", "offset", "pagesize", "deffilename",
                          "linkedto", "linkedkey", "formula", "category"}) {
    std::string v = get(key);
    if (v.empty() || (std::strcmp(key, "type") == 0 && v == "255")) continue;
    out += std::string(" ") + key + "=" + v;
  }
  out += '\n';
  for (const AttrNode& c : node.children) RenderNode(c, depth + 1, out);
}
}  // namespace

std::string RenderTree(const AttrNode& root) {
  std::string out;
  RenderNode(root, 0, out);
  return out;
}

}  // namespace tavelnor::dico
