// The attribute export: the documented attributes of each kind in their
// order, optional and empty values, and the whole dictionary exported once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "dico/attribute_export.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::LoadedDico;

// --- attribute export ----------------------------------------------------------------------

using Attrs = std::vector<std::pair<std::string, std::string>>;

class AttributeExport : public ::testing::Test {
 protected:
  void SetUp() override {
    b_.AddCountry("France", 3);
    b_.AddCountry("Suisse", 7);
    b_.AddMacro("Paie", 1);
    t_ = b_.AddTable("Ventes");
    f_ = b_.AddField(t_.data, "Montant", 7, 8, 30);
    b_.SetString(f_, base::kHeader, "Montant HT");
    b_.SetWord(f_, base::kFlags, 0x10008);
    b_.SetWord(f_, base::kInternalFlags, 0x0080001F);
    b_.SetByte(f_, base::kCountries, 0x80 | 0x08);
    b_.SetByte(f_, base::kCountries + 1, 0x80);
    b_.SetByte(f_, base::kMacros, 0x01);
    b_.SetString(f_, 71, "Double");
    b_.SetByte(f_, 84, 2);
    b_.SetString(f_, 85, "Montants");
    std::memcpy(b_.Image(f_) + 116, "99999999", 8);
    plain_ = b_.AddField(t_.data, "Code", 0, 4, 38);
    b_.SetByte(plain_, 99, 3);
    b_.SetWord(plain_, base::kFlags, 0x10000);
  }

  static Attrs Export(const DDicoBase* o) {
    AttrNode node;
    o->ExportAttributes(node);
    return node.attributes;
  }
  static std::string Get(const Attrs& a, const std::string& key) {
    for (const auto& [k, v] : a) {
      if (k == key) return v;
    }
    return "(absent)";
  }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_;
  uint32_t f_ = 0, plain_ = 0;
};

TEST_F(AttributeExport, FieldAttributesInTheirOrder) {
  LoadedDico l(b_);
  const std::string id = std::to_string(f_);
  const Attrs want = {
      {"isa", "Variable"}, {"usertype", "2"}, {"accel", id}, {"name", "Montant"},
      {"ddfname", "Montant"}, {"header", "Montant HT"}, {"desc", "Montant HT"},
      {"flags", "0x10008"}, {"btrflags", "0x8"}, {"internalflags", "0x820000"},
      {"macros", "Paie"}, {"countriesexclude", "false"}, {"countries", "France,Suisse"},
      {"class", ""}, {"diskoffset", "30"}, {"size", "8"}, {"type", "7"}, {"typestr", "Double"},
      {"nbitems", "1"}, {"internalsize", "8"}, {"linkedto", ""}, {"formula", ""}, {"mask", ""},
      {"precision", "2"}, {"category", "Montants"}, {"stringtable", ""}, {"numfunc", ""},
      {"format", ""}, {"fieldid", ""}, {"controlsize", ""}, {"controlchar", ""}, {"min", ""},
      {"max", "99999999"},
      {std::string(kAbsentAttribute), "ddfname,desc,formula,mask,stringtable,controlchar"}};
  EXPECT_EQ(Export(l[f_]), want);
}

TEST_F(AttributeExport, OptionalAttributesAppearOnlyWhenSet) {
  LoadedDico l(b_);
  const Attrs a = Export(l[plain_]);
  EXPECT_EQ(Get(a, "masterindex"), "3");
  EXPECT_EQ(Get(a, "btrflags"), "(absent)") << "low 16 bits of the flags are zero";
  EXPECT_EQ(Get(a, "flags"), "0x10000");
  EXPECT_EQ(Get(a, "internalflags"), "0x20000") << "read from a file";
  EXPECT_EQ(Get(a, "countries"), "");
  EXPECT_EQ(Get(a, "type"), "");
  EXPECT_EQ(Get(a, "precision"), "-1");
  EXPECT_EQ(Get(Export(l[f_]), "masterindex"), "(absent)") << "-1 means none";
}

TEST_F(AttributeExport, ContainersCarryTheirClassAttributesAndChildren) {
  b_.SetString(b_.root(), 68, "dat");
  b_.SetByte(b_.root(), 67, 2);
  b_.SetString(t_.table, 83, "VENTES.DAT");
  b_.SetWord(t_.table, 87, 5);
  LoadedDico l(b_);
  AttrNode root;
  l.h.Root()->ExportAttributes(root);
  EXPECT_EQ(Get(root.attributes, "isa"), "Dico");
  EXPECT_EQ(Get(root.attributes, "defprecision"), "2");
  EXPECT_EQ(Get(root.attributes, "defextension"), "dat");
  EXPECT_EQ(Get(root.attributes, "nativelanguage"), "1036");
  ASSERT_EQ(root.children.size(), 2u) << "the table and the system rubric";
  const AttrNode& table = root.children[0];
  EXPECT_EQ(Get(table.attributes, "isa"), "Rubric");
  EXPECT_EQ(Get(table.attributes, "pagesize"), "512");
  EXPECT_EQ(Get(table.attributes, "deffilename"), "VENTES.DAT");
  EXPECT_EQ(Get(table.attributes, "versionsystem"), "5");
  EXPECT_EQ(Get(table.attributes, "versionuser"), "");
  EXPECT_EQ(Get(table.attributes, std::string(kAbsentAttribute)), "ddfname,header,desc");
  ASSERT_EQ(table.children.size(), 3u);
  EXPECT_EQ(Get(table.children[0].attributes, "isa"), "TitleData");
  EXPECT_EQ(table.children[0].children.size(), 2u);
  EXPECT_EQ(Get(root.children[1].attributes, "isa"), "System");
}

TEST(AttributeExportKinds, EveryKindNamesItselfAndItsGroup) {
  constexpr const char* kNodes[kKindCount] = {
      "Dico", "Rubric", "System", "Struct", "Class", "DialogBox", "TitleVar",
      "TitleKey", "TitleLink", "TitleData", "Key", "Link", "VarPerso", "VarStruct",
      "VarStructInNode", "VarStructInArray", "VarArray", "VarArrayInStruct", "Variable",
      "VarInNode", "VarInArray", "VarInPerso", "Segment", "SegmentAttached", "SubLink",
      "SubLinkAttached", "VarInSystem", "TitleMemory"};
  constexpr int kGroups[kKindCount] = {7, 1, 1, 4, 4, 1, 7, 7, 7, 7, 7, 7, 3, 5,
                                       5, 5, 7, 7, 2, 2, 2, 2, 6, 6, 6, 6, 2, 7};
  DicoTestBuilder b;
  std::vector<uint32_t> ids(kKindCount, b.root());
  for (int k = 1; k < kKindCount; ++k) ids[static_cast<size_t>(k)] = b.Add(k, b.root(), "O");
  LoadedDico l(b);
  for (int k = 0; k < kKindCount; ++k) {
    AttrNode node;
    const DDicoBase* o = l[ids[static_cast<size_t>(k)]];
    ASSERT_EQ(o->Kind(), k);
    o->ExportAttributes(node);
    EXPECT_EQ(*node.Find("isa"), kNodes[k]) << k;
    EXPECT_EQ(*node.Find("usertype"), std::to_string(kGroups[k])) << k;
    EXPECT_EQ(node.name, "node");
  }
}

size_t CountNodes(const AttrNode& node) {
  size_t n = 1;
  for (const AttrNode& c : node.children) n += CountNodes(c);
  return n;
}

TEST(ExportDictionaryAll, EveryObjectIsExportedOnce) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  b.AddField(t.data, "A", 0, 4);
  // Outside the root's tree: a structure field with a child, a key whose
  // parent word names that structure field although its child chain does
  // not hold it, and an object whose parent does not exist.
  const uint32_t vs = b.Add(kVarStruct, 0, "Detache");
  b.AddField(vs, "Dedans", 0, 4);
  const uint32_t key = b.Add(kKey, 0, "Egaree");
  b.SetWord(key, base::kParent, vs);
  const uint32_t lost = b.Add(kLink, 0, "Perdu");
  b.SetWord(lost, base::kParent, 4242);
  LoadedDico l(b);
  const DicoExport e = ExportDictionary(l.h);
  size_t total = CountNodes(e.root);
  std::vector<std::string> detached;
  for (const AttrNode& d : e.detached) {
    total += CountNodes(d);
    detached.push_back(*d.Find("name"));
  }
  EXPECT_EQ(total, l.h.ObjectCount());
  std::sort(detached.begin(), detached.end());
  EXPECT_EQ(detached, (std::vector<std::string>{"Detache", "Egaree", "Perdu"}));
}

}  // namespace
}  // namespace tavelnor::dico
