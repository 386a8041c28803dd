// Dictionary compiler: the demo dictionary, the way back from a loaded
// dictionary to its source, and the Windows-1252 conversion.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/export_json.h"
#include "dico/compiler_test_support.h"
#include "dico/dico_handler.h"

namespace tavelnor::dico::compiler_test {
namespace {

nlohmann::json DemoSource() {
  const auto path = std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() /
                    "demo" / "tavelnor-demo.json";
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  return in ? nlohmann::json::parse(in) : nlohmann::json();
}

class DemoDictionary : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    auto compiled = CompileDicoSource(DemoSource());
    ASSERT_TRUE(compiled.ok()) << compiled.status().message();
    compiled_ = new CompiledDico(std::move(compiled).value());
  }
  static void TearDownTestSuite() { delete compiled_; }
  static const DicoImage& Img() { return compiled_->image; }
  static Obj Parent(const Obj& o) { return FindObject(Img(), o.U32(base::kParent)); }
  static Obj Container(Obj o) {
    while (o && !IsContainerKind(o.kind)) o = Parent(o);
    return o;
  }
  static std::string Name(const Obj& o) { return Text(Img(), o.Ref(base::kName)).value_or(""); }
  static CompiledDico* compiled_;
};
CompiledDico* DemoDictionary::compiled_ = nullptr;

TEST_F(DemoDictionary, TablesHaveRecordLayoutKeysAndAFittingPageSize) {
  ASSERT_GE(Img().Count(kRubricTable), 10u);
  int with_file_name = 0;
  for (uint32_t i = 0; i < Img().Count(kRubricTable); ++i) {
    const Obj t = ObjectAt(Img(), kRubricTable, i);
    const Obj data = FindObject(Img(), t.U32(base::kFirstChild));
    ASSERT_TRUE(data) << Name(t);
    EXPECT_EQ(data.kind, kTitleData) << Name(t);
    EXPECT_EQ(t.U32(base::kUnitSize), data.U32(base::kUnitSize)) << Name(t);
    EXPECT_GT(t.U32(base::kUnitSize), 0u) << Name(t);
    EXPECT_GT(t.Field("pagesize"), t.U32(base::kUnitSize) + 2) << Name(t);
    EXPECT_EQ(t.Field("pagesize") % 512, 0u) << Name(t);
    with_file_name += t.Field("deffilename") != 0;
  }
  EXPECT_GT(with_file_name, 0);
  EXPECT_LT(with_file_name, static_cast<int>(Img().Count(kRubricTable)));
}

TEST_F(DemoDictionary, SystemRubricIsCompleteSoLoadingAddsNothing) {
  const Obj sys = FindObject(Img(), 0x100000);
  ASSERT_TRUE(sys);
  EXPECT_EQ(sys.kind, kSystem);
  EXPECT_EQ(sys.Ref(base::kName), -14);
  EXPECT_EQ(sys.Ref(base::kHeader), -15);
  struct SystemField {
    uint32_t id;
    const char* name;
    uint8_t type;
    uint32_t size;
  };
  for (const SystemField f : {SystemField{0x100001, "Date", 4, 4},
                              {0x100002, "Heure", 5, 4},
                              {0x100003, "Page", 18, 4},
                              {0x100004, "Utilisateur", 0, 40},
                              {0x100007, "Product", 0, 60},
                              {0x100008, "Version", 0, 24}}) {
    const Obj o = FindObject(Img(), f.id);
    ASSERT_TRUE(o) << f.name;
    EXPECT_EQ(o.kind, kVarInSystem);
    EXPECT_EQ(Name(o), f.name);
    EXPECT_EQ(o.U8(o.Off("type")), f.type) << f.name;
    EXPECT_EQ(o.U32(base::kUnitSize), f.size) << f.name;
    EXPECT_EQ(o.U32(base::kParent), 0x100000u);
  }
  DDicoHandler handler;
  ASSERT_EQ(handler.LoadImage(WriteDicoImage(Img(), 11), kLoadNameIndex), LoadResult::kLoaded)
      << handler.LastLoadStatus().message();
  for (int k = 0; k < kKindCount; ++k) EXPECT_EQ(handler.Array(k).Count(), Img().Count(k)) << k;
}

TEST_F(DemoDictionary, SegmentsAndLinksPointIntoTheirTables) {
  for (int kind : {kSegment, kSubLink}) {
    ASSERT_GT(Img().Count(kind), 0u);
    for (uint32_t i = 0; i < Img().Count(kind); ++i) {
      const Obj s = ObjectAt(Img(), kind, i);
      const Obj field = FindObject(Img(), s.U32(base::kLinkedTo));
      ASSERT_TRUE(field) << Name(s);
      EXPECT_EQ(Container(field).Id(), Container(s).Id()) << Name(s);
      EXPECT_EQ(s.Field("offset"), field.Field("diskoffset")) << Name(s);
      EXPECT_EQ(s.U32(base::kUnitSize),
                field.U32(base::kUnitSize) * field.U16(field.Off("nbitems")));
    }
  }
  for (uint32_t i = 0; i < Img().Count(kLink); ++i) {
    const Obj link = ObjectAt(Img(), kLink, i);
    const Obj key = FindObject(Img(), link.Field("linkedkey"));
    ASSERT_TRUE(key) << Name(link);
    EXPECT_EQ(key.kind, kKey);
    EXPECT_EQ(Container(key).Id(), link.U32(base::kLinkedTo)) << Name(link);
    EXPECT_NE(Container(key).Id(), Container(link).Id()) << Name(link);
  }
}

TEST_F(DemoDictionary, CoversTheFieldAndKeyVariety) {
  std::set<int> types;
  int calculated = 0;
  for (int kind : {kVariable, kVarInNode, kVarInArray, kVarInPerso}) {
    for (uint32_t i = 0; i < Img().Count(kind); ++i) {
      const Obj v = ObjectAt(Img(), kind, i);
      types.insert(v.U8(v.Off("type")));
      if (v.Field("class") == 3) {
        ++calculated;
        EXPECT_TRUE(Text(Img(), v.Ref(v.Off("formula"))).has_value()) << Name(v);
      }
    }
  }
  for (int t : {0, 7, 1, 15, 18, 4, 5, 28, 29, 20, 19, 33, 35}) EXPECT_TRUE(types.count(t)) << t;
  EXPECT_GE(calculated, 3);
  EXPECT_GT(Img().Count(kVarStructInNode), 0u);
  EXPECT_GT(Img().Count(kVarArray), 0u);
  EXPECT_EQ(Img().Count(kVarInPerso), 2u);
  bool duplicates = false, multi_segment = false, no_case = false;
  for (uint32_t i = 0; i < Img().Count(kKey); ++i) {
    const Obj key = ObjectAt(Img(), kKey, i);
    duplicates |= (key.U32(base::kFlags) & 0x1) != 0;
    const Obj first = FindObject(Img(), key.U32(base::kFirstChild));
    multi_segment |= first && first.U32(base::kNextSibling) != 0;
  }
  for (uint32_t i = 0; i < Img().Count(kSegment); ++i) {
    no_case |= (ObjectAt(Img(), kSegment, i).U32(base::kFlags) & 0x400) != 0;
  }
  EXPECT_TRUE(duplicates && multi_segment && no_case);
  EXPECT_GE(Img().CategoryCount(), 4u);
  EXPECT_GE(Img().name_index.size(), 4u);
  EXPECT_TRUE(compiled_->has_translations);
}

TEST_F(DemoDictionary, ExtensionFieldsFollowTheRecord) {
  ASSERT_EQ(Img().Count(kTitleMemory), 1u);
  const Obj memory = ObjectAt(Img(), kTitleMemory, 0);
  const Obj table = Parent(memory);
  const Obj field = FindObject(Img(), memory.U32(base::kFirstChild));
  ASSERT_TRUE(field && table);
  EXPECT_EQ(field.Field("class"), 7u);
  EXPECT_EQ(field.Field("diskoffset"), table.U32(base::kUnitSize));
  EXPECT_EQ(table.Field("memorysize"), field.U32(base::kUnitSize));
}

// Source -> image -> loaded dictionary -> source -> image.
TEST(CompilerRoundTrip, LoadedDictionaryCompilesBackToTheSameBytes) {
  nlohmann::json source = DemoSource();
  // Add what the demo does not show: a detached object, an empty class text,
  // reserved words and a category tail.
  source["detached"] = nlohmann::json::parse(R"([{"isa": "Rubric", "name": "Orpheline",
      "accel": 5000, "reserved56": 7, "children": [{"isa": "TitleData", "children": [
        {"isa": "Variable", "name": "X", "formula": "", "internalsize": 2}]}]}])");
  source["categories"].push_back({{"name", "Extra"}, {"value", 3}, {"extra", "00ff"}});
  auto first = CompileDicoSource(source);
  ASSERT_TRUE(first.ok()) << first.status().message();
  const std::vector<uint8_t> bytes = WriteDicoImage(first->image, 11);

  DDicoHandler handler;
  ASSERT_EQ(handler.LoadImage(bytes, kLoadNameIndex, &first->translations), LoadResult::kLoaded);
  const nlohmann::ordered_json back = DictionaryToJson(handler);
  ASSERT_TRUE(back.contains("detached"));
  auto second = CompileDicoSource(back);
  ASSERT_TRUE(second.ok()) << second.status().message();
  EXPECT_EQ(WriteDicoImage(second->image, 11), bytes);
  auto t1 = first->translations.Serialize();
  auto t2 = second->translations.Serialize();
  ASSERT_TRUE(t1.ok() && t2.ok());
  EXPECT_EQ(*t1, *t2);
}

TEST(CompilerRoundTrip, ExportNodesBecomeSourceNodes) {
  AttrNode node;
  for (auto [k, v] : {std::pair{"isa", "Rubric"},
                      {"usertype", "1"},
                      {"accel", "3"},
                      {"name", "Syst\xE8me"},
                      {"btrflags", "0x1"},
                      {"countries", ""},
                      {"countriesexclude", "false"},
                      {"class", ""},
                      {"size", "4"},
                      {"pagesize", "1024"},
                      {"@absent", "ddfname,desc"}}) {
    node.Set(k, v);
  }
  node.children.emplace_back();
  node.children.back().Set("isa", "TitleData");
  const auto j = AttrTreeToJson(node);
  EXPECT_EQ(j.dump(), R"({"isa":"Rubric","accel":"3","name":"Système","pagesize":"1024",)"
                      R"("@absent":["ddfname","desc"],"children":[{"isa":"TitleData"}]})");
}

struct Cp1252Case {
  const char* utf8;
  const char* cp1252;
};

TEST(Cp1252, ConvertsBothWays) {
  for (const Cp1252Case c : {Cp1252Case{"Syst\u00e8me", "Syst\xE8me"},
                             {"\u20ac", "\x80"},
                             {"\u0152uvre", "\x8Cuvre"},
                             {"\u2019", "\x92"},
                             {"\u0178", "\x9F"},
                             {"\u0081", "\x81"},
                             {"\u00a0\u00ff", "\xA0\xFF"},
                             {"abc", "abc"}}) {
    auto to = Utf8ToCp1252(c.utf8);
    ASSERT_TRUE(to.ok()) << c.utf8;
    EXPECT_EQ(*to, c.cp1252);
    EXPECT_EQ(Cp1252ToUtf8(c.cp1252), c.utf8);
  }
  std::string every;
  for (int b = 1; b < 256; ++b) every.push_back(static_cast<char>(b));
  auto back = Utf8ToCp1252(Cp1252ToUtf8(every));
  ASSERT_TRUE(back.ok());
  EXPECT_EQ(*back, every);
}

TEST(Cp1252, RefusesMalformedAndUnmappableText) {
  for (const char* bad :
       {"\x80", "a\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "\xE2\x82"}) {
    auto r = Utf8ToCp1252(bad);
    ASSERT_FALSE(r.ok()) << bad;
    EXPECT_NE(r.status().message().find("malformed UTF-8"), std::string::npos);
  }
  for (const char* unmappable : {"\u0080", "\u4e2d", "\U0001F600", "\u0100"}) {
    auto r = Utf8ToCp1252(unmappable);
    ASSERT_FALSE(r.ok()) << unmappable;
    EXPECT_NE(r.status().message().find("has no Windows-1252 form"), std::string::npos);
  }
}

}  // namespace
}  // namespace tavelnor::dico::compiler_test
