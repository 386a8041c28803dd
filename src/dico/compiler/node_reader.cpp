// Reading the nodes of a dictionary source into SourceNodes: kind, creation
// values, every attribute stored into the record image, and the texts, paths
// and names that later passes resolve.
#include <array>
#include <limits>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/source_model.h"

namespace tavelnor::dico::source {
namespace {

// As deep as the loader takes (kMaxObjectDepth levels below the top).
constexpr int kMaxDepth = 64;
constexpr int64_t kU32Max = std::numeric_limits<uint32_t>::max();
constexpr int64_t kI32Min = std::numeric_limits<int32_t>::min();

struct CreationValue {
  ImageType type;
  const char* attribute;
  uint32_t value;
};
constexpr CreationValue kCreationValues[] = {
    {ImageType::kVariable, "type", 0xFF},       {ImageType::kVariable, "precision", 0xFF},
    {ImageType::kVariable, "nbitems", 1},       {ImageType::kVariable, "masterindex", 0xFF},
    {ImageType::kRubricTable, "pagesize", 512}, {ImageType::kSegment, "typeseg", 0xFF},
    {ImageType::kVarStruct, "nbitems", 1},      {ImageType::kVarArray, "nbitems", 1},
    {ImageType::kDico, "nativelanguage", 1036},
};

struct BaseText {
  const char* attribute;
  uint16_t offset;
};
constexpr BaseText kBaseTexts[] = {{"name", base::kName},
                                   {"ddfname", base::kDdfName},
                                   {"header", base::kHeader},
                                   {"desc", base::kDesc}};

struct BaseNumber {
  const char* attribute;
  uint16_t offset;
};
constexpr BaseNumber kBaseNumbers[] = {{"flags", base::kFlags},
                                       {"internalflags", base::kInternalFlags},
                                       {"internalsize", base::kUnitSize},
                                       {"reserved56", base::kReserved56},
                                       {"altid", base::kAltId}};

// Export attributes that the model derives; dropped when the class part has
// no field of that name.
constexpr std::array<const char*, 5> kDerivedUnlessField = {"class", "type", "typestr",
                                                            "diskoffset", "nbitems"};

void StoreField(SourceNode* n, const FieldDesc& f, uint32_t v) {
  switch (f.form) {
    case FieldForm::kU8:
    case FieldForm::kI8:
      n->SetU8(f.offset, static_cast<uint8_t>(v));
      break;
    case FieldForm::kU16:
      n->SetU16(f.offset, static_cast<uint16_t>(v));
      break;
    default:
      n->SetU32(f.offset, v);
      break;
  }
}

std::pair<int64_t, int64_t> RangeOf(FieldForm form) {
  switch (form) {
    case FieldForm::kU8:
    case FieldForm::kI8:
      return {-128, 255};
    case FieldForm::kU16:
      return {-32768, 65535};
    case FieldForm::kId:
      return {0, kU32Max};
    default:
      return {kI32Min, kU32Max};
  }
}

class NodeReader {
 public:
  NodeReader(SourceNode* node, const nlohmann::json& json) : n_(node), json_(json) {}

  Status Error(const std::string& attribute, const std::string& msg) const {
    return Status::InvalidArgument("node \"" + n_->where + "\": attribute \"" + attribute +
                                   "\": " + msg);
  }
  Status Error(const std::string& attribute, const Status& s) const {
    return Error(attribute, s.message());
  }

  Status ReadAbsentList() {
    auto it = json_.find("@absent");
    if (it == json_.end()) return Status::Ok();
    std::vector<std::string> names;
    if (it->is_string()) {
      names = SplitList(it->get<std::string>());
    } else if (it->is_array()) {
      for (const auto& e : *it) {
        if (!e.is_string()) return Error("@absent", Shown(e) + " is not an attribute name");
        names.push_back(e.get<std::string>());
      }
    } else {
      return Error("@absent", "expected a list of attribute names");
    }
    for (auto& name : names) {
      if (!IsTextAttribute(name)) {
        return Error("@absent", "\"" + name + "\" is not a text attribute");
      }
      absent_.insert(std::move(name));
    }
    return Status::Ok();
  }

  Status ReadAttribute(const std::string& key, const nlohmann::json& v) {
    if (key == "isa" || key == "children" || key == "@absent") return Status::Ok();
    if (key == "translations") return ReadTranslations(v);
    n_->given.insert(key);
    if (key == "field") return ReadFieldName(v);
    for (const BaseText& t : kBaseTexts) {
      if (key == t.attribute) return ReadTextAt(key, v, t.offset);
    }
    for (const BaseNumber& b : kBaseNumbers) {
      if (key != b.attribute) continue;
      auto value = ReadInteger(v, kI32Min, kU32Max);
      if (!value.ok()) return Error(key, value.status());
      auto word = static_cast<uint32_t>(*value);
      if (b.offset == base::kInternalFlags) word &= ~(iflag::kFromFile | iflag::kOwnershipBits);
      n_->SetU32(b.offset, word);
      return Status::Ok();
    }
    if (key == "accel") {
      auto id = ReadInteger(v, 0, kU32Max);
      if (!id.ok()) return Error(key, id.status());
      n_->SetU32(base::kId, static_cast<uint32_t>(*id));
      return Status::Ok();
    }
    if (key == "linkedto") return ReadIdOrPath(key, v, base::kLinkedTo);
    if (key == "countries" || key == "macros") return ReadNames(key, v);
    if (key == "countriesexclude") {
      auto b = ReadBool(v);
      if (!b.ok()) return Error(key, b.status());
      n_->countries_exclude = *b;
      return Status::Ok();
    }
    const ImageType type = GetKindInfo(n_->kind).image_type;
    if (const FieldDesc* f = FindClassField(type, key)) return ReadClassField(*f, v);
    if (key == "usertype" || key == "btrflags" || key == "size") return Status::Ok();
    for (const char* d : kDerivedUnlessField) {
      if (key == d) return Status::Ok();
    }
    return Error(
        key, std::string("unknown attribute for isa \"") + GetKindInfo(n_->kind).node_name + "\"");
  }

 private:
  bool IsTextAttribute(std::string_view attr) const {
    for (const BaseText& t : kBaseTexts) {
      if (attr == t.attribute) return true;
    }
    const FieldDesc* f = FindClassField(GetKindInfo(n_->kind).image_type, attr);
    return f != nullptr && f->form == FieldForm::kString;
  }

  Status ReadTextAt(const std::string& key, const nlohmann::json& v, uint16_t offset) {
    auto text = ReadText(v);
    if (!text.ok()) return Error(key, text.status());
    if (absent_.count(key) != 0) return Status::Ok();
    if (offset == base::kName) n_->name = *text;
    n_->texts.emplace_back(offset, std::move(*text));
    return Status::Ok();
  }

  Status ReadIdOrPath(const std::string& key, const nlohmann::json& v, uint16_t offset) {
    if (v.is_string()) {
      const auto& s = v.get_ref<const std::string&>();
      if (!TextAsInteger(s)) {
        auto path = Utf8ToCp1252(s);
        if (!path.ok()) return Error(key, path.status());
        n_->paths.push_back({offset, key, std::move(*path)});
        return Status::Ok();
      }
    }
    auto id = ReadInteger(v, 0, kU32Max);
    if (!id.ok()) return Error(key, id.status());
    n_->SetU32(offset, static_cast<uint32_t>(*id));
    return Status::Ok();
  }

  Status ReadNames(const std::string& key, const nlohmann::json& v) {
    std::vector<std::string>& out = key == "countries" ? n_->countries : n_->macros;
    std::vector<nlohmann::json> items;
    if (v.is_array()) {
      items.assign(v.begin(), v.end());
    } else {
      items.push_back(v);
    }
    for (const auto& item : items) {
      auto text = ReadText(item);
      if (!text.ok()) return Error(key, text.status());
      for (auto& name : SplitList(*text)) out.push_back(std::move(name));
    }
    return Status::Ok();
  }

  Status ReadClassField(const FieldDesc& f, const nlohmann::json& v) {
    const std::string key = f.attribute;
    if (f.form == FieldForm::kString) return ReadTextAt(key, v, f.offset);
    if (f.form == FieldForm::kId) return ReadIdOrPath(key, v, f.offset);
    if (f.form == FieldForm::kText8) {
      auto text = v.is_number() ? Result<std::string>(v.dump()) : ReadText(v);
      if (!text.ok()) return Error(key, text.status());
      if (text->size() > 8) return Error(key, "more than 8 bytes");
      std::fill_n(n_->image.begin() + f.offset, 8, uint8_t{0});
      std::copy(text->begin(), text->end(), n_->image.begin() + f.offset);
      return Status::Ok();
    }
    if ((key == "class" || key == "classarray") && v.is_string()) {
      for (uint32_t code = 0; ClassCodeName(code) != nullptr; ++code) {
        if (v.get_ref<const std::string&>() == ClassCodeName(code)) {
          StoreField(n_, f, code);
          return Status::Ok();
        }
      }
    }
    const auto [min, max] = RangeOf(f.form);
    auto value = ReadInteger(v, min, max);
    if (!value.ok()) return Error(key, value.status());
    StoreField(n_, f, static_cast<uint32_t>(*value));
    return Status::Ok();
  }

  Status ReadFieldName(const nlohmann::json& v) {
    if (n_->kind != kSegment && n_->kind != kSubLink) {
      return Error("field", "only a Segment or a SubLink may name its field");
    }
    auto text = ReadText(v);
    if (!text.ok()) return Error("field", text.status());
    n_->field = std::move(*text);
    return Status::Ok();
  }

  Status ReadTranslations(const nlohmann::json& v) {
    if (!v.is_object()) return Error("translations", "expected {\"header\": ..., \"desc\": ...}");
    for (const auto& [item, texts] : v.items()) {
      if (item != "header" && item != "desc") {
        return Error("translations", "\"" + item + "\" is neither \"header\" nor \"desc\"");
      }
      auto list = ReadLanguageTexts(texts);
      if (!list.ok()) return Error("translations", list.status());
      for (auto& [lang, text] : *list) n_->translations.push_back({item, lang, std::move(text)});
    }
    return Status::Ok();
  }

  SourceNode* n_;
  const nlohmann::json& json_;
  std::set<std::string, std::less<>> absent_;
};

void SetCreationValues(SourceNode* n) {
  const ImageType type = GetKindInfo(n->kind).image_type;
  for (const CreationValue& c : kCreationValues) {
    if (c.type != type) continue;
    if (const FieldDesc* f = FindClassField(type, c.attribute)) StoreField(n, *f, c.value);
  }
}

}  // namespace

Status ReadNodeTree(const nlohmann::json& json, const std::string& label, int parent, int depth,
                    SourceDico* dico) {
  if (depth > kMaxDepth) {
    return Status::InvalidArgument("node \"" + label + "\": nesting deeper than " +
                                   std::to_string(kMaxDepth) + " levels");
  }
  if (!json.is_object()) return Status::InvalidArgument("node \"" + label + "\": not an object");
  auto isa = json.find("isa");
  if (isa == json.end() || !isa->is_string()) {
    return Status::InvalidArgument("node \"" + label + "\": missing \"isa\"");
  }
  const int kind = KindFromNodeName(isa->get<std::string>());
  if (kind < 0) {
    return Status::InvalidArgument("node \"" + label + "\": unknown isa " + Shown(*isa));
  }
  SourceNode node;
  node.kind = kind;
  node.parent = parent;
  node.where = label;
  if (parent >= 0) {
    auto name = json.find("name");
    if (name != json.end() && name->is_string() && !name->get_ref<const std::string&>().empty()) {
      const std::string& pw = dico->nodes[static_cast<size_t>(parent)].where;
      node.where = (pw == "/" ? "" : pw) + "/" + name->get<std::string>();
    }
  }
  node.image.assign(GetKindInfo(kind).image_size, 0);
  SetCreationValues(&node);
  NodeReader reader(&node, json);
  if (Status s = reader.ReadAbsentList(); !s.ok()) return s;
  for (const auto& [key, value] : json.items()) {
    if (Status s = reader.ReadAttribute(key, value); !s.ok()) return s;
  }
  node.auto_id = node.Id() == 0;
  const int index = static_cast<int>(dico->nodes.size());
  const std::string where = node.where;
  dico->nodes.push_back(std::move(node));
  if (parent >= 0) dico->nodes[static_cast<size_t>(parent)].children.push_back(index);

  auto children = json.find("children");
  if (children == json.end()) return Status::Ok();
  if (!children->is_array()) {
    return Status::InvalidArgument("node \"" + where + "\": \"children\" is not a list");
  }
  for (size_t i = 0; i < children->size(); ++i) {
    const std::string child_label = (where == "/" ? "" : where) + "/[" + std::to_string(i) + "]";
    if (Status s = ReadNodeTree((*children)[i], child_label, index, depth + 1, dico); !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

}  // namespace tavelnor::dico::source
