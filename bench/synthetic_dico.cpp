#include "bench/synthetic_dico.h"

#include <string>
#include <unordered_map>

#include "foundation/byte_reader.h"

namespace tavelnor::bench {
namespace {

using namespace tavelnor::dico;

class Builder {
 public:
  explicit Builder(DicoImage* img) : img_(img) { img_->pool.push_back(0); }

  // Appends an object of `kind` under `parent` (0 for none); returns its id.
  uint32_t Add(int kind, uint32_t parent, const std::string& name, const std::string& header) {
    auto& arr = img_->arrays[static_cast<size_t>(kind)];
    const uint32_t size = GetKindInfo(kind).image_size;
    const size_t at = arr.size();
    arr.resize(at + size, 0);
    const uint32_t id = ++img_->last_id;
    uint8_t* p = arr.data() + at;
    StoreLE32(p + base::kId, id);
    StoreLE32(p + base::kParent, parent);
    StoreLE32(p + base::kName, static_cast<uint32_t>(Intern(name)));
    if (!header.empty()) StoreLE32(p + base::kHeader, static_cast<uint32_t>(Intern(header)));
    where_[id] = {kind, at};
    if (parent) {
      auto& last = last_child_[parent];
      if (last) {
        StoreLE32(Image(last) + base::kNextSibling, id);
      } else {
        StoreLE32(Image(parent) + base::kFirstChild, id);
      }
      last = id;
    }
    return id;
  }
  uint8_t* Image(uint32_t id) {
    const auto& w = where_.at(id);
    return img_->arrays[static_cast<size_t>(w.first)].data() + w.second;
  }

 private:
  int32_t Intern(const std::string& s) {
    if (auto b = BuiltinStringRef(s)) return b;
    auto it = interned_.find(s);
    if (it != interned_.end()) return it->second;
    const auto off = static_cast<int32_t>(img_->pool.size());
    img_->pool.insert(img_->pool.end(), s.begin(), s.end());
    img_->pool.push_back(0);
    interned_.emplace(s, off);
    return off;
  }

  DicoImage* img_;
  std::unordered_map<std::string, int32_t> interned_;
  std::unordered_map<uint32_t, std::pair<int, size_t>> where_;
  std::unordered_map<uint32_t, uint32_t> last_child_;
};

}  // namespace

DicoImage MakeSyntheticDico(uint32_t tables, uint32_t fields) {
  DicoImage img;
  Builder b(&img);
  const uint32_t root = b.Add(kDico, 0, "Synthese", "Dictionnaire de synth\xE8se");
  StoreLE16(b.Image(root) + 72, 1036);
  for (uint32_t t = 1; t <= tables; ++t) {
    const std::string tn = "T" + std::to_string(t);
    const uint32_t table = b.Add(kRubricTable, root, tn, "Table " + std::to_string(t));
    StoreLE32(b.Image(table) + 67, 4096);
    const uint32_t data = b.Add(kTitleData, table, "Lesdonnees", "");
    std::vector<uint32_t> field_ids;
    uint32_t offset = 0;
    for (uint32_t f = 1; f <= fields; ++f) {
      const uint32_t id = b.Add(kVariable, data, "Champ" + std::to_string(f),
                                "Champ " + std::to_string(f) + " de la table " + std::to_string(t));
      uint8_t* p = b.Image(id);
      p[79] = static_cast<uint8_t>(f % 3 == 0 ? 0 : 1);
      StoreLE32(p + base::kUnitSize, f % 3 == 0 ? 20 : 4);
      StoreLE16(p + 89, 1);
      StoreLE32(p + 91, offset);
      p[84] = 0xFF;
      p[99] = 0xFF;
      offset += f % 3 == 0 ? 20 : 4;
      field_ids.push_back(id);
    }
    StoreLE32(b.Image(table) + base::kUnitSize, offset);
    const uint32_t keys = b.Add(kTitleKey, table, "Les clefs", "");
    for (uint32_t k = 0; k < 3; ++k) {
      const uint32_t key = b.Add(kKey, keys, "Clef" + std::to_string(k), "");
      for (uint32_t s = 0; s < 2; ++s) {
        const uint32_t seg = b.Add(kSegmentAttached, key, "Seg" + std::to_string(s), "");
        StoreLE32(b.Image(seg) + base::kLinkedTo, field_ids[k * 2 + s]);
        b.Image(seg)[75] = 0xFF;
      }
    }
    const uint32_t links = b.Add(kTitleLink, table, "Les liens", "");
    for (uint32_t l = 0; l < 2; ++l) {
      const uint32_t link = b.Add(kLink, links, "Lien" + std::to_string(l), "");
      for (uint32_t s = 0; s < 2; ++s) {
        const uint32_t part = b.Add(kSubLinkAttached, link, "Sub" + std::to_string(s), "");
        StoreLE32(b.Image(part) + base::kLinkedTo, field_ids[6 + l * 2 + s]);
      }
    }
  }
  return img;
}

DicoImage MakeTypicalTableDico(uint32_t* record_length) {
  struct Kind {
    uint8_t type;
    uint32_t size;
    int count;
  };
  // Type codes: 0 text, 4 date, 29 currency, 12 fixed point, 1 long, 15 short, 33 memo.
  static constexpr Kind kKinds[] = {{0, 30, 8}, {4, 4, 5}, {29, 8, 5}, {12, 4, 4},
                                    {1, 4, 6},  {15, 2, 1}, {33, 8, 1}};
  DicoImage img;
  Builder b(&img);
  const uint32_t root = b.Add(kDico, 0, "Gestion", "");
  const uint32_t table = b.Add(kRubricTable, root, "Factures", "Factures");
  const uint32_t data = b.Add(kTitleData, table, "Lesdonnees", "");
  uint32_t offset = 0;
  int n = 0;
  for (const Kind& k : kKinds) {
    for (int i = 0; i < k.count; ++i) {
      const uint32_t id = b.Add(kVariable, data, "Champ" + std::to_string(++n), "");
      uint8_t* p = b.Image(id);
      p[79] = k.type;
      StoreLE32(p + base::kUnitSize, k.size);
      StoreLE16(p + 89, 1);
      StoreLE32(p + 91, offset);
      p[84] = 0xFF;
      p[99] = 0xFF;
      offset += k.size;
    }
  }
  StoreLE32(b.Image(table) + base::kUnitSize, offset);
  if (record_length != nullptr) *record_length = offset;
  return img;
}

}  // namespace tavelnor::bench
