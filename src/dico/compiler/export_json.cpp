// Attribute exports and loaded dictionaries as dictionary sources.
#include "dico/compiler/export_json.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/source_model.h"
#include "dico/dico_handler.h"
#include "dico/image_format.h"

namespace tavelnor::dico {
namespace {

bool IsDerived(int kind, const std::string& key) {
  if (key == "usertype" || key == "btrflags" || key == "size") return true;
  static const char* const kUnlessField[] = {"class", "type", "typestr", "diskoffset", "nbitems"};
  for (const char* d : kUnlessField) {
    if (key == d) return source::FindClassField(GetKindInfo(kind).image_type, key) == nullptr;
  }
  return false;
}

std::string LanguageKey(uint16_t lang) {
  switch (lang) {
    case kLangFrench:
      return "fr";
    case kLangGerman:
      return "de";
    case kLangEnglish:
      return "en";
    default:
      return std::to_string(lang);
  }
}

nlohmann::ordered_json Texts(const TranslationItem& item) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  for (const auto& [lang, text] : item.Texts()) out[LanguageKey(lang)] = Cp1252ToUtf8(text);
  return out;
}

nlohmann::ordered_json Categories(const DDicoHandler& h) {
  nlohmann::ordered_json out = nlohmann::ordered_json::array();
  for (int i = 0; i < h.CategoryCount(); ++i) {
    const uint8_t* e = h.GetCategory(i);
    const auto* name = reinterpret_cast<const char*>(e);
    const char* end = std::find(name, name + kCategoryNameLength, '\0');
    nlohmann::ordered_json c;
    c["name"] = Cp1252ToUtf8(std::string(name, end));
    c["value"] = LoadLE32(e + 31);
    c["flag"] = e[35];
    size_t last = kCategorySize;
    while (last > kOldCategorySize && e[last - 1] == 0) --last;
    if (last > kOldCategorySize) {
      std::string hex;
      char buf[3];
      for (size_t b = kOldCategorySize; b < last; ++b) {
        std::snprintf(buf, sizeof buf, "%02x", e[b]);
        hex += buf;
      }
      c["extra"] = hex;
    }
    out.push_back(std::move(c));
  }
  return out;
}

nlohmann::ordered_json Translations(const TranslationFile& file) {
  nlohmann::ordered_json out = nlohmann::ordered_json::object();
  if (auto objects = file.Section(TranslationFile::kObjectSection)) {
    nlohmann::ordered_json section = nlohmann::ordered_json::object();
    for (const auto& [id, item] : objects->children()) {
      nlohmann::ordered_json entry = nlohmann::ordered_json::object();
      for (const char* which : {"header", "desc"}) {
        if (auto text = item->Child(which); text && !text->Texts().empty()) {
          entry[which] = Texts(*text);
        }
      }
      if (!entry.empty()) section[Cp1252ToUtf8(id)] = std::move(entry);
    }
    if (!section.empty()) out[std::string(TranslationFile::kObjectSection)] = std::move(section);
  }
  if (auto cats = file.Section(TranslationFile::kCategorySection)) {
    nlohmann::ordered_json section = nlohmann::ordered_json::object();
    for (const auto& [name, item] : cats->children()) {
      if (!item->Texts().empty()) section[Cp1252ToUtf8(name)] = Texts(*item);
    }
    if (!section.empty()) out[std::string(TranslationFile::kCategorySection)] = std::move(section);
  }
  return out;
}

}  // namespace

namespace {

// Whether the loader read `node` from the file: objects the handler makes
// on its own when a dictionary lacks them (the "Systeme" table) are not in
// the file, and a source that named them would build other bytes.
bool FromFile(const AttrNode& node) {
  const std::string* flags = node.Find("internalflags");
  return flags == nullptr || (std::strtoul(flags->c_str(), nullptr, 16) & iflag::kFromFile) != 0;
}

nlohmann::ordered_json TreeToJson(const AttrNode& node, bool file_objects_only) {
  nlohmann::ordered_json j = nlohmann::ordered_json::object();
  const std::string* isa = node.Find("isa");
  const int kind = isa ? KindFromNodeName(*isa) : -1;
  for (const auto& [key, value] : node.attributes) {
    if (kind >= 0 && IsDerived(kind, key)) continue;
    if ((key == "countries" || key == "macros") && value.empty()) continue;
    if (key == "countriesexclude" && value == "false") continue;
    if (key == kAbsentAttribute) {
      nlohmann::ordered_json list = nlohmann::ordered_json::array();
      for (const auto& name : source::SplitList(value)) list.push_back(name);
      j[key] = std::move(list);
      continue;
    }
    j[key] = Cp1252ToUtf8(value);
  }
  nlohmann::ordered_json children = nlohmann::ordered_json::array();
  for (const AttrNode& c : node.children) {
    if (!file_objects_only || FromFile(c)) children.push_back(TreeToJson(c, file_objects_only));
  }
  if (!children.empty()) j["children"] = std::move(children);
  return j;
}

}  // namespace

nlohmann::ordered_json AttrTreeToJson(const AttrNode& node) { return TreeToJson(node, false); }

nlohmann::ordered_json DictionaryToJson(const DDicoHandler& handler) {
  const DicoHeader& h = handler.Header();
  nlohmann::ordered_json j;
  j["signature"] =
      std::string{static_cast<char>(h.signature[0]), static_cast<char>(h.signature[1])};
  j["versionbyte"] = h.version_byte;
  j["level"] = h.level;
  j["versionsystem"] = h.version_system;
  j["versionuser"] = h.version_user;
  j["lastid"] = handler.LastId();
  j["lowestuserid"] = handler.LowestUserId();
  nlohmann::ordered_json index = nlohmann::ordered_json::array();
  for (const auto& e : handler.NameIndexEntries()) {
    index.push_back({{"name", Cp1252ToUtf8(e.name)}, {"value", e.value}});
  }
  j["nameindex"] = std::move(index);
  j["categories"] = Categories(handler);
  const DicoExport exported = ExportDictionary(handler);
  j["root"] = TreeToJson(exported.root, true);
  nlohmann::ordered_json detached = nlohmann::ordered_json::array();
  for (const AttrNode& n : exported.detached) {
    if (FromFile(n)) detached.push_back(TreeToJson(n, true));
  }
  if (!detached.empty()) j["detached"] = std::move(detached);
  nlohmann::ordered_json translations = Translations(handler.Translations());
  if (!translations.empty()) j["translations"] = std::move(translations);
  return j;
}

}  // namespace tavelnor::dico
