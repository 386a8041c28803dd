// The dictionary object model: the tree (containers, descendants, damaged
// links), countries and macros, the record layout, the attribute export and
// the creation of objects in memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dico/attribute_export.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "foundation/string_resources.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;

class Loaded {
 public:
  explicit Loaded(const DicoTestBuilder& b, int level = 11) {
    lang_ = ResourceLanguage();
    SetResourceLanguage(kLangFrench);
    EXPECT_EQ(h.LoadImage(b.Bytes(level), kLoadNameIndex), LoadResult::kLoaded)
        << h.LastLoadStatus().ToString();
  }
  ~Loaded() { SetResourceLanguage(lang_); }
  DDicoBase* operator[](uint32_t id) { return h.FindById(id); }

  DDicoHandler h;

 private:
  uint16_t lang_;
};

std::vector<uint32_t> Ids(const std::vector<DDicoBase*>& objects) {
  std::vector<uint32_t> out;
  for (const DDicoBase* o : objects) out.push_back(o->Id());
  return out;
}

std::vector<uint32_t> Walk(DDicoBase* from, Selector selector) {
  std::vector<uint32_t> out;
  for (DDicoBase* d = from->FirstDescendant(selector); d && out.size() < 1000;
       d = from->NextDescendant(d)) {
    out.push_back(d->Id());
  }
  return out;
}

// --- the tree ------------------------------------------------------------------

TEST(ObjectTree, ContainerIsTheNearestRubricLikeAncestor) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t vs = b.Add(kVarStruct, t.data, "VS");
  const uint32_t inner = b.AddField(vs, "F", 0, 4);
  const uint32_t st = b.Add(kStruct, b.root(), "S");
  const uint32_t in_struct = b.AddField(st, "G", 0, 4);
  Loaded l(b);
  EXPECT_EQ(l[inner]->GetContainer(), l[t.table]);
  EXPECT_EQ(l[t.data]->GetContainer(), l[t.table]);
  EXPECT_EQ(l[t.table]->GetContainer(), l[t.table]) << "a container is its own";
  EXPECT_EQ(l[in_struct]->GetContainer(), l[st]);
  EXPECT_EQ(l.h.Root()->GetContainer(), nullptr);
  EXPECT_EQ(l[inner]->GetParent(), l[vs]);
  EXPECT_EQ(l.h.Root()->GetParent(), nullptr);
}

TEST(ObjectTree, DanglingParentEndsTheSearchForAContainer) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t orphan = b.AddField(t.data, "Orphelin", 0, 4);
  b.SetWord(orphan, base::kParent, 9999);
  const uint32_t vs = b.Add(kVarStruct, t.data, "VS");
  const uint32_t below = b.AddField(vs, "Dessous", 0, 4);
  b.SetWord(vs, base::kParent, 8888);
  Loaded l(b);
  EXPECT_EQ(l[orphan]->GetParent(), nullptr);
  EXPECT_EQ(l[orphan]->GetContainer(), nullptr);
  EXPECT_EQ(l[below]->GetParent(), l[vs]);
  EXPECT_EQ(l[below]->GetContainer(), nullptr);
  // Still a child of its title node through the sibling chain.
  EXPECT_EQ(Ids(l[t.data]->Children()), (std::vector<uint32_t>{orphan, vs}));
}

TEST(ObjectTree, CycleOfParentsHasNoContainer) {
  DicoTestBuilder b;
  const uint32_t a = b.AddField(b.root(), "A", 0, 4);
  const uint32_t c = b.AddField(b.root(), "C", 0, 4);
  b.SetWord(a, base::kParent, c);
  b.SetWord(c, base::kParent, a);
  Loaded l(b);
  EXPECT_EQ(l[a]->GetContainer(), nullptr);
  EXPECT_EQ(l[c]->GetContainer(), nullptr);
}

TEST(ObjectTree, ChildrenFollowTheSiblingChain) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t f1 = b.AddField(t.data, "A", 0, 4);
  const uint32_t f2 = b.AddField(t.data, "B", 0, 4);
  const uint32_t f3 = b.AddField(t.data, "C", 0, 4);
  // The chain, not the array order, gives the order.
  b.SetWord(t.data, base::kFirstChild, f3);
  b.SetWord(f3, base::kNextSibling, f1);
  b.SetWord(f1, base::kNextSibling, f2);
  b.SetWord(f2, base::kNextSibling, 0);
  Loaded l(b);
  EXPECT_EQ(Ids(l[t.data]->Children()), (std::vector<uint32_t>{f3, f1, f2}));
  EXPECT_EQ(l[f3]->GetNextSibling(), l[f1]);
  EXPECT_EQ(l[f2]->GetNextSibling(), nullptr);
  EXPECT_EQ(l[t.data]->GetFirstChild(), l[f3]);
}

// A table with keys and links, a structure field holding a key (entered by
// the walk), and a nested structure container holding one (not entered).
class DescendantTest : public ::testing::Test {
 protected:
  void SetUp() override {
    t_ = b_.AddTable("T");
    vs_ = b_.Add(kVarStruct, t_.data, "VS");
    deep_ = b_.AddKey(vs_, "Profonde");
    st_ = b_.Add(kStruct, t_.data, "S");
    hidden_ = b_.AddKey(st_, "Cachee");
    hidden_link_ = b_.Add(kLink, st_, "LienCache");
    f_ = b_.AddField(t_.data, "F", 0, 4);
    k1_ = b_.AddKey(t_.keys, "K1");
    seg_ = b_.AddSegment(k1_, "F", f_, 0);
    k2_ = b_.AddKey(t_.keys, "K2");
    l1_ = b_.Add(kLink, t_.links, "L1");
    sub_ = b_.Add(kSubLink, l1_, "Sub");
    other_ = b_.AddTable("Autre");
    other_key_ = b_.AddKey(other_.keys, "KAutre");
    loaded_ = std::make_unique<Loaded>(b_);
  }
  DDicoBase* At(uint32_t id) { return (*loaded_)[id]; }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_, other_;
  uint32_t vs_ = 0, deep_ = 0, st_ = 0, hidden_ = 0, hidden_link_ = 0, f_ = 0, k1_ = 0,
           seg_ = 0, k2_ = 0, l1_ = 0, sub_ = 0, other_key_ = 0;
  std::unique_ptr<Loaded> loaded_;
};

TEST_F(DescendantTest, KeysOfATableInDepthFirstOrder) {
  EXPECT_EQ(Walk(At(t_.table), Selector::kKeys), (std::vector<uint32_t>{deep_, k1_, k2_}));
}

TEST_F(DescendantTest, LinksOfATable) {
  EXPECT_EQ(Walk(At(t_.table), Selector::kLinks), std::vector<uint32_t>{l1_});
}

TEST_F(DescendantTest, SegmentsAndLinkParts) {
  EXPECT_EQ(Walk(At(t_.table), Selector::kSegments), (std::vector<uint32_t>{seg_, sub_}));
}

TEST_F(DescendantTest, NestedContainerIsVisitedButNotEntered) {
  const auto all = Walk(At(t_.table), Selector::kAll);
  EXPECT_NE(std::find(all.begin(), all.end(), st_), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), hidden_), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), hidden_link_), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), other_key_), all.end()) << "stays below the table";
  EXPECT_EQ(all.size(), 12u);
}

TEST_F(DescendantTest, WalkFromTheNestedContainerItselfEntersIt) {
  EXPECT_EQ(Walk(At(st_), Selector::kKeys), std::vector<uint32_t>{hidden_});
  EXPECT_EQ(Walk(At(st_), Selector::kLinks), std::vector<uint32_t>{hidden_link_});
}

TEST_F(DescendantTest, WalkBelowATitleNodeStaysBelowIt) {
  EXPECT_EQ(Walk(At(t_.keys), Selector::kKeys), (std::vector<uint32_t>{k1_, k2_}));
  EXPECT_EQ(Walk(At(t_.links), Selector::kKeys), std::vector<uint32_t>{});
  EXPECT_EQ(Walk(At(f_), Selector::kAll), std::vector<uint32_t>{});
}

TEST_F(DescendantTest, FieldSelectorsTellFieldsFromStructures) {
  EXPECT_EQ(Walk(At(t_.table), Selector::kVariables), std::vector<uint32_t>{f_});
  EXPECT_EQ(Walk(At(t_.table), Selector::kFields), (std::vector<uint32_t>{vs_, f_}));
}

// Walks of the tree (layout, export, descendants) recurse or loop along the
// child and sibling links: a load refuses links that do not form a forest.
struct TreeDamageCase {
  const char* name;
  int level;
  void (*damage)(DicoTestBuilder& b, const DicoTestBuilder::Table& t, uint32_t f, uint32_t g);
};

class ObjectTreeDamage : public ::testing::TestWithParam<TreeDamageCase> {};

TEST_P(ObjectTreeDamage, LoadRefusesTheTree) {
  const TreeDamageCase& c = GetParam();
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t f = b.AddField(t.data, "F", 0, 4);
  const uint32_t g = b.AddField(t.data, "G", 0, 4);
  b.AddVarPerso(t.data, "Zone", 10, 8);
  c.damage(b, t, f, g);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(c.level), kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(h.LastLoadStatus().code(), Status::Code::kCorrupt) << h.LastLoadStatus().ToString();
  EXPECT_EQ(h.Root(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Links, ObjectTreeDamage,
    ::testing::Values(
        TreeDamageCase{"SiblingCycle", 11,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table&, uint32_t f, uint32_t g) {
                         b.SetWord(g, base::kNextSibling, f);
                       }},
        TreeDamageCase{"SelfSibling", 11,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table&, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kNextSibling, f);
                       }},
        TreeDamageCase{"ChildIsAnAncestorAtLevel8", 8,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table& t, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kFirstChild, t.data);
                       }},
        TreeDamageCase{"ChildIsAnAncestorAtLevel11", 11,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table& t, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kFirstChild, t.table);
                       }},
        TreeDamageCase{"ChildSharedByTwoParents", 11,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table&, uint32_t f, uint32_t g) {
                         b.SetWord(f, base::kFirstChild, g);
                       }},
        TreeDamageCase{"DetachedLoop", 11,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table&, uint32_t, uint32_t) {
                         const uint32_t x = b.Add(kKey, 0, "X");
                         const uint32_t y = b.Add(kKey, x, "Y");
                         b.SetWord(y, base::kFirstChild, x);
                       }},
        TreeDamageCase{"VeryDeepNesting", 8,
                       [](DicoTestBuilder& b, const DicoTestBuilder::Table& t, uint32_t, uint32_t) {
                         uint32_t parent = t.data;
                         for (int i = 0; i < 100000; ++i) parent = b.Add(kVarStruct, parent, "");
                       }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ObjectTreeDepth, OrdinaryNestingLoads) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  uint32_t parent = t.data;
  for (int i = 0; i < 40; ++i) parent = b.Add(kVarStruct, parent, "S" + std::to_string(i));
  const uint32_t leaf = b.AddField(parent, "Feuille", 0, 4);
  Loaded l(b);
  EXPECT_EQ(l[leaf]->GetContainer(), l[t.table]);
  EXPECT_EQ(static_cast<DRubricTable*>(l[t.table])->RecomputeSize(), 4u);
}

// --- countries and macros -----------------------------------------------------------

class CountriesTest : public ::testing::Test {
 protected:
  void Load(DicoTestBuilder& b) {
    obj_ = b.AddField(b.AddTable("T").data, "F", 0, 4);
    loaded_ = std::make_unique<Loaded>(b);
  }
  DDicoBase* Obj() { return (*loaded_)[obj_]; }
  std::pair<int, int> Bytes() {
    return {Obj()->Byte(base::kCountries), Obj()->Byte(base::kCountries + 1)};
  }
  DDicoHandler& H() { return loaded_->h; }

  uint32_t obj_ = 0;
  std::unique_ptr<Loaded> loaded_;
};

TEST_F(CountriesTest, EachCodeSetsItsBit) {
  DicoTestBuilder b;
  for (int code = 1; code <= 13; ++code) b.AddCountry("C" + std::to_string(code), code);
  Load(b);
  struct Case {
    int code;
    int byte0, byte1;
  };
  for (const Case& c : {Case{1, 0xA0, 0}, Case{2, 0x90, 0}, Case{5, 0x82, 0}, Case{6, 0x81, 0},
                        Case{7, 0x80, 0x80}, Case{8, 0x80, 0x40}, Case{12, 0x80, 0x04},
                        Case{13, 0x80, 0x02}}) {
    Obj()->SetCountries({"C" + std::to_string(c.code)}, false);
    EXPECT_EQ(Bytes(), std::make_pair(c.byte0, c.byte1)) << "code " << c.code;
    EXPECT_TRUE(Obj()->HasCountry(c.code));
    EXPECT_EQ(Obj()->CountryNames(), std::vector<std::string>{"C" + std::to_string(c.code)});
  }
  Obj()->SetCountries({"C13", "C1", "C7"}, true);
  EXPECT_EQ(Bytes(), std::make_pair(0xE0, 0x82));
  EXPECT_TRUE(Obj()->CountriesExclude());
  EXPECT_TRUE(Obj()->HasCountryRestriction());
  EXPECT_EQ(Obj()->CountryNames(), (std::vector<std::string>{"C1", "C7", "C13"}));
  Obj()->SetCountries({}, false);
  EXPECT_EQ(Bytes(), std::make_pair(0, 0));
  EXPECT_FALSE(Obj()->HasCountryRestriction());
}

TEST_F(CountriesTest, FourteenthCountryGetsCode14AndNoBit) {
  DicoTestBuilder b;
  for (int code = 1; code <= 13; ++code) b.AddCountry("C" + std::to_string(code), code);
  Load(b);
  Obj()->SetCountries({"C2"}, false);
  const auto before = Bytes();
  Obj()->SetCountries({"C2", "Quatorzieme"}, false);
  EXPECT_EQ(H().Countries().at("Quatorzieme"), 14);
  EXPECT_EQ(Bytes(), before);
  EXPECT_FALSE(Obj()->HasCountry(14));
  EXPECT_EQ(Obj()->CountryNames(), std::vector<std::string>{"C2"});
}

TEST_F(CountriesTest, NewNamesTakeTheLowestFreeCode) {
  DicoTestBuilder b;
  b.AddCountry("Un", 1);
  b.AddCountry("Deux", 2);
  b.AddCountry("Quatre", 4);
  b.AddMacro("M2", 2);
  Load(b);
  Obj()->SetCountries({"Trois"}, false);
  EXPECT_EQ(H().Countries().at("Trois"), 3);
  EXPECT_EQ(Bytes(), std::make_pair(0x88, 0));
  Obj()->SetCountries({"Cinq"}, false);
  EXPECT_EQ(H().Countries().at("Cinq"), 5);
  Obj()->SetMacros({"Nouvelle"});
  EXPECT_EQ(H().Macros().at("Nouvelle"), 1);
  EXPECT_EQ(Obj()->Byte(base::kMacros), 0x01);
}

TEST_F(CountriesTest, MacroCodesSetBitsAndTheEighthHasNone) {
  DicoTestBuilder b;
  for (int code = 1; code <= 7; ++code) b.AddMacro("M" + std::to_string(code), code);
  Load(b);
  Obj()->SetMacros({"M1", "M7"});
  EXPECT_EQ(Obj()->Byte(base::kMacros), 0x41);
  EXPECT_EQ(Obj()->MacroNames(), (std::vector<std::string>{"M1", "M7"}));
  Obj()->SetMacros({"M3", "Huitieme"});
  EXPECT_EQ(H().Macros().at("Huitieme"), 8);
  EXPECT_EQ(Obj()->Byte(base::kMacros), 0x04);
  EXPECT_FALSE(Obj()->HasMacro(8));
  Obj()->SetMacros({});
  EXPECT_EQ(Obj()->Byte(base::kMacros), 0);
}

// --- record layout --------------------------------------------------------------------

constexpr uint32_t kAny = UINT32_MAX;

struct Piece {
  int kind;
  uint32_t size;
  uint16_t items;
  uint32_t class_code;
  uint32_t iflags;
  int parent;       // index of an earlier piece, -1 for the record-layout node
  uint32_t offset;  // expected offset, kAny when not checked
};

struct LayoutCase {
  const char* name;
  std::vector<Piece> pieces;
  uint32_t record_size;
};

Piece F(uint32_t size, uint32_t offset, int parent = -1) {
  return {kVariable, size, 1, 0, 0, parent, offset};
}

class RecordLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(RecordLayout, OffsetsAndSizeFollowTheTree) {
  const LayoutCase& c = GetParam();
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  std::vector<uint32_t> ids;
  for (const Piece& p : c.pieces) {
    const uint32_t parent = p.parent < 0 ? t.data : ids[static_cast<size_t>(p.parent)];
    uint32_t id = 0;
    const std::string name = "P" + std::to_string(ids.size());
    if (p.kind == kVarPerso) {
      id = b.AddVarPerso(parent, name, p.size, 999);
    } else if (GetKindInfo(p.kind).image_type == ImageType::kVariable) {
      id = b.AddField(parent, name, 0, p.size, 999, p.class_code, p.kind);
      b.SetHalf(id, 89, p.items);
    } else {
      id = b.Add(p.kind, parent, name);
      b.SetHalf(id, 67, p.items);
      b.SetWord(id, 69, p.class_code);
    }
    b.SetWord(id, base::kInternalFlags, p.iflags);
    ids.push_back(id);
  }
  Loaded l(b);
  auto* table = static_cast<DRubricTable*>(l[t.table]);
  EXPECT_EQ(table->RecomputeSize(), c.record_size);
  EXPECT_EQ(table->GetRecordLength(), c.record_size);
  for (size_t i = 0; i < c.pieces.size(); ++i) {
    if (c.pieces[i].offset == kAny) continue;
    EXPECT_EQ(l[ids[i]]->DiskOffset(), c.pieces[i].offset) << "piece " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RecordLayout,
    ::testing::Values(
        LayoutCase{"FieldsFollowEachOther", {F(4, 0), F(10, 4), F(8, 14)}, 22},
        LayoutCase{"CalcFieldTakesTheNextOffsetAndNoSpace",
                   {F(4, 0), {kVariable, 6, 1, 3, 0, -1, 4}, F(10, 4), F(8, 14)}, 22},
        LayoutCase{"RecapAndCallBackFieldsTakeNoSpace",
                   {{kVariable, 5, 1, 4, 0, -1, 0}, {kVariable, 7, 1, 6, 0, -1, 0}, F(1, 0)}, 1},
        LayoutCase{"DialogAndExtensionFieldsTakeSpace",
                   {{kVariable, 4, 1, 7, 0, -1, 0}, {kVariable, 4, 1, 1, 0, -1, 4}, F(2, 8)}, 10},
        LayoutCase{"ItemsMultiplyTheUnitSize", {{kVariable, 2, 5, 0, 0, -1, 0}, F(4, 10)}, 14},
        LayoutCase{"UserAreaTakesExactlyItsSize",
                   {F(20, 0), {kVarPerso, 100, 1, 0, 0, -1, 20},
                    {kVarInPerso, 10, 1, 0, 0, 1, 20}, {kVarInPerso, 10, 1, 0, 0, 1, 30}, F(4, 120)},
                   124},
        LayoutCase{"NoSizeFlagAddsNothing",
                   {F(4, 0), {kVariable, 8, 1, 0, 0x80000, -1, kAny}, F(6, kAny)}, 10},
        LayoutCase{"RuntimeBit0AddsNothing",
                   {F(4, 0), {kVariable, 8, 1, 0, 0x1, -1, kAny}, F(6, kAny)}, 10},
        LayoutCase{"StructureOccupiesItsChildren",
                   {F(4, 0), {kVarStruct, 0, 1, 0, 0, -1, kAny}, F(3, 4, 1), F(5, 7, 1), F(2, 12)},
                   14},
        LayoutCase{"ArrayOccupiesItemTimesLength",
                   {{kVarArray, 0, 5, 0, 0, -1, kAny}, {kVarInArray, 2, 5, 0, 0, 0, 0}, F(4, 10)},
                   14}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RecordLayoutParts, CalcFieldComputesNoSize) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t calc = b.AddField(t.data, "Calc", 0, 6, 0, 3);
  const uint32_t user = b.AddVarPerso(t.data, "Zone", 100, 0);
  b.AddField(user, "P", 0, 300, 0, 0, kVarInPerso);
  Loaded l(b);
  EXPECT_EQ(l[calc]->ComputeSize(), 0u);
  EXPECT_EQ(l[user]->ComputeSize(), 100u) << "a user area keeps its size, whatever it holds";
}

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
  Loaded l(b_);
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
      {"max", "99999999"}, {std::string(kAbsentAttribute), "ddfname,desc"}};
  EXPECT_EQ(Export(l[f_]), want);
}

TEST_F(AttributeExport, OptionalAttributesAppearOnlyWhenSet) {
  Loaded l(b_);
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
  Loaded l(b_);
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
  Loaded l(b);
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

// --- objects created in memory --------------------------------------------------------------

TEST(CreateObject, AppendsAsLastChildWithTheNextIdentifier) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t a = b.AddField(t.data, "A", 0, 4);
  b.image().last_id = 500;
  Loaded l(b);
  DDicoHandler& h = l.h;
  const uint32_t before = h.LastId();
  ASSERT_GE(before, 500u);
  DDicoBase* o = h.CreateObject(kVariable, l[t.data], "Nouveau");
  ASSERT_NE(o, nullptr);
  EXPECT_EQ(o->Id(), before + 1);
  EXPECT_EQ(h.LastId(), before + 1);
  EXPECT_EQ(h.FindById(o->Id()), o);
  EXPECT_EQ(o->GetParent(), l[t.data]);
  EXPECT_EQ(l[a]->GetNextSibling(), o);
  EXPECT_EQ(Ids(l[t.data]->Children()), (std::vector<uint32_t>{a, o->Id()}));
  EXPECT_EQ(h.FindByName(t.table, 2, "NOUVEAU"), o);
  EXPECT_EQ(o->GetContainer(), l[t.table]);
  // Creation values.
  EXPECT_EQ(o->TypeCode(), 0xFFu);
  EXPECT_EQ(static_cast<DVariable*>(o)->Precision(), -1);
  EXPECT_EQ(static_cast<DVariable*>(o)->MasterIndex(), -1);
  EXPECT_EQ(o->NbItems(), 1u);
  // Under an object without children it becomes the first child.
  DDicoBase* key = h.CreateObject(kKey, l[t.keys], "Clef");
  EXPECT_EQ(l[t.keys]->GetFirstChild(), key);
  EXPECT_EQ(key->Id(), before + 2);
}

TEST(CreateObject, SystemOptionTakesTheProcessCounter) {
  DicoTestBuilder b;
  Loaded l(b);
  const uint32_t last = l.h.LastId();
  SystemIdCounter() = 0x300000;
  DDicoBase* o = l.h.CreateObject(kVarInSystem, l.h.FindById(kSystemIdBase), "Extra", true);
  EXPECT_EQ(o->Id(), 0x300000u);
  EXPECT_EQ(SystemIdCounter().load(), 0x300001u);
  EXPECT_EQ(l.h.LastId(), last);
  EXPECT_EQ(l.h.FindById(0x300000), o);
}

TEST(CreateObject, ClassDefaultsOfOtherKinds) {
  DicoTestBuilder b;
  Loaded l(b);
  auto* table = static_cast<DRubricTable*>(l.h.CreateObject(kRubricTable, l.h.Root(), "Nouvelle"));
  EXPECT_EQ(table->GetPageSize(), 512u);
  DDicoBase* seg = l.h.CreateObject(kSegment, table, "S");
  EXPECT_EQ(seg->TypeCode(), 0xFFu);
  DDicoBase* array = l.h.CreateObject(kVarArray, table, "A");
  EXPECT_EQ(array->NbItems(), 1u);
  EXPECT_EQ(l.h.FindTable("nouvelle"), table);
  EXPECT_EQ(table->GetName().str(), "Nouvelle");
}

}  // namespace
}  // namespace tavelnor::dico
