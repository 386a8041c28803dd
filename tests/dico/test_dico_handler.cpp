// DDicoHandler: lookups by identifier and name, string references, the
// system rubric, versions, translation paths and texts, loading from files in
// each container, and what a load does to old layouts and the date setting.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "dico/attribute_export.h"
#include "dico/dico_file.h"
#include "dico/dico_handler.h"
#include "dico/dico_test_builder.h"
#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"
#include "foundation/string_resources.h"
#include "foundation/translation.h"
#include "record/date_settings.h"

namespace tavelnor::dico {
namespace {

namespace fs = std::filesystem;
using testing::DicoTestBuilder;
using Bytes = std::vector<uint8_t>;

// Keeps the process-wide language and date settings of a test to itself.
class SettingsGuard {
 public:
  SettingsGuard() : lang_(ResourceLanguage()), zero_(record::MinimumDateIsZero()) {
    SetResourceLanguage(kLangFrench);
  }
  ~SettingsGuard() {
    SetResourceLanguage(lang_);
    record::SetMinimumDateZero(zero_);
  }

 private:
  uint16_t lang_;
  bool zero_;
};

// A temporary directory of its own for each test.
class TempDir {
 public:
  TempDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = fs::temp_directory_path() / ("tavelnor-handler-" + std::to_string(std::random_device{}()) +
                                         "-" + info->name());
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  std::string Write(const std::string& name, const Bytes& bytes) const {
    const fs::path p = path_ / name;
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return p.string();
  }
  std::string Path(const std::string& name) const { return (path_ / name).string(); }

 private:
  fs::path path_;
};

// The identifiers of the sample dictionary.
struct Sample {
  DicoTestBuilder b;
  DicoTestBuilder::Table clients, factures, stock, bang, longname, code;
  uint32_t nom = 0, code_field = 0, key = 0, segment = 0, link = 0, numero = 0;
};

Sample MakeSample() {
  Sample s;
  auto& b = s.b;
  s.clients = b.AddTable("Clients");
  s.nom = b.AddField(s.clients.data, "Nom", 0, 30, 0);
  s.code_field = b.AddField(s.clients.data, "Code", 0, 8, 30);
  s.key = b.AddKey(s.clients.keys, "ParNom");
  s.segment = b.AddSegment(s.key, "Nom", s.nom, 0);
  s.factures = b.AddTable("Factures");
  s.numero = b.AddField(s.factures.data, "Numero", 2, 4, 0);
  s.link = b.AddLink(s.clients.links, "VersFactures", s.factures.table, 0);
  s.stock = b.AddTable("Stock");
  s.bang = b.AddTable("Stock!Ancien");
  s.longname = b.AddTable("UnNomDeTablePlusLongQueVingt");
  s.code = b.AddTable("Code");
  b.AddCategory("Adresse", 1, 0);
  b.AddCategory("Montants", 2, 0);
  return s;
}

class HandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s_ = MakeSample();
    ASSERT_EQ(h_.LoadImage(s_.b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded)
        << h_.LastLoadStatus().ToString();
  }
  Chaine NameOf(const DDicoBase* o) { return o ? o->GetName() : Chaine("(none)"); }

  SettingsGuard guard_;
  Sample s_;
  DDicoHandler h_;
};

// --- lookups -------------------------------------------------------------------

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
                      FindTableCase{"unnomdetableplusLONGautrechose", "UnNomDeTablePlusLongQueVingt"},
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

TEST(HandlerNameIndex, WithoutFlag1NoNameIsFound) {
  SettingsGuard guard;
  Sample s = MakeSample();
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(s.b.Bytes(11), 0), LoadResult::kLoaded);
  EXPECT_EQ(h.FindTable("Clients"), nullptr);
  EXPECT_NE(h.FindById(s.clients.table), nullptr);
}

// --- strings -------------------------------------------------------------------

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

TEST(HandlerStrings, LastPoolByteIsAValidReference) {
  DicoTestBuilder b;
  const uint32_t f = b.AddField(b.AddTable("T").data, "A", 0, 4);
  b.SetRef(f, base::kHeader, static_cast<int32_t>(b.image().pool.size()) - 1);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.FindById(f)->GetHeader().str(), "");
}

TEST(HandlerStrings, UnterminatedLastPoolStringStopsAtThePoolEnd) {
  DicoTestBuilder b;
  const uint32_t f = b.AddField(b.AddTable("T").data, "A", 0, 4);
  const int32_t at = b.Str("fin");
  b.image().pool.pop_back();  // no terminator
  b.SetRef(f, base::kHeader, at);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.FindById(f)->GetHeader().str(), "fin");
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

// --- the system rubric ---------------------------------------------------------

struct SystemFieldCase {
  const char* name;
  uint32_t id_offset;
  uint32_t type;
  uint32_t size;
  const char* french;
  const char* german;
};

constexpr SystemFieldCase kSystemFields[] = {
    {"Date", 1, 4, 4, "Date", "Datum"},
    {"Heure", 2, 5, 4, "Heure", "Uhrzeit"},
    {"Page", 3, 18, 4, "Page", "Seite"},
    {"Utilisateur", 4, 0, 40, "Utilisateur", "Benutzer"},
    {"Product", 7, 0, 60, "Produit", "Produkt"},
    {"Version", 8, 0, 24, "Version", "Version"},
};

void ExpectSystemRubric(DDicoHandler& h, bool german) {
  DDicoBase* rubric = h.FindById(kSystemIdBase);
  ASSERT_NE(rubric, nullptr);
  EXPECT_EQ(rubric->Kind(), kSystem);
  EXPECT_EQ(rubric->GetName().str(), "Systeme");
  EXPECT_EQ(rubric->GetHeader().str(), german ? "System" : "Syst\xE8me");
  EXPECT_EQ(rubric->GetDescription().str(), german ? "System" : "Syst\xE8me");
  EXPECT_EQ(rubric->GetParent(), h.Root());
  EXPECT_EQ(h.FindTable("SYSTEME"), rubric);
  const auto children = rubric->Children();
  ASSERT_EQ(children.size(), 6u);
  for (size_t i = 0; i < 6; ++i) {
    const SystemFieldCase& c = kSystemFields[i];
    const DDicoBase* f = children[i];
    EXPECT_EQ(f->Id(), kSystemIdBase + c.id_offset) << c.name;
    EXPECT_EQ(f->Kind(), kVarInSystem) << c.name;
    EXPECT_EQ(f->GetName().str(), c.name);
    EXPECT_EQ(f->TypeCode(), c.type) << c.name;
    EXPECT_EQ(f->UnitSize(), c.size) << c.name;
    EXPECT_EQ(f->GetHeader().str(), german ? c.german : c.french) << c.name;
    EXPECT_EQ(f->GetDescription().str(), german ? c.german : c.french) << c.name;
    EXPECT_EQ(h.FindByName(kSystemIdBase, 2, c.name), f) << c.name;
  }
}

TEST(HandlerSystemRubric, IsAddedWithItsSixFields) {
  SettingsGuard guard;
  DicoTestBuilder b;
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ExpectSystemRubric(h, false);
  EXPECT_EQ(h.Array(kSystem).Count(), 1u);
  EXPECT_EQ(h.Array(kVarInSystem).Count(), 6u);
}

TEST(HandlerSystemRubric, TextsComeFromTheResourcesOfTheLanguage) {
  SettingsGuard guard;
  SetResourceLanguage(kLangGerman);
  DicoTestBuilder b;
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ExpectSystemRubric(h, true);
}

TEST(HandlerSystemRubric, IsNotDuplicatedWhenPresent) {
  SettingsGuard guard;
  DicoTestBuilder b;
  const uint32_t rubric = b.AddWithId(kSystem, b.root(), "Systeme", kSystemIdBase);
  b.SetString(rubric, base::kHeader, "Syst\xE8me");
  b.SetString(rubric, base::kDesc, "Syst\xE8me");
  for (const SystemFieldCase& c : kSystemFields) {
    const uint32_t f = b.AddWithId(kVarInSystem, rubric, c.name, kSystemIdBase + c.id_offset);
    b.SetByte(f, 79, static_cast<uint8_t>(c.type));
    b.SetWord(f, base::kUnitSize, c.size);
    b.SetString(f, base::kHeader, c.french);
    b.SetString(f, base::kDesc, c.french);
  }
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ExpectSystemRubric(h, false);
  EXPECT_EQ(h.Array(kSystem).Count(), 1u);
  EXPECT_EQ(h.Array(kVarInSystem).Count(), 6u);
  // And a second load of the same handler does not add one either.
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.Array(kSystem).Count(), 1u);
  EXPECT_EQ(h.Array(kVarInSystem).Count(), 6u);
}

TEST(HandlerSystemRubric, MissingFieldsAreCompleted) {
  SettingsGuard guard;
  DicoTestBuilder b;
  const uint32_t rubric = b.AddWithId(kSystem, b.root(), "Systeme", kSystemIdBase);
  b.SetString(rubric, base::kHeader, "Syst\xE8me");
  b.SetString(rubric, base::kDesc, "Syst\xE8me");
  const uint32_t date = b.AddWithId(kVarInSystem, rubric, "Date", kSystemIdBase + 1);
  b.SetByte(date, 79, 4);
  b.SetWord(date, base::kUnitSize, 4);
  b.SetString(date, base::kHeader, "Date");
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ExpectSystemRubric(h, false);
}

// --- versions --------------------------------------------------------------------

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
                                           VersionCase{5, 4, 5, 3, 2}, VersionCase{6, 1, 5, 3, -1}));

// --- the translation path ----------------------------------------------------------

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

// --- failures ------------------------------------------------------------------------

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
  Sample s = MakeSample();
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(s.b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  Bytes bad = s.b.Bytes(11);
  bad.resize(bad.size() / 2);
  EXPECT_EQ(h.LoadImage(bad, kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(h.Root(), nullptr);
  EXPECT_EQ(h.FindTable("Clients"), nullptr);
  EXPECT_EQ(h.FindById(s.clients.table), nullptr);
}

TEST(HandlerLoad, HeaderOnlyChecksTheHeader) {
  DicoTestBuilder b;
  b.image().header.version_system = 77;
  Bytes bytes = b.Bytes(11);
  bytes.resize(12);  // nothing but the header
  DDicoHandler h;
  EXPECT_EQ(h.LoadImage(bytes, kLoadHeaderOnly), LoadResult::kHeaderChecked);
  EXPECT_EQ(h.VersionSystem(), 77u);
  EXPECT_EQ(h.Root(), nullptr);
}

// --- files -------------------------------------------------------------------------

std::string Summary(const DDicoHandler& h) {
  return RenderTree(ExportDictionary(h).root);
}

TEST(HandlerFile, PlainGzipAndModuleLoadIdentically) {
  SettingsGuard guard;
  TempDir dir;
  Sample s = MakeSample();
  const Bytes image = s.b.Bytes(11);
  const std::string plain = dir.Write("plain.dic", image);
  const std::string gz = dir.Write("packed.dic", GzipCompress(image));
  const std::string pe = dir.Write("module.dll", BuildPeModuleWithResource(u"DICO", u"DICO", 1036, image));

  DDicoHandler reference;
  ASSERT_EQ(reference.Load(plain, kLoadNameIndex), LoadResult::kLoaded);
  ASSERT_NE(reference.FindTable("Clients"), nullptr);
  const std::string want = Summary(reference);
  for (const std::string& path : {gz, pe}) {
    DDicoHandler h;
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded) << path << " "
                                                                  << h.LastLoadStatus().ToString();
    EXPECT_EQ(Summary(h), want) << path;
    EXPECT_EQ(h.ObjectCount(), reference.ObjectCount());
    EXPECT_EQ(h.GetFilePath().str(), path);
  }
}

TEST(HandlerFile, LoadingTheSamePathTwiceReusesTheOpenFile) {
  SettingsGuard guard;
  TempDir dir;
  Sample s = MakeSample();
  for (const Bytes& image : {s.b.Bytes(11), GzipCompress(s.b.Bytes(11))}) {
    const std::string path = dir.Write("twice.dic", image);
    DDicoHandler h;
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded);
    CInternalDicoFile* file = h.File();
    ASSERT_NE(file, nullptr);
    const std::string first = Summary(h);
    const size_t count = h.ObjectCount();
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded) << h.LastLoadStatus().ToString();
    EXPECT_EQ(h.File(), file);
    EXPECT_EQ(Summary(h), first);
    EXPECT_EQ(h.ObjectCount(), count);
    ASSERT_NE(h.FindTable("Clients.Nom"), nullptr);
    EXPECT_EQ(h.FindTable("Clients.Nom")->Id(), s.clients.table);
  }
}

TEST(HandlerFile, MissingFileFailsAndLeavesTheHandlerEmpty) {
  TempDir dir;
  DDicoHandler h;
  EXPECT_EQ(h.Load(dir.Path("absent.dic"), kLoadNameIndex), LoadResult::kFailed);
  EXPECT_FALSE(h.LastLoadStatus().ok());
  EXPECT_EQ(h.Root(), nullptr);
  EXPECT_EQ(h.GetFilePath().str(), "");
}

TEST(HandlerFile, ReopenForUpdateSwitchesToReadWrite) {
  TempDir dir;
  const std::string path = dir.Write("upd.dic", DicoTestBuilder().Bytes(11));
  DDicoHandler h;
  EXPECT_FALSE(h.ReopenForUpdate(true)) << "no file open";
  ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.File()->mode(), CInternalDicoFile::kModeRead);
  EXPECT_TRUE(h.ReopenForUpdate(false));
  EXPECT_EQ(h.File()->mode(), CInternalDicoFile::kModeRead);
  EXPECT_TRUE(h.ReopenForUpdate(true));
  EXPECT_EQ(h.File()->mode(), CInternalDicoFile::kModeReadWrite);
  EXPECT_EQ(fs::file_size(path), DicoTestBuilder().Bytes(11).size()) << "nothing truncated";
  h.CloseFile();
  EXPECT_EQ(h.File(), nullptr);
  EXPECT_EQ(h.GetFilePath().str(), "");
}

// --- translations --------------------------------------------------------------------

class HandlerTranslation : public ::testing::Test {
 protected:
  void SetUp() override {
    clients_ = b_.AddTable("Clients");
    b_.SetString(clients_.table, base::kHeader, "Clients");
    b_.SetString(clients_.table, base::kDesc, "Fichier des clients");
    plain_ = b_.AddTable("Sans");
    b_.SetString(plain_.table, base::kHeader, "Sans traduction");
    b_.AddCategory("Adresse", 1, 0);
    b_.AddCategory("Montants", 2, 0);
    const std::string id = std::to_string(clients_.table);
    ASSERT_TRUE(t_.Set("OXADico", id + ".header", kLangGerman, "Kunden").ok());
    ASSERT_TRUE(t_.Set("OXADico", id + ".desc", kLangGerman, "Kundendatei").ok());
    const std::string_view names[] = {"Adresse"};
    ASSERT_TRUE(t_.SetByNames("Categories", names, kLangGerman, "Anschrift").ok());
  }

  void ExpectTranslated(DDicoHandler& h) {
    DDicoBase* clients = h.FindById(clients_.table);
    ASSERT_NE(clients, nullptr);
    SetResourceLanguage(kLangGerman);
    EXPECT_EQ(clients->GetHeader().str(), "Kunden");
    EXPECT_EQ(clients->GetDescription().str(), "Kundendatei");
    EXPECT_EQ(h.FindById(plain_.table)->GetHeader().str(), "Sans traduction");
    EXPECT_EQ(h.CategoryText(h.FindCategory("Adresse")).str(), "Anschrift");
    EXPECT_EQ(h.CategoryText(h.FindCategory("Montants")).str(), "Montants");
    SetResourceLanguage(kLangFrench);
    EXPECT_EQ(clients->GetHeader().str(), "Clients");
    EXPECT_EQ(clients->GetDescription().str(), "Fichier des clients");
    EXPECT_EQ(h.CategoryText(h.FindCategory("Adresse")).str(), "Adresse");
    EXPECT_EQ(clients->GetName().str(), "Clients") << "names are never translated";
  }

  SettingsGuard guard_;
  DicoTestBuilder b_;
  DicoTestBuilder::Table clients_, plain_;
  TranslationFile t_;
};

TEST_F(HandlerTranslation, GivenTranslationsShowInTheirLanguage) {
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b_.Bytes(11), kLoadNameIndex, &t_), LoadResult::kLoaded);
  ExpectTranslated(h);
}

TEST_F(HandlerTranslation, TranslationFileBesideTheDictionaryIsRead) {
  TempDir dir;
  for (const char* name : {"Compta.dic", "Compta.NEW"}) {
    const std::string path = dir.Write(name, b_.Bytes(11));
    ASSERT_TRUE(t_.Save(DDicoHandler::TranslationPathFor(path)).ok());
    DDicoHandler h;
    ASSERT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kLoaded) << h.LastLoadStatus().ToString();
    ExpectTranslated(h);
    fs::remove(DDicoHandler::TranslationPathFor(path));
  }
}

TEST_F(HandlerTranslation, DamagedTranslationFileFailsTheLoad) {
  TempDir dir;
  const std::string path = dir.Write("Compta.dic", b_.Bytes(11));
  auto bytes = t_.Serialize();
  ASSERT_TRUE(bytes.ok());
  Bytes damaged = bytes.value();
  damaged.resize(damaged.size() / 2);
  dir.Write("Compta.oxatrad", damaged);
  DDicoHandler h;
  EXPECT_EQ(h.Load(path, kLoadNameIndex), LoadResult::kFailed);
  EXPECT_EQ(h.Root(), nullptr);
  // The header check alone does not read translations.
  EXPECT_EQ(h.Load(path, kLoadHeaderOnly), LoadResult::kHeaderChecked);
}

TEST_F(HandlerTranslation, CategoriesAreFoundOnTheirFirst30Characters) {
  b_.AddCategory("Une categorie au nom tres long", 3, 0);  // exactly 30 characters
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b_.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  ASSERT_EQ(h.CategoryCount(), 3);
  EXPECT_EQ(h.FindCategory("Adresse"), 0);
  EXPECT_EQ(h.FindCategory("Montants"), 1);
  EXPECT_EQ(h.FindCategory("Une categorie au nom tres long"), 2);
  EXPECT_EQ(h.FindCategory("Une categorie au nom tres long, vraiment"), 2);
  EXPECT_EQ(h.FindCategory("adresse"), -1) << "case-sensitive";
  EXPECT_EQ(h.FindCategory("Adress"), -1);
  EXPECT_EQ(h.GetCategory(3), nullptr);
  EXPECT_EQ(h.GetCategory(-1), nullptr);
  EXPECT_EQ(LoadLE32(h.GetCategory(1) + 31), 2u);
  EXPECT_EQ(h.CategoryName(2).str(), "Une categorie au nom tres long");
}

// --- what a load does beyond reading -------------------------------------------------------

// A table whose stored layout is stale: a 20-byte field, a user-defined area
// of 100 bytes with two 10-byte fields, then a 4-byte field.
struct StaleLayout {
  DicoTestBuilder b;
  uint32_t table = 0, first = 0, area = 0, in1 = 0, in2 = 0, last = 0;
};

StaleLayout MakeStaleLayout() {
  StaleLayout s;
  auto t = s.b.AddTable("Perso");
  s.table = t.table;
  s.first = s.b.AddField(t.data, "A", 0, 20, 99);
  s.area = s.b.AddVarPerso(t.data, "Zone", 100, 0);
  s.in1 = s.b.AddField(s.area, "P1", 0, 10, 0, 0, kVarInPerso);
  s.in2 = s.b.AddField(s.area, "P2", 0, 10, 0, 0, kVarInPerso);
  s.last = s.b.AddField(t.data, "B", 0, 4, 99);
  return s;
}

TEST(HandlerLoadLayout, LevelBelow9RecomputesTheContainerOfUserAreas) {
  StaleLayout s = MakeStaleLayout();
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(s.b.Bytes(8), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_EQ(h.FindById(s.table)->UnitSize(), 124u);
  EXPECT_EQ(h.FindById(s.first)->DiskOffset(), 0u);
  EXPECT_EQ(h.FindById(s.area)->DiskOffset(), 20u);
  EXPECT_EQ(h.FindById(s.in1)->DiskOffset(), 20u);
  EXPECT_EQ(h.FindById(s.in2)->DiskOffset(), 30u);
  EXPECT_EQ(h.FindById(s.last)->DiskOffset(), 120u);
}

TEST(HandlerLoadLayout, Level9AndLaterKeepTheStoredLayout) {
  for (int level : {9, 11}) {
    StaleLayout s = MakeStaleLayout();
    DDicoHandler h;
    ASSERT_EQ(h.LoadImage(s.b.Bytes(level), kLoadNameIndex), LoadResult::kLoaded);
    EXPECT_EQ(h.FindById(s.table)->UnitSize(), 0u) << level;
    EXPECT_EQ(h.FindById(s.first)->DiskOffset(), 99u) << level;
    EXPECT_EQ(h.FindById(s.last)->DiskOffset(), 99u) << level;
  }
}

TEST(HandlerLoadFlags, RootFlagBit0SetsTheZeroMinimumDate) {
  SettingsGuard guard;
  DicoTestBuilder with, without;
  with.SetWord(with.root(), base::kFlags, 0x11);
  without.SetWord(without.root(), base::kFlags, 0x10);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(with.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_TRUE(record::MinimumDateIsZero());
  ASSERT_EQ(h.LoadImage(without.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  EXPECT_FALSE(record::MinimumDateIsZero());
}

TEST(HandlerLoadFlags, ObjectsReadFromAFileCarryTheFileBitAndNoOwnership) {
  DicoTestBuilder b;
  const uint32_t f = b.AddField(b.AddTable("T").data, "A", 0, 4);
  b.SetString(f, 67, "1+1");
  b.SetString(f, 85, "Montants");
  b.SetWord(f, base::kInternalFlags, iflag::kOwnName | iflag::kOwnFormula | iflag::kOwnCategory |
                                         iflag::kOwnMask | 0x40);
  DDicoHandler h;
  ASSERT_EQ(h.LoadImage(b.Bytes(11), kLoadNameIndex), LoadResult::kLoaded);
  const uint32_t flags = h.FindById(f)->InternalFlags();
  EXPECT_TRUE(flags & iflag::kFromFile);
  EXPECT_FALSE(flags & (iflag::kOwnName | iflag::kOwnFormula | iflag::kOwnCategory));
  EXPECT_TRUE(flags & iflag::kOwnMask) << "the mask is absent: its bit is not touched";
  EXPECT_TRUE(flags & 0x40);
  EXPECT_TRUE(h.Root()->InternalFlags() & iflag::kFromFile);
}

}  // namespace
}  // namespace tavelnor::dico
