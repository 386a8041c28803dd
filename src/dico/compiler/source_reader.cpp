// Reading the top level of a dictionary source: header words, name index,
// categories, translations and the node trees.
#include <cstring>
#include <limits>
#include <map>

#include "dico/compiler/source_model.h"

namespace tavelnor::dico::source {
namespace {

constexpr int64_t kU32Max = std::numeric_limits<uint32_t>::max();
constexpr int64_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kI32Max = std::numeric_limits<int32_t>::max();

Status TopError(const std::string& member, const std::string& msg) {
  return Status::InvalidArgument("\"" + member + "\": " + msg);
}

Status ReadHeader(const nlohmann::json& src, SourceDico* d) {
  DicoHeader& h = d->image.header;
  if (auto it = src.find("signature"); it != src.end()) {
    const std::string sig = it->is_string() ? it->get<std::string>() : "";
    if (sig != "D8" && sig != "ED") return TopError("signature", "must be \"D8\" or \"ED\"");
    h.signature[0] = static_cast<uint8_t>(sig[0]);
    h.signature[1] = static_cast<uint8_t>(sig[1]);
  }
  struct Word {
    const char* member;
    int64_t min, max;
  };
  const Word words[] = {{"versionbyte", 0, 10},        {"level", kMinLevel, kMaxLevel},
                        {"versionsystem", 0, kU32Max}, {"versionuser", 0, kU32Max},
                        {"lastid", 0, kU32Max},        {"lowestuserid", kI32Min, kI32Max}};
  for (const Word& w : words) {
    auto it = src.find(w.member);
    if (it == src.end()) continue;
    auto v = ReadInteger(*it, w.min, w.max);
    if (!v.ok()) return TopError(w.member, v.status().message());
    const std::string m = w.member;
    if (m == "versionbyte") h.version_byte = static_cast<uint8_t>(*v);
    if (m == "level") h.level = static_cast<uint8_t>(*v);
    if (m == "versionsystem") h.version_system = static_cast<uint32_t>(*v);
    if (m == "versionuser") h.version_user = static_cast<uint32_t>(*v);
    if (m == "lastid") d->image.last_id = static_cast<uint32_t>(*v), d->lastid_given = true;
    if (m == "lowestuserid") d->image.lowest_user_id = static_cast<int32_t>(*v);
  }
  return Status::Ok();
}

Status ReadNameIndex(const nlohmann::json& v, SourceDico* d) {
  if (!v.is_array()) return TopError("nameindex", "expected a list");
  std::map<std::string, size_t> names;
  std::map<int32_t, std::string> codes;
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string at = "nameindex[" + std::to_string(i) + "]";
    const auto& e = v[i];
    if (!e.is_object() || !e.contains("name") || !e.contains("value") || e.size() != 2) {
      return TopError(at, "expected {\"name\": ..., \"value\": ...}");
    }
    auto name = ReadText(e["name"]);
    if (!name.ok()) return TopError(at, name.status().message());
    auto value = ReadInteger(e["value"], kI32Min, kI32Max);
    if (!value.ok()) return TopError(at, value.status().message());
    const bool macro = !name->empty() && (*name)[0] == '@';
    if (name->size() < (macro ? 2u : 1u)) return TopError(at, "empty name");
    const int64_t lo = macro ? 15 : 1, hi = macro ? 22 : 14;
    if (*value < lo || *value > hi) {
      return TopError(at, "value " + std::to_string(*value) + " is out of range " +
                              std::to_string(lo) + ".." + std::to_string(hi) + " for a " +
                              (macro ? "macro" : "country"));
    }
    if (!names.emplace(*name, i).second) return TopError(at, "name given twice");
    const auto code = static_cast<int32_t>(*value);
    if (code != 14 && code != 22 && !codes.emplace(code, *name).second) {
      return TopError(at, "value " + std::to_string(code) + " is already used");
    }
    d->image.name_index.push_back({code, std::move(*name)});
  }
  return Status::Ok();
}

Status ReadNameList(const nlohmann::json& v, const char* member, std::vector<std::string>* out) {
  if (!v.is_array()) return TopError(member, "expected a list of names");
  for (const auto& e : v) {
    auto name = ReadText(e);
    if (!name.ok()) return TopError(member, name.status().message());
    if (name->empty()) return TopError(member, "empty name");
    out->push_back(std::move(*name));
  }
  return Status::Ok();
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

Status ReadCategory(const nlohmann::json& e, const std::string& at, uint8_t* entry) {
  if (!e.is_object() || !e.contains("name")) return TopError(at, "expected {\"name\": ...}");
  for (const auto& [key, v] : e.items()) {
    if (key == "name") {
      auto name = ReadText(v);
      if (!name.ok()) return TopError(at, name.status().message());
      if (name->size() > kCategoryNameLength) {
        return TopError(at, "name longer than " + std::to_string(kCategoryNameLength) + " bytes");
      }
      std::memcpy(entry, name->data(), name->size());
    } else if (key == "value") {
      auto value = ReadInteger(v, kI32Min, kU32Max);
      if (!value.ok()) return TopError(at + ".value", value.status().message());
      StoreLE32(entry + 31, static_cast<uint32_t>(*value));
    } else if (key == "flag") {
      auto flag = ReadInteger(v, -128, 255);
      if (!flag.ok()) return TopError(at + ".flag", flag.status().message());
      entry[35] = static_cast<uint8_t>(*flag);
    } else if (key == "extra") {
      const std::string hex = v.is_string() ? v.get<std::string>() : "?";
      constexpr size_t kExtra = kCategorySize - kOldCategorySize;
      if (hex.size() % 2 != 0 || hex.size() > 2 * kExtra) {
        return TopError(at + ".extra", "expected up to " + std::to_string(kExtra) +
                                           " bytes as pairs of hex digits");
      }
      for (size_t i = 0; i < hex.size(); i += 2) {
        const int hi = HexValue(hex[i]), lo = HexValue(hex[i + 1]);
        if (hi < 0 || lo < 0) return TopError(at + ".extra", "not hexadecimal");
        entry[kOldCategorySize + i / 2] = static_cast<uint8_t>(hi * 16 + lo);
      }
    } else {
      return TopError(at, "unknown member \"" + key + "\"");
    }
  }
  return Status::Ok();
}

Status ReadCategories(const nlohmann::json& v, SourceDico* d) {
  if (!v.is_array()) return TopError("categories", "expected a list");
  d->image.categories.assign(v.size() * kCategorySize, 0);
  for (size_t i = 0; i < v.size(); ++i) {
    const std::string at = "categories[" + std::to_string(i) + "]";
    if (Status s = ReadCategory(v[i], at, d->image.categories.data() + i * kCategorySize);
        !s.ok()) {
      return s;
    }
  }
  return Status::Ok();
}

Status AddTranslations(const nlohmann::json& texts, const std::string& section,
                       const std::string& key, const std::string& item, const std::string& at,
                       SourceDico* d) {
  auto list = ReadLanguageTexts(texts);
  if (!list.ok()) return TopError(at, list.status().message());
  auto k = ReadText(nlohmann::json(key));
  if (!k.ok()) return TopError(at, k.status().message());
  for (auto& [lang, text] : *list) {
    d->translations.push_back({section, *k, item, lang, std::move(text), at});
  }
  return Status::Ok();
}

Status ReadTranslations(const nlohmann::json& v, SourceDico* d) {
  if (!v.is_object()) return TopError("translations", "expected an object");
  for (const auto& [section, items] : v.items()) {
    const std::string at = "translations." + section;
    if ((section != "OXADico" && section != "Categories") || !items.is_object()) {
      return TopError(at, "expected \"OXADico\" or \"Categories\" with an object");
    }
    for (const auto& [key, value] : items.items()) {
      const std::string item_at = at + "." + key;
      if (section == "Categories") {
        if (Status s = AddTranslations(value, section, key, "", item_at, d); !s.ok()) return s;
        continue;
      }
      if (!value.is_object()) return TopError(item_at, "expected {\"header\": ..., \"desc\": ...}");
      for (const auto& [item, texts] : value.items()) {
        if (item != "header" && item != "desc") {
          return TopError(item_at, "\"" + item + "\" is neither \"header\" nor \"desc\"");
        }
        if (Status s = AddTranslations(texts, section, key, item, item_at + "." + item, d);
            !s.ok()) {
          return s;
        }
      }
    }
  }
  return Status::Ok();
}

}  // namespace

Result<SourceDico> ReadSource(const nlohmann::json& src) {
  if (!src.is_object()) return Status::InvalidArgument("the dictionary source is not an object");
  static const char* const kMembers[] = {
      "signature",  "versionbyte",  "level",     "versionsystem", "versionuser",
      "lastid",     "lowestuserid", "nameindex", "countries",     "macros",
      "categories", "root",         "detached",  "translations",  "comment"};
  for (const auto& [key, value] : src.items()) {
    bool known = false;
    for (const char* m : kMembers) known = known || key == m;
    if (!known) return TopError(key, "unknown member of the dictionary source");
  }
  SourceDico d;
  if (Status s = ReadHeader(src, &d); !s.ok()) return s;
  if (auto it = src.find("nameindex"); it != src.end()) {
    if (Status s = ReadNameIndex(*it, &d); !s.ok()) return s;
  }
  if (auto it = src.find("countries"); it != src.end()) {
    if (Status s = ReadNameList(*it, "countries", &d.extra_countries); !s.ok()) return s;
  }
  if (auto it = src.find("macros"); it != src.end()) {
    if (Status s = ReadNameList(*it, "macros", &d.extra_macros); !s.ok()) return s;
  }
  if (auto it = src.find("categories"); it != src.end()) {
    if (Status s = ReadCategories(*it, &d); !s.ok()) return s;
  }
  auto root = src.find("root");
  if (root == src.end()) return Status::InvalidArgument("the dictionary source has no \"root\"");
  if (Status s = ReadNodeTree(*root, "/", -1, 0, &d); !s.ok()) return s;
  if (d.nodes[0].kind != kDico) {
    return Status::InvalidArgument("\"root\": the root node must be isa \"Dico\"");
  }
  if (auto it = src.find("detached"); it != src.end()) {
    if (!it->is_array()) return TopError("detached", "expected a list of nodes");
    for (size_t i = 0; i < it->size(); ++i) {
      const std::string label = "detached[" + std::to_string(i) + "]";
      if (Status s = ReadNodeTree((*it)[i], label, -1, 0, &d); !s.ok()) return s;
    }
  }
  if (auto it = src.find("translations"); it != src.end()) {
    if (Status s = ReadTranslations(*it, &d); !s.ok()) return s;
  }
  return d;
}

}  // namespace tavelnor::dico::source
