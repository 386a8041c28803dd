// The dictionary object model: the tree (containers, descendants, damaged
// links) and the countries and macros of an object.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::IdsOf;
using testing::LoadedDico;
using Table = DicoTestBuilder::Table;

std::vector<uint32_t> Walk(DDicoBase* from, Selector selector) {
  std::vector<uint32_t> out;
  for (DDicoBase* d = from->FirstDescendant(selector); d && out.size() < 1000;
       d = from->NextDescendant(d)) {
    out.push_back(d->Id());
  }
  return out;
}

TEST(ObjectTree, ContainerIsTheNearestRubricLikeAncestor) {
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t vs = b.Add(kVarStruct, t.data, "VS");
  const uint32_t inner = b.AddField(vs, "F", 0, 4);
  const uint32_t st = b.Add(kStruct, b.root(), "S");
  const uint32_t in_struct = b.AddField(st, "G", 0, 4);
  LoadedDico l(b);
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
  LoadedDico l(b);
  EXPECT_EQ(l[orphan]->GetParent(), nullptr);
  EXPECT_EQ(l[orphan]->GetContainer(), nullptr);
  EXPECT_EQ(l[below]->GetParent(), l[vs]);
  EXPECT_EQ(l[below]->GetContainer(), nullptr);
  // Still a child of its title node through the sibling chain.
  EXPECT_EQ(IdsOf(l[t.data]->Children()), (std::vector<uint32_t>{orphan, vs}));
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
    loaded_ = std::make_unique<LoadedDico>(b_);
  }
  DDicoBase* At(uint32_t id) { return (*loaded_)[id]; }

  DicoTestBuilder b_;
  DicoTestBuilder::Table t_, other_;
  uint32_t vs_ = 0, deep_ = 0, st_ = 0, hidden_ = 0, hidden_link_ = 0, f_ = 0, k1_ = 0,
           seg_ = 0, k2_ = 0, l1_ = 0, sub_ = 0, other_key_ = 0;
  std::unique_ptr<LoadedDico> loaded_;
};

TEST_F(DescendantTest, SelectorsPickTheirKindsInDepthFirstOrder) {
  EXPECT_EQ(Walk(At(t_.table), Selector::kKeys), (std::vector<uint32_t>{deep_, k1_, k2_}));
  EXPECT_EQ(Walk(At(t_.table), Selector::kLinks), std::vector<uint32_t>{l1_});
  EXPECT_EQ(Walk(At(t_.table), Selector::kSegments), (std::vector<uint32_t>{seg_, sub_}));
  EXPECT_EQ(Walk(At(t_.table), Selector::kVariables), std::vector<uint32_t>{f_});
  EXPECT_EQ(Walk(At(t_.table), Selector::kFields), (std::vector<uint32_t>{vs_, f_}));
}

TEST_F(DescendantTest, NestedContainerIsVisitedButNotEntered) {
  const auto all = Walk(At(t_.table), Selector::kAll);
  EXPECT_NE(std::find(all.begin(), all.end(), st_), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), hidden_), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), hidden_link_), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), other_key_), all.end()) << "stays below the table";
  EXPECT_EQ(all.size(), 12u);
}

TEST_F(DescendantTest, WalkFromBelowATableEntersOnlyWhatIsBelow) {
  EXPECT_EQ(Walk(At(st_), Selector::kKeys), std::vector<uint32_t>{hidden_});
  EXPECT_EQ(Walk(At(st_), Selector::kLinks), std::vector<uint32_t>{hidden_link_});
  EXPECT_EQ(Walk(At(t_.keys), Selector::kKeys), (std::vector<uint32_t>{k1_, k2_}));
  EXPECT_EQ(Walk(At(t_.links), Selector::kKeys), std::vector<uint32_t>{});
  EXPECT_EQ(Walk(At(f_), Selector::kAll), std::vector<uint32_t>{});
}

// Walks of the tree (layout, export, descendants) recurse or loop along the
// child and sibling links: a load refuses links that do not form a forest.
struct TreeDamageCase {
  const char* name;
  int level;
  void (*damage)(DicoTestBuilder& b, const Table& t, uint32_t f, uint32_t g);
  const char* reason;  // part of the load status
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
  EXPECT_NE(h.LastLoadStatus().message().find(c.reason), std::string::npos)
      << h.LastLoadStatus().ToString();
  EXPECT_EQ(h.Root(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Links, ObjectTreeDamage,
    ::testing::Values(
        TreeDamageCase{"SiblingCycle", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t f, uint32_t g) {
                         b.SetWord(g, base::kNextSibling, f);
                       },
                       "object 6 is reached twice"},
        TreeDamageCase{"SelfSibling", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kNextSibling, f);
                       },
                       "object 6 is reached twice"},
        TreeDamageCase{"ChildIsAnAncestorAtLevel8", 8,
                       [](DicoTestBuilder& b, const Table& t, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kFirstChild, t.data);
                       },
                       "reached twice"},
        TreeDamageCase{"ChildIsAnAncestorAtLevel11", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kFirstChild, t.table);
                       },
                       "reached twice"},
        TreeDamageCase{"ChildSharedByTwoParents", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t f, uint32_t g) {
                         b.SetWord(f, base::kFirstChild, g);
                       },
                       "object 7 is reached twice"},
        TreeDamageCase{"DetachedLoop", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t, uint32_t) {
                         const uint32_t x = b.Add(kKey, 0, "X");
                         const uint32_t y = b.Add(kKey, x, "Y");
                         b.SetWord(y, base::kFirstChild, x);
                       },
                       "form a loop"},
        // The descendant walks climb through parents: a parent that
        // disagrees with the links sends them into another subtree.
        TreeDamageCase{"FirstChildNamesAnotherParent", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t f, uint32_t) {
                         b.SetWord(f, base::kParent, t.keys);
                       },
                       "object 6 names object 4 as its parent"},
        TreeDamageCase{"SiblingNamesAnotherParent", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t, uint32_t g) {
                         b.SetWord(g, base::kParent, t.table);
                       },
                       "as its parent but its child and sibling links place it under object 2"},
        TreeDamageCase{"ParentLoopOutsideTheTree", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t, uint32_t) {
                         const uint32_t x = b.Add(kVariable, 0, "X");
                         const uint32_t y = b.Add(kVariable, 0, "Y");
                         b.SetWord(x, base::kParent, y);
                         b.SetWord(y, base::kParent, x);
                       },
                       "parent links of object"},
        TreeDamageCase{"SelfParent", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t, uint32_t) {
                         const uint32_t x = b.Add(kVariable, 0, "X");
                         b.SetWord(x, base::kParent, x);
                       },
                       "parent links of object 9 form a loop"},
        TreeDamageCase{"DeepParentChainOutsideTheTree", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t, uint32_t) {
                         uint32_t up = b.Add(kVarStruct, 0, "");
                         for (int i = 0; i < 70; ++i) {
                           const uint32_t x = b.Add(kVarStruct, 0, "");
                           b.SetWord(x, base::kParent, up);
                           up = x;
                         }
                       },
                       "deeper than 64 levels"},
        TreeDamageCase{"IdentifierUsedTwice", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t f, uint32_t g) {
                         b.SetWord(g, base::kId, f);
                       },
                       "(DVariable) reuses identifier 6"},
        TreeDamageCase{"NestingBeyondSixtyFourLevels", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t, uint32_t) {
                         uint32_t parent = t.data;
                         for (int i = 0; i < 70; ++i) parent = b.Add(kVarStruct, parent, "");
                       },
                       "nested deeper than 64 levels"},
        // Every element of a field becomes a record field when the
        // table's fields are built.
        TreeDamageCase{"ArrayLargerThanARecord", 11,
                       [](DicoTestBuilder& b, const Table&, uint32_t f, uint32_t) {
                         b.SetHalf(f, 89, 40000);
                       },
                       "field 6 (DVariable) of 40000 elements of 4 bytes"},
        TreeDamageCase{"RepeatedStructureLargerThanARecord", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t, uint32_t) {
                         const uint32_t arr = b.Add(kVarArray, t.data, "A");
                         const uint32_t item = b.Add(kVarStructInArray, arr, "S");
                         b.SetHalf(item, 67, 300);
                         const uint32_t x = b.AddField(item, "X", 0, 0, 0, 3);
                         b.SetHalf(x, 89, 300);
                       },
                       "object 2 (DRubricTable) have more than 65536 elements"},
        TreeDamageCase{"MoreElementsThanARecordHolds", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t, uint32_t) {
                         for (int i = 0; i < 3; ++i) {
                           const uint32_t x = b.AddField(t.data, "C" + std::to_string(i), 0, 0, 0, 3);
                           b.SetHalf(x, 89, 30000);
                         }
                       },
                       "object 2 (DRubricTable) have more than 65536 elements"},
        TreeDamageCase{"KeyPartLargerThanARecord", 11,
                       [](DicoTestBuilder& b, const Table& t, uint32_t f, uint32_t) {
                         const uint32_t key = b.AddKey(t.keys, "K");
                         const uint32_t seg = b.AddSegment(key, "S", f, 0);
                         b.SetWord(seg, base::kUnitSize, 0x7FFFFFF0u);
                       },
                       "(DSegment) of 2147483632 bytes exceeds the largest record"},
        TreeDamageCase{"VeryDeepNesting", 8,
                       [](DicoTestBuilder& b, const Table& t, uint32_t, uint32_t) {
                         uint32_t parent = t.data;
                         for (int i = 0; i < 100000; ++i) parent = b.Add(kVarStruct, parent, "");
                       },
                       "element size"}),
    [](const auto& info) { return std::string(info.param.name); });

class CountriesTest : public ::testing::Test {
 protected:
  void Load(DicoTestBuilder& b) {
    obj_ = b.AddField(b.AddTable("T").data, "F", 0, 4);
    loaded_ = std::make_unique<LoadedDico>(b);
  }
  DDicoBase* Obj() { return (*loaded_)[obj_]; }
  std::pair<int, int> Bytes() {
    return {Obj()->Byte(base::kCountries), Obj()->Byte(base::kCountries + 1)};
  }
  DDicoHandler& H() { return loaded_->h; }

  uint32_t obj_ = 0;
  std::unique_ptr<LoadedDico> loaded_;
};

TEST_F(CountriesTest, EachCodeSetsItsBitAndTheFourteenthHasNone) {
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
  // A fourteenth country gets code 14 and no bit.
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

}  // namespace
}  // namespace tavelnor::dico
