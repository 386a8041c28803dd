// DDicoHandler: lookups by identifier and name, string references and the
// string pool, versions, the translation path and loads that fail.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/dico_test_support.h"
#include "foundation/string_resources.h"

namespace tavelnor::dico {
namespace {

using testing::DicoTestBuilder;
using testing::MakeSampleDico;
using testing::SampleDico;
using testing::SettingsGuard;
using Bytes = std::vector<uint8_t>;

class HandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_ = MakeSampleDico();
    ASSERT_EQ(h_.LoadImage(s_.b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded)
        << h_.LastLoadStatus().ToString();
  }
  Chaine NameOf(const DDicoBase* o) { return o ? o->GetName() : Chaine("(none)"); }

  SettingsGuard guard_;
  SampleDico s_;
  DDicoHandler h_;
};

TEST_F(HandlerTest, FindByIdAnswersTheObjectOfThatIdentifier) {
  for (uint32_t id : {s_.clients.table, s_.nom, s_.key, s_.segment, s_.link}) {
    DDicoBase* o = h_.FindById(id);
    ASSERT_NE(o, nullptr) << id;
    EXPECT_EQ(o->Id(), id);
  }
  EXPECT_EQ(h_.FindById(s_.nom)->Kind(), kVariable);
  EXPECT_EQ(h_.FindById(s_.key)->Kind(), kKey);
  EXPECT_EQ(h_.FindById(0), nullptr);
  EXPECT_EQ(h_.FindById(99999), nullptr);
  EXPECT_EQ(h_.FindByKindAndId(kKey, s_.key), h_.FindById(s_.key));
  EXPECT_EQ(h_.FindByKindAndId(kLink, s_.key), nullptr);
  EXPECT_EQ(h_.Root(), h_.FindById(1));
}

TEST_F(HandlerTest, ReverseLinksTellWhoPointsAtAnObject) {
  EXPECT_EQ(h_.FindLinksTo(s_.nom), std::vector<uint32_t>{s_.segment});
  EXPECT_EQ(h_.FindLinksTo(s_.factures.table), std::vector<uint32_t>{s_.link});
  EXPECT_TRUE(h_.FindLinksTo(s_.code_field).empty());
}

struct FindTableCase {
  const char* query;
  const char* found;  // name of the table found, null for none
};

class FindTableTest : public HandlerTest, public ::testing::WithParamInterface<FindTableCase> {};

TEST_P(FindTableTest, FindsTheTableNamedBeforeTheDot) {
  const FindTableCase& c = GetParam();
  DDicoBase* t = h_.FindTable(c.query);
  if (!c.found) {
    EXPECT_EQ(t, nullptr) << "found " << NameOf(t).str();
    return;
  }
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetName().str(), c.found);
  EXPECT_EQ(t->Kind(), kRubricTable);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FindTableTest,
    ::testing::Values(FindTableCase{"Clients", "Clients"},
                      FindTableCase{"Clients.Nom", "Clients"},
                      FindTableCase{"cLIENTS.inconnu.x", "Clients"},
                      FindTableCase{"Stock", "Stock"},
                      FindTableCase{"Stock!Ancien", "Stock!Ancien"},
                      FindTableCase{"Stock!Nouveau", "Stock"},
                      FindTableCase{"stock!Nouveau!Autre.Champ", "Stock"},
                      FindTableCase{"UNNOMDETABLEPLUSLONGQUEVINGT", "UnNomDeTablePlusLongQueVingt"},
                      FindTableCase{"unnomdetableplusLONGautre", "UnNomDeTablePlusLongQueVingt"},
                      FindTableCase{"UnNomDeTablePlusLong", "UnNomDeTablePlusLongQueVingt"},
                      FindTableCase{"UnNomDeTablePlusLon", nullptr},
                      FindTableCase{"Nom", nullptr},
                      FindTableCase{"Inconnue!Stock", nullptr},
                      FindTableCase{"", nullptr},
                      FindTableCase{".Clients", nullptr}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(HandlerTest, NameGroupsKeepTablesAndFieldsApart) {
  // A table and a field both named "Code".
  DDicoBase* table = h_.FindByName(h_.Root()->Id(), 1, "code");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->Id(), s_.code.table);
  DDicoBase* field = h_.FindByName(s_.clients.table, 2, "CODE");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->Id(), s_.code_field);
  // Fields are keyed by their container, not by the root or their title node.
  EXPECT_EQ(h_.FindByName(h_.Root()->Id(), 2, "Code"), nullptr);
  EXPECT_EQ(h_.FindByName(s_.clients.data, 2, "Code"), nullptr);
  EXPECT_EQ(h_.FindByName(s_.factures.table, 2, "Code"), nullptr);
  // Group 7 (keys, links, titles) is never entered.
  EXPECT_EQ(h_.FindByName(s_.clients.table, 7, "ParNom"), nullptr);
}

TEST(HandlerStrings, ReferencesResolveToPoolBuiltinEmptyOrAbsent) {
  SettingsGuard guard;
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t builtin = b.AddField(t.data, "A", 0, 4);
  b.SetRef(builtin, base::kHeader, -14);
  b.SetRef(builtin, base::kDesc, -22);
  const uint32_t empty = b.AddField(t.data, "B", 0, 4);
  b.SetRef(empty, base::kHeader, -1);
  b.SetRef(empty, 67, -1);
  const uint32_t absent = b.AddField(t.data, "C", 0, 4);
  const uint32_t pooled = b.AddField(t.data, "D", 0, 4);
  b.SetString(pooled, base::kHeader, "En-t\xEAte");
  b.SetRef(pooled, base::kDdfName, -2);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);

  DDicoBase* o = h.FindById(builtin);
  EXPECT_EQ(o->GetHeader().str(), "Systeme");
  EXPECT_EQ(o->GetDescription().str(), "Filler");
  o = h.FindById(empty);
  ASSERT_NE(o->StringAt(base::kHeader), nullptr);
  EXPECT_EQ(o->GetHeader().str(), "");
  EXPECT_EQ(o->GetDescription().str(), "") << "the description falls back to the (empty) header";
  ASSERT_NE(static_cast<DVariable*>(o)->Formula(), nullptr);
  EXPECT_STREQ(static_cast<DVariable*>(o)->Formula(), "");
  o = h.FindById(absent);
  EXPECT_EQ(o->StringAt(base::kHeader), nullptr);
  EXPECT_EQ(o->StringAt(base::kDdfName), nullptr);
  EXPECT_EQ(static_cast<DVariable*>(o)->Formula(), nullptr);
  EXPECT_EQ(o->GetHeader().str(), "C");
  EXPECT_EQ(o->GetDescription().str(), "C");
  EXPECT_EQ(o->GetDdfName().str(), "C");
  o = h.FindById(pooled);
  EXPECT_EQ(o->GetHeader().str(), "En-t\xEAte");
  EXPECT_EQ(o->GetDescription().str(), "En-t\xEAte");
  EXPECT_EQ(o->GetDdfName().str(), "Les donn\xE9" "es");
  EXPECT_EQ(h.ResolveString(0), nullptr);
  EXPECT_STREQ(h.ResolveString(-2), "Les donn\xE9" "es");
  EXPECT_STREQ(h.ResolveString(-15), "Syst\xE8me");
}

struct BadRefCase {
  const char* name;
  uint32_t offset;  // in a DVariable image
  int32_t delta;    // added to the pool size; INT32_MIN: the value -23
};

class HandlerBadString : public ::testing::TestWithParam<BadRefCase> {};

TEST_P(HandlerBadString, ReferenceOutsideThePoolFailsTheLoad) {
  const BadRefCase& c = GetParam();
  DicoTestBuilder b;
  const uint32_t f = b.AddField(b.AddTable("T").data, "A", 0, 4);
  const auto pool = static_cast<int32_t>(b.image().pool.size());
  b.SetRef(f, c.offset, c.delta == INT32_MIN ? -23 : pool + c.delta);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(h.LastLoadStatus().code(), Status::Code::kCorrupt);
  EXPECT_EQ(h.Root(), nullptr);
  EXPECT_EQ(h.ObjectCount(), 0u);
  EXPECT_EQ(h.FindById(f), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Refs, HandlerBadString,
    ::testing::Values(BadRefCase{"NameAtPoolEnd", base::kName, 0},
                      BadRefCase{"HeaderFarBeyond", base::kHeader, 100000},
                      BadRefCase{"DescBelowBuiltins", base::kDesc, INT32_MIN},
                      BadRefCase{"FormulaBeyond", 67, 1},
                      BadRefCase{"ControlCharBeyond", 124, 0},
                      BadRefCase{"StringTableNegative", 95, INT32_MIN}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HandlerStrings, ReferencesNearThePoolEndStopThere) {
  // The last pool byte is a valid reference; an unterminated last string ends with the pool.
  DicoTestBuilder b;
  auto t = b.AddTable("T");
  const uint32_t last = b.AddField(t.data, "A", 0, 4);
  const uint32_t cut = b.AddField(t.data, "B", 0, 4);
  const int32_t at = b.Str("fin");
  b.image().pool.pop_back();  // no terminator
  b.SetRef(last, base::kHeader, static_cast<int32_t>(b.image().pool.size()) - 1);
  b.SetRef(cut, base::kHeader, at);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.FindById(last)->GetHeader().str(), "n");
  EXPECT_EQ(h.FindById(cut)->GetHeader().str(), "fin");
}

TEST(HandlerStrings, InterningFollowsThePoolRules) {
  DicoTestBuilder b;
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.Intern(""), -1);
  EXPECT_EQ(h.Intern("Systeme"), -14);
  EXPECT_EQ(h.Intern("Filler"), -22);
  EXPECT_NE(h.Intern("filler"), -22) << "built-in strings compare byte for byte";
  const int32_t a = h.Intern("Alpha");
  EXPECT_GT(a, 0);
  EXPECT_EQ(h.Intern("Alpha"), a) << "the last interned text comes back";
  const int32_t c = h.Intern("Beta");
  EXPECT_NE(c, a);
  EXPECT_STREQ(h.ResolveString(a), "Alpha");
  EXPECT_STREQ(h.ResolveString(c), "Beta");
}

TEST(HandlerStrings, InterningAPoolTextWhileThePoolGrowsKeepsTheText) {
  // Interning a text that lies in the pool itself (an object's own name) must
  // not read it after the pool has moved.
  DicoTestBuilder b;
  const std::string long_name(3000, 'N');
  const uint32_t t = b.AddTable(long_name).table;
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  for (int i = 0; i < 12; ++i) {
    const int32_t ref = h.Intern(h.FindById(t)->NameText());
    EXPECT_STREQ(h.ResolveString(ref), long_name.c_str()) << i;
    (void)h.Intern("autre" + std::to_string(i));
  }
}

struct VersionCase {
  uint32_t vs, vu, other_vs, other_vu;
  int want;
};

class HandlerCompareVersion : public ::testing::TestWithParam<VersionCase> {};

TEST_P(HandlerCompareVersion, ComparesSystemThenUserVersion) {
  const VersionCase& c = GetParam();
  auto load = [](DDicoHandler& h, uint32_t vs, uint32_t vu) {
    DicoTestBuilder b;
    b.image().header.version_system = vs;
    b.image().header.version_user = vu;
    ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  };
  DDicoHandler mine, other;
  load(mine, c.vs, c.vu);
  load(other, c.other_vs, c.other_vu);
  EXPECT_EQ(mine.CompareVersion(other), c.want);
}

INSTANTIATE_TEST_SUITE_P(Versions, HandlerCompareVersion,
                         ::testing::Values(VersionCase{5, 9, 4, 9, 1}, VersionCase{5, 0, 4, 9, 3},
                                           VersionCase{5, 2, 5, 3, -1}, VersionCase{5, 0, 5, 3, 2},
                                           VersionCase{5, 3, 5, 3, 0}, VersionCase{4, 9, 5, 0, -1},
                                           VersionCase{5, 4, 5, 3, 2},
                                           VersionCase{6, 1, 5, 3, -1}));

TEST(HandlerTranslationPath, NewExtensionTakesNewtradOthersOxatrad) {
  struct Case {
    const char* path;
    const char* want;
  };
  for (const Case& c : {Case{"x.NEW", "x.newtrad"}, Case{"x.new", "x.newtrad"},
                        Case{"x.NeW", "x.newtrad"}, Case{"x.dat", "x.oxatrad"},
                        Case{"x", "x.oxatrad"}, Case{"x.news", "x.oxatrad"},
                        Case{"/data/dicos/Compta.New", "/data/dicos/Compta.newtrad"},
                        Case{"C:\\Prog\\Oxa.dic", "C:\\Prog\\Oxa.oxatrad"},
                        Case{"C:Oxa.new", "C:Oxa.newtrad"},
                        Case{"/a.b/c", "/a.b/c.oxatrad"},
                        Case{"/dir/v1.2.new", "/dir/v1.2.newtrad"}}) {
    EXPECT_EQ(DDicoHandler::TranslationPathFor(c.path), c.want) << c.path;
  }
}

TEST(HandlerLoad, DictionaryWithoutRootFails) {
  DicoTestBuilder b;
  b.AddTable("T");
  b.image().arrays[kDico].clear();
  DDicoHandler h;
  EXPECT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(h.LastLoadStatus().code(), Status::Code::kCorrupt);
  EXPECT_EQ(h.Root(), nullptr);
  EXPECT_EQ(h.FindTable("T"), nullptr);
}

TEST(HandlerLoad, FailedLoadEmptiesAHandlerThatHeldADictionary) {
  SampleDico s = MakeSampleDico();
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(s.b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  Bytes bad = s.b.Bytes(11);
  bad.resize(bad.size() / 2);
  EXPECT_EQ(h.LoadImage(bad, kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(h.Root(), nullptr);
  EXPECT_EQ(h.FindTable("Clients"), nullptr);
  EXPECT_EQ(h.FindById(s.clients.table), nullptr);
}

}  // namespace
}  // namespace tavelnor::dico
