// Turning SourceNodes into the object arrays of a DicoImage: countries and
// macros, identifiers, tree fields, paths, string interning.
#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <set>
#include <unordered_map>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/source_model.h"

namespace tavelnor::dico::source {
namespace {

constexpr int kMacroOffset = 14;
constexpr int kLastCountryCode = 13, kLastMacroCode = 7;

// The country and macro tables behind the name index.
class NameTable {
 public:
  explicit NameTable(std::vector<NameIndexEntry>* index) : index_(index) {
    for (const auto& e : *index) {
      if (!e.name.empty() && e.name[0] == '@') {
        macros_.emplace(e.name.substr(1), e.value - kMacroOffset);
      } else {
        countries_.emplace(e.name, e.value);
      }
    }
  }

  // The code of a name, entering it with the lowest free code when new.
  int Enter(const std::string& name, bool macro) {
    auto& table = macro ? macros_ : countries_;
    if (auto it = table.find(name); it != table.end()) return it->second;
    const int last = macro ? kLastMacroCode : kLastCountryCode;
    std::set<int> used;
    for (const auto& [n, code] : table) used.insert(code);
    int code = 1;
    while (code <= last && used.count(code) != 0) ++code;
    table.emplace(name, code);
    index_->push_back({macro ? code + kMacroOffset : code, macro ? "@" + name : name});
    return code;
  }

 private:
  std::vector<NameIndexEntry>* index_;
  std::map<std::string, int> countries_, macros_;
};

class Interner {
 public:
  explicit Interner(std::vector<uint8_t>* pool) : pool_(pool) { pool_->assign(1, 0); }

  Result<int32_t> Intern(const std::string& text) {
    if (text.empty()) return -1;
    if (int32_t ref = BuiltinStringRef(text); ref != 0) return ref;
    if (auto it = offsets_.find(text); it != offsets_.end()) return it->second;
    if (pool_->size() + text.size() + 1 > static_cast<size_t>(kMaxPool)) {
      return Status::InvalidArgument("the string pool grows beyond 2 GiB");
    }
    const auto ref = static_cast<int32_t>(pool_->size());
    pool_->insert(pool_->end(), text.begin(), text.end());
    pool_->push_back(0);
    offsets_.emplace(text, ref);
    return ref;
  }

 private:
  static constexpr int64_t kMaxPool = std::numeric_limits<int32_t>::max();
  std::vector<uint8_t>* pool_;
  std::unordered_map<std::string, int32_t> offsets_;
};

Status NodeError(const SourceNode& n, const std::string& msg) {
  return Status::InvalidArgument("node \"" + n.where + "\": " + msg);
}

std::string Shown(const std::string& cp1252) {
  std::string out = "\"";  // built in place: GCC 12 misreads "x" + std::string&& (-Wrestrict)
  out += Cp1252ToUtf8(cp1252);
  out += '"';
  return out;
}

}  // namespace

Status ResolveCountriesAndMacros(SourceDico* d) {
  NameTable table(&d->image.name_index);
  for (const auto& name : d->extra_countries) table.Enter(name, false);
  for (const auto& name : d->extra_macros) {
    table.Enter(!name.empty() && name[0] == '@' ? name.substr(1) : name, true);
  }
  for (SourceNode& n : d->nodes) {
    uint8_t bytes[2] = {0, 0};
    if (!n.countries.empty()) bytes[0] |= 0x80;
    if (n.countries_exclude) bytes[0] |= 0x40;
    for (const auto& name : n.countries) {
      const int code = table.Enter(name, false);
      if (code >= 1 && code <= 6) {
        bytes[0] |= static_cast<uint8_t>(0x40 >> code);
      } else if (code >= 7 && code <= kLastCountryCode) {
        bytes[(code + 1) / 8] |= static_cast<uint8_t>(0x80 >> ((code + 1) % 8));
      }
    }
    uint8_t macros = 0;
    for (const auto& name : n.macros) {
      const int code = table.Enter(name, true);
      if (code >= 1 && code <= kLastMacroCode) macros |= static_cast<uint8_t>(1u << (code - 1));
    }
    n.SetU8(base::kCountries, bytes[0]);
    n.SetU8(base::kCountries + 1, bytes[1]);
    n.SetU8(base::kMacros, macros);
  }
  return Status::Ok();
}

Status AssignIdentifiers(SourceDico* d) {
  std::map<uint32_t, size_t> explicit_ids;
  uint32_t highest = 0;
  for (size_t i = 0; i < d->nodes.size(); ++i) {
    const SourceNode& n = d->nodes[i];
    if (n.auto_id) continue;
    auto [it, fresh] = explicit_ids.emplace(n.Id(), i);
    if (!fresh) {
      return NodeError(n, "identifier " + std::to_string(n.Id()) + " is already taken by \"" +
                              d->nodes[it->second].where + "\"");
    }
    highest = std::max(highest, n.Id());
  }
  uint64_t next = static_cast<uint64_t>(d->lastid_given ? d->image.last_id : highest) + 1;
  uint32_t highest_auto = 0;
  for (SourceNode& n : d->nodes) {
    if (!n.auto_id) continue;
    while (explicit_ids.count(static_cast<uint32_t>(next)) != 0) ++next;
    if (next > std::numeric_limits<uint32_t>::max()) {
      return NodeError(n, "no identifier left to assign");
    }
    n.SetU32(base::kId, static_cast<uint32_t>(next));
    highest_auto = static_cast<uint32_t>(next++);
  }
  d->image.last_id = std::max(d->lastid_given ? d->image.last_id : highest, highest_auto);
  return Status::Ok();
}

void SetTreeFields(SourceDico* d) {
  for (SourceNode& n : d->nodes) {
    n.SetU32(base::kParent, n.parent >= 0 ? d->nodes[static_cast<size_t>(n.parent)].Id() : 0);
    n.SetU32(base::kFirstChild,
             n.children.empty() ? 0 : d->nodes[static_cast<size_t>(n.children[0])].Id());
    for (size_t i = 0; i < n.children.size(); ++i) {
      const uint32_t next =
          i + 1 < n.children.size() ? d->nodes[static_cast<size_t>(n.children[i + 1])].Id() : 0;
      d->nodes[static_cast<size_t>(n.children[i])].SetU32(base::kNextSibling, next);
    }
  }
}

Result<int> ResolvePath(const SourceDico& d, std::string_view path, int start) {
  int at = start < 0 ? 0 : start;
  bool any = false;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t end = path.find('/', pos);
    if (end == std::string_view::npos) end = path.size();
    const std::string name(path.substr(pos, end - pos));
    pos = end + 1;
    if (name.empty()) continue;
    any = true;
    const SourceNode& cur = d.nodes[static_cast<size_t>(at)];
    int found = -1;
    for (int c : cur.children) {
      const auto& child_name = d.nodes[static_cast<size_t>(c)].name;
      if (!child_name || *child_name != name) continue;
      if (found >= 0) {
        return Status::InvalidArgument("path " + Shown(std::string(path)) + ": two children of \"" +
                                       cur.where + "\" are named " + Shown(name));
      }
      found = c;
    }
    if (found < 0) {
      return Status::InvalidArgument("path " + Shown(std::string(path)) + ": \"" + cur.where +
                                     "\" has no child named " + Shown(name));
    }
    at = found;
  }
  if (!any) return Status::InvalidArgument("empty path");
  return at;
}

Status ResolvePaths(SourceDico* d) {
  for (SourceNode& n : d->nodes) {
    for (const PendingPath& p : n.paths) {
      auto target = ResolvePath(*d, p.path);
      if (!target.ok()) {
        return NodeError(n, "attribute \"" + p.attribute + "\": " + target.status().message());
      }
      n.SetU32(p.offset, d->nodes[static_cast<size_t>(*target)].Id());
    }
  }
  return Status::Ok();
}

Status BuildArrays(SourceDico* d) {
  std::array<std::vector<const SourceNode*>, kKindCount> by_kind;
  for (const SourceNode& n : d->nodes) by_kind[static_cast<size_t>(n.kind)].push_back(&n);
  Interner interner(&d->image.pool);
  for (int k = 0; k < kKindCount; ++k) {
    auto& array = d->image.arrays[static_cast<size_t>(k)];
    array.clear();
    for (const SourceNode* n : by_kind[static_cast<size_t>(k)]) {
      std::vector<uint8_t> image = n->image;
      auto texts = n->texts;
      std::stable_sort(texts.begin(), texts.end(),
                       [](const auto& a, const auto& b) { return a.first < b.first; });
      for (const auto& [offset, text] : texts) {
        auto ref = interner.Intern(text);
        if (!ref.ok()) return ref.status();
        StoreLE32(image.data() + offset, static_cast<uint32_t>(*ref));
      }
      array.insert(array.end(), image.begin(), image.end());
    }
  }
  return Status::Ok();
}

}  // namespace tavelnor::dico::source
