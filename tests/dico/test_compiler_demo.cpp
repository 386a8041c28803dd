// Dictionary compiler: the way back from a loaded dictionary, and the Windows-1252 conversion.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "dico/compiler/cp1252.h"
#include "dico/compiler/export_json.h"
#include "dico/compiler_test_support.h"
#include "dico/dico_handler.h"

namespace tavelnor::dico::compiler_test {
namespace {

nlohmann::json DemoSource() {
  const auto path = std::filesystem::path(TAVELNOR_SOURCE_DIR) / "demo" / "tavelnor-demo.json";
  std::ifstream in(path);
  EXPECT_TRUE(in) << path;
  return in ? nlohmann::json::parse(in) : nlohmann::json();
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

// One byte of the demo dictionary changed into another object's identifier:
// two objects share it and the walks over table "Factures" used to climb
// out of it through the wrong one, forever.
TEST(CompilerRoundTrip, DemoWithAnIdentifierGivenTwiceIsRefused) {
  auto compiled = CompileDicoSource(DemoSource());
  ASSERT_TRUE(compiled.ok()) << compiled.status().message();
  std::vector<uint8_t> bytes = WriteDicoImage(compiled->image, 11);
  DDicoHandler handler;
  ASSERT_EQ(handler.LoadImage(bytes, kLoadNameIndex), LoadResult::kLoaded);
  const DDicoBase* field = handler.FindById(40);
  ASSERT_NE(field, nullptr);
  ASSERT_NE(handler.FindById(0x7f), nullptr);
  // Its identifier, first child, next sibling and parent words, as the
  // file holds them (byte 0x2814 of the file today).
  const uint8_t* links = field->Image() + base::kId;
  auto pos = std::search(bytes.begin(), bytes.end(), links, links + 16);
  ASSERT_NE(pos, bytes.end());
  ASSERT_EQ(std::search(pos + 1, bytes.end(), links, links + 16), bytes.end());
  *pos = 0x7f;
  ASSERT_EQ(handler.LoadImage(bytes, kLoadNameIndex), LoadResult::kFailed);
  EXPECT_NE(handler.LastLoadStatus().message().find("reuses identifier 127"), std::string::npos)
      << handler.LastLoadStatus().ToString();
  EXPECT_EQ(handler.Root(), nullptr);
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
