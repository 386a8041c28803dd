// Dictionary compiler: the level option, containers, files, and refused sources.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "dico/compiler_test_support.h"
#include "dico/dico_test_support.h"
#include "dico/gzip_stream.h"
#include "dico/pe_resource.h"
#include "foundation/translation.h"

namespace tavelnor::dico::compiler_test {
namespace {

// One object of every kind, the header words and every table of a file.
constexpr const char* kEveryKind = R"({
  "versionsystem": 3, "versionuser": 4, "lowestuserid": 77,
  "countries": ["France"], "macros": ["Compta"],
  "categories": [{"name": "Montant", "value": 9, "flag": 2, "extra": "0102"}],
  "root": {"isa": "Dico", "name": "D", "countries": "France", "macros": "Compta",
           "reserved56": 56, "altid": 60, "defextension": "dat", "children": [
    {"isa": "Rubric", "name": "T", "deffilename": "T.DAT", "versionuser": 5, "children": [
      {"isa": "TitleData", "name": "Lesdonnees", "children": [
        {"isa": "VarInNode", "name": "A", "internalsize": 4, "type": 1, "formula": "B+1",
         "min": "1", "max": "12345678"},
        {"isa": "VarStructInNode", "name": "S", "children": [
          {"isa": "Variable", "name": "V", "internalsize": 2},
          {"isa": "VarArrayInStruct", "name": "AS", "nbitems": 2, "children": [
            {"isa": "VarStructInArray", "name": "SA", "children": [
              {"isa": "Variable", "name": "W", "internalsize": 1}]}]}]},
        {"isa": "VarStruct", "name": "VS"},
        {"isa": "VarArray", "name": "VA", "nbitems": 3, "children": [
          {"isa": "VarInArray", "name": "I", "internalsize": 2}]},
        {"isa": "VarPerso", "name": "P", "internalsize": 10, "children": [
          {"isa": "VarInPerso", "name": "PP", "internalsize": 4}]}]},
      {"isa": "TitleKey", "name": "Les clefs", "children": [
        {"isa": "Key", "name": "K", "flags": "0x3", "children": [
          {"isa": "Segment", "name": "S1", "field": "A"},
          {"isa": "SegmentAttached", "name": "S2", "linkedto": "T/Lesdonnees/A"}]}]},
      {"isa": "TitleLink", "name": "Les liens", "children": [
        {"isa": "Link", "name": "L", "linkedkey": "T/Les clefs/K", "children": [
          {"isa": "SubLink", "name": "SL", "field": "A"},
          {"isa": "SubLinkAttached", "name": "SLA"}]}]},
      {"isa": "TitleMemory", "name": "Les extensions"},
      {"isa": "TitleVar", "name": "Les variables"}]},
    {"isa": "System", "name": "Systeme", "children": [
      {"isa": "VarInSystem", "name": "Date", "type": 4, "internalsize": 4}]},
    {"isa": "Struct", "name": "St"}, {"isa": "Class", "name": "Cl"},
    {"isa": "DialogBox", "name": "Dlg"}]}})";

TEST(CompilerLevels, LevelOptionOverridesTheSource) {
  auto compiled = Compile(R"({"level": 8, "root": {"isa": "Dico"}})", CompileOptions{4});
  ASSERT_TRUE(compiled.ok());
  EXPECT_EQ(compiled->image.header.level, 4);
  EXPECT_FALSE(Compile(R"({"root": {"isa": "Dico"}})", CompileOptions{12}).ok());
}

TEST(CompilerEncode, EveryKindCompilesAndContainersCarryTheSameImage) {
  auto compiled = Compile(kEveryKind);
  ASSERT_TRUE(compiled.ok()) << compiled.status().message();
  for (int k = 0; k < kKindCount; ++k) {
    EXPECT_GE(compiled->image.Count(k), 1u) << GetKindInfo(k).node_name;
  }
  EXPECT_EQ(compiled->image.header.version_system, 3u);
  EXPECT_EQ(compiled->image.header.version_user, 4u);
  EXPECT_EQ(compiled->image.lowest_user_id, 77);
  auto plain = EncodeDico(compiled->image, 11, Container::kPlain);
  auto gz = EncodeDico(compiled->image, 11, Container::kGzip);
  auto pe = EncodeDico(compiled->image, 11, Container::kPeModule);
  ASSERT_TRUE(plain.ok() && gz.ok() && pe.ok());
  EXPECT_TRUE(HasGzipMagic(*gz));
  auto inflated = GzipDecompress(*gz);
  ASSERT_TRUE(inflated.ok());
  EXPECT_EQ(*inflated, *plain);
  EXPECT_TRUE(HasModuleMark(*pe));
  auto res = FindPeResource(*pe, u"DICO", u"DICO");
  ASSERT_TRUE(res.ok()) << res.status().message();
  EXPECT_EQ(res->language, 1036);
  EXPECT_EQ(std::vector<uint8_t>(res->data.begin(), res->data.end()), *plain);
}

TEST(CompilerEncode, RefusesLevelsAndCountsTheFormatCannotHold) {
  DicoImage image;
  EXPECT_TRUE(EncodeDico(image, 0, Container::kPlain).ok());
  EXPECT_FALSE(EncodeDico(image, -1, Container::kPlain).ok());
  EXPECT_FALSE(EncodeDico(image, 12, Container::kPlain).ok());
  image.arrays[kKey].assign(size_t{65536} * GetKindInfo(kKey).image_size, 0);
  auto old = EncodeDico(image, 10, Container::kPlain);
  ASSERT_FALSE(old.ok());
  EXPECT_NE(old.status().message().find("65536 objects of kind Key"), std::string::npos);
  EXPECT_TRUE(EncodeDico(image, 11, Container::kPlain).ok());
}

class CompilerFiles : public ::testing::Test {
 protected:
  std::filesystem::path Write(const std::string& name, const std::string& text) {
    return dir_.Write(name, std::vector<uint8_t>(text.begin(), text.end()));
  }
  std::filesystem::path At(const std::string& name) { return dir_.Path(name); }
  static std::vector<uint8_t> Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  testing::TempDir dir_;
};

TEST_F(CompilerFiles, WritesTheDictionaryAndItsTranslationsBeside) {
  const auto src = Write("s.json", R"({"root": {"isa": "Dico", "accel": 5,
      // comments are allowed in source files
      "translations": {"header": {"de": "Wörterbuch"}}}})");
  ASSERT_TRUE(BuildDicoFile(src, At("demo.dic"), 0, Container::kGzip).ok());
  const auto bytes = Read(At("demo.dic"));
  ASSERT_TRUE(HasGzipMagic(bytes));
  auto inflated = GzipDecompress(bytes);
  ASSERT_TRUE(inflated.ok());
  auto image = ParseDicoImage(inflated.value());
  ASSERT_TRUE(image.ok());
  EXPECT_EQ(ObjectAt(*image, kDico, 0).Id(), 5u);
  TranslationFile t;
  ASSERT_TRUE(t.Load(At("demo.oxatrad").string()).ok());
  auto item = t.Find("OXADico", "5.header");
  ASSERT_TRUE(item);
  EXPECT_EQ(item->Text(kLangGerman), "W\xF6rterbuch");

  ASSERT_TRUE(BuildDicoFile(src, At("next.NEW"), 3, Container::kPlain).ok());
  EXPECT_TRUE(std::filesystem::exists(At("next.newtrad")));
  EXPECT_EQ(Read(At("next.NEW"))[3], 3);  // format level byte
}

TEST_F(CompilerFiles, NoTranslationFileWithoutTranslations) {
  const auto src = Write("s.json", R"({"root": {"isa": "Dico"}})");
  ASSERT_TRUE(BuildDicoFile(src, At("d.dic"), 11, Container::kPeModule).ok());
  EXPECT_TRUE(HasModuleMark(Read(At("d.dic"))));
  EXPECT_FALSE(std::filesystem::exists(At("d.oxatrad")));
}

TEST_F(CompilerFiles, ErrorsNameTheFileAndThePlace) {
  const auto syntax = Write("bad.json", "{\"root\": {\"isa\": \"Dico\",\n  \"name\": }}");
  Status s = BuildDicoFile(syntax, At("x.dic"), 0, Container::kPlain);
  EXPECT_EQ(s.code(), Status::Code::kInvalidArgument);
  EXPECT_NE(s.message().find("bad.json"), std::string::npos) << s.message();
  EXPECT_NE(s.message().find("line 2"), std::string::npos) << s.message();

  const auto source_error = Write("src.json", R"({"root": {"isa": "Dico", "pagesize": 3}})");
  s = BuildDicoFile(source_error, At("x.dic"), 0, Container::kPlain);
  EXPECT_NE(s.message().find("src.json"), std::string::npos) << s.message();
  EXPECT_FALSE(std::filesystem::exists(At("x.dic")));

  s = BuildDicoFile(At("missing.json"), At("x.dic"), 0, Container::kPlain);
  EXPECT_EQ(s.code(), Status::Code::kIoError);
  s = BuildDicoFile(source_error, At("no/such/dir/x.dic"), 0, Container::kPlain);
  EXPECT_FALSE(s.ok());
}

struct ErrorCase {
  const char* name;
  const char* source;
  const char* message;
};

class CompilerErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(CompilerErrors, GiveAClearMessage) {
  const std::string error = ErrorOf(GetParam().source);
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
}

constexpr ErrorCase kErrorCases[] = {
    {"UnknownIsa", R"({"root": {"isa": "Dico", "children": [{"isa": "Table", "name": "T"}]}})",
     "node \"/[0]\": unknown isa \"Table\""},
    {"BadNumber", R"({"root": {"isa": "Dico", "children": [{"isa": "Rubric", "name": "T",
        "internalsize": "12x"}]}})",
     "node \"/T\": attribute \"internalsize\": \"12x\" is not a number"},
    {"FloatNumber", R"({"root": {"isa": "Dico", "defprecision": 1.5}})", "not an integer"},
    {"NumberOutOfRange", R"({"root": {"isa": "Dico", "children": [{"isa": "Variable",
        "type": 256}]}})",
     "256 is out of range -128..255"},
    {"UnresolvablePath", R"({"root": {"isa": "Dico", "children": [{"isa": "Rubric",
        "name": "T", "linkedto": "T/Nope"}]}})",
     "\"/T\" has no child named \"Nope\""},
    {"AmbiguousPath", R"({"root": {"isa": "Dico", "linkedto": "A", "children": [
        {"isa": "Rubric", "name": "A"}, {"isa": "Rubric", "name": "A"}]}})",
     "two children of \"/\" are named \"A\""},
    {"CountryValueOutOfRange", R"({"nameindex": [{"name": "France", "value": 15}],
        "root": {"isa": "Dico"}})",
     "value 15 is out of range 1..14 for a country"},
    {"MacroValueOutOfRange", R"({"nameindex": [{"name": "@Paie", "value": 3}],
        "root": {"isa": "Dico"}})",
     "value 3 is out of range 15..22 for a macro"},
    {"NameIndexCodeTwice", R"({"nameindex": [{"name": "A", "value": 3}, {"name": "B",
        "value": 3}], "root": {"isa": "Dico"}})",
     "value 3 is already used"},
    {"RootNotDico", R"({"root": {"isa": "Rubric"}})", "must be isa \"Dico\""},
    {"NoRoot", R"({"level": 11})", "no \"root\""},
    {"UnknownAttribute", R"({"root": {"isa": "Dico", "children": [{"isa": "Rubric",
        "name": "T", "pagsize": 1024}]}})",
     "\"pagsize\": unknown attribute for isa \"Rubric\""},
    {"ClassFieldOfAnotherKind", R"({"root": {"isa": "Dico", "pagesize": 1024}})",
     "unknown attribute"},
    {"DuplicateId", R"({"root": {"isa": "Dico", "accel": 4, "children": [{"isa": "Rubric",
        "name": "T", "accel": 4}]}})",
     "identifier 4 is already taken by \"/\""},
    {"UnknownMember", R"({"root": {"isa": "Dico"}, "tables": []})", "unknown member"},
    {"UnmappableText", R"({"root": {"isa": "Dico", "name": "日本"}})",
     "character U+65E5 at byte 0 has no Windows-1252 form"},
    {"TextWithZero", R"({"root": {"isa": "Dico", "name": "a\u0000b"}})", "zero character"},
    {"LongMinimum", R"({"root": {"isa": "Dico", "children": [{"isa": "Variable",
        "min": "123456789"}]}})",
     "more than 8 bytes"},
    {"FieldOnAKey", R"({"root": {"isa": "Dico", "children": [{"isa": "Key",
        "field": "A"}]}})",
     "only a Segment or a SubLink"},
    {"UnknownCategoryTranslation", R"({"root": {"isa": "Dico"},
        "translations": {"Categories": {"Nope": {"de": "x"}}}})",
     "no such category"},
    {"BadLanguage", R"({"root": {"isa": "Dico", "translations": {"header": {"xx": "a"}}}})",
     "\"xx\" is not a language"},
    {"LongCategoryName", R"({"categories": [{"name": "0123456789012345678901234567890"}],
        "root": {"isa": "Dico"}})",
     "longer than 30 bytes"},
    {"BadSignature", R"({"signature": "XX", "root": {"isa": "Dico"}})", "\"D8\" or \"ED\""},
    {"LevelOutOfRange", R"({"level": 12, "root": {"isa": "Dico"}})", "out of range 0..11"},
    {"ChildrenNotAList", R"({"root": {"isa": "Dico", "children": {}}})", "is not a list"},
};

INSTANTIATE_TEST_SUITE_P(Cases, CompilerErrors, ::testing::ValuesIn(kErrorCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CompilerErrorsCaller, InvalidUtf8FromTheCallerIsRefused) {
  nlohmann::json bad_name = {{"root", {{"isa", "Dico"}, {"name", "\xFF"}}}};
  auto compiled = CompileDicoSource(bad_name);
  ASSERT_FALSE(compiled.ok());
  EXPECT_NE(compiled.status().message().find("malformed UTF-8"), std::string::npos);
  nlohmann::json bad_isa = {{"root", {{"isa", "\xFF"}}}};
  compiled = CompileDicoSource(bad_isa);
  ASSERT_FALSE(compiled.ok());
  EXPECT_NE(compiled.status().message().find("unknown isa"), std::string::npos);
}

TEST(CompilerErrorsDepth, DeepNestingIsRefused) {
  std::string source = R"({"root": )";
  for (int i = 0; i < 300; ++i) source += R"({"isa": "Dico", "children": [)";
  source += R"({"isa": "Dico"})";
  for (int i = 0; i < 300; ++i) source += "]}";
  source += "}";
  EXPECT_NE(ErrorOf(source).find("nesting deeper than"), std::string::npos);
}

}  // namespace
}  // namespace tavelnor::dico::compiler_test
