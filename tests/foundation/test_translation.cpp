// Translation file: lookups by dotted path, the builder, round trips through
// bytes and files, and damaged or truncated translation files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/archive_test_support.h"
#include "foundation/translation.h"

namespace tavelnor {
namespace {

struct ItemText {
  const char* section;
  const char* path;
  uint16_t lang;
  const char* text;
};

// The fixture's file: items at each depth, several languages, a section text.
constexpr ItemText kTexts[] = {
    {"OXADico", "1234", kLangFrench, "Clients"},
    {"OXADico", "1234", kLangGerman, "Kunden"},
    {"OXADico", "1234", kLangEnglish, "Customers"},
    {"OXADico", "1234.Entete", kLangFrench, "Nom du client"},
    {"OXADico", "1234.Entete.Court", kLangFrench, "Nom"},
    {"OXADico", "42", kLangFrench, "Quarante-deux"},
    {"Categories", "Ventes", kLangFrench, "Ventes"},
    {"Categories", "Ventes", kLangGerman, "Verk\xE4ufe"},
    {"Categories", "", kLangFrench, "Cat\xE9gories"},
};

class TranslationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& t : kTexts) ASSERT_TRUE(file_.Set(t.section, t.path, t.lang, t.text).ok());
  }

  static TranslationFile Reload(const TranslationFile& file) {
    auto bytes = file.Serialize();
    EXPECT_TRUE(bytes.ok()) << bytes.status().ToString();
    TranslationFile copy;
    const Status status = copy.Parse(bytes.value());
    EXPECT_TRUE(status.ok()) << status.ToString();
    return copy;
  }

  static std::vector<uint8_t> Bytes(const TranslationFile& file) {
    auto bytes = file.Serialize();
    EXPECT_TRUE(bytes.ok()) << bytes.status().ToString();
    return bytes.ok() ? bytes.value() : std::vector<uint8_t>{};
  }

  TranslationFile file_;
};

TEST_F(TranslationFileTest, FindsItemsAtEachDepth) {
  const TranslationFile reloaded = Reload(file_);
  const TranslationFile* files[] = {&file_, &reloaded};
  for (const TranslationFile* file : files) {
    for (const auto& c : kTexts) {
      SCOPED_TRACE(std::string(c.section) + "." + c.path);
      const auto item = file->Find(c.section, c.path);
      ASSERT_NE(item, nullptr);
      EXPECT_TRUE(item->Has(c.lang));
      EXPECT_EQ(item->Text(c.lang), c.text);
      const std::string full = *c.path ? std::string(c.section) + "." + c.path : c.section;
      EXPECT_EQ(file->Find(full), item);
    }
  }
}

TEST_F(TranslationFileTest, MissingPathsGiveNull) {
  const char* missing[] = {
      "OXADico.9999",      "Nowhere.1234",
      "OXADico.1234.Pied", "OXADico.1234.Entete.Court.X",
      "OXADico..1234",     ".OXADico",
      "OXADico.",          "OXADico.1234.",
      "oxadico.1234",      "",
      "OXADico.12345",     "OXADico.123",
  };
  for (const char* path : missing) {
    SCOPED_TRACE(path);
    EXPECT_EQ(file_.Find(path), nullptr);
  }
  EXPECT_EQ(file_.Find("Nowhere", ""), nullptr);
  EXPECT_EQ(file_.Section("Nowhere"), nullptr);
  EXPECT_EQ(file_.Find("OXADico", "1234").get()->Child("Pied"), nullptr);
}

TEST_F(TranslationFileTest, AbsentLanguageIsAnEmptyView) {
  const auto item = file_.Find("OXADico", "42");
  ASSERT_NE(item, nullptr);
  EXPECT_FALSE(item->Has(kLangGerman));
  EXPECT_TRUE(item->Text(kLangGerman).empty());
  // An intermediate item made by a deeper Set has no text at all.
  ASSERT_TRUE(file_.Set("OXADico", "7.Entete", kLangFrench, "x").ok());
  EXPECT_TRUE(file_.Find("OXADico.7")->Texts().empty());
  // An empty text is still a text.
  ASSERT_TRUE(file_.Set("OXADico", "42", kLangGerman, "").ok());
  EXPECT_TRUE(item->Has(kLangGerman));
}

TEST_F(TranslationFileTest, SetReplacesOneLanguageAndKeepsTheOthers) {
  ASSERT_TRUE(file_.Set("OXADico", "1234", kLangGerman, "Kundschaft").ok());
  const auto item = file_.Find("OXADico.1234");
  EXPECT_EQ(item->Text(kLangGerman), "Kundschaft");
  EXPECT_EQ(item->Text(kLangFrench), "Clients");
  ASSERT_EQ(item->Texts().size(), 3u);
  EXPECT_EQ(item->Texts()[0].first, kLangEnglish);
  EXPECT_EQ(item->Texts()[2].first, kLangGerman);
  EXPECT_EQ(item->children().size(), 1u);
}

TEST_F(TranslationFileTest, SetRefusesBadNamesAndChangesNothing) {
  const auto before = Bytes(file_);
  const std::string long_name(256, 'n');
  std::string deep = "a";
  for (int i = 1; i < kArchiveMaxDepth; ++i) deep += ".a";  // one level too many
  const struct {
    std::string section;
    std::string path;
  } cases[] = {
      {"", "1"},         {"OXA.Dico", "1"}, {long_name, "1"},       {"OXADico", "1..2"},
      {"OXADico", ".1"}, {"OXADico", "1."}, {"OXADico", long_name}, {"OXADico", "9." + long_name},
      {"OXADico", deep},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.section + " / " + c.path.substr(0, 40));
    EXPECT_EQ(file_.Set(c.section, c.path, kLangFrench, "t").code(),
              Status::Code::kInvalidArgument);
  }
  EXPECT_EQ(Bytes(file_), before);
  // The deepest allowed path is accepted and survives a round trip.
  ASSERT_TRUE(file_.Set("OXADico", deep.substr(2), kLangFrench, "deep").ok());
  EXPECT_EQ(Reload(file_).Find("OXADico", deep.substr(2))->Text(kLangFrench), "deep");
}

TEST_F(TranslationFileTest, NamesHoldingDotsAreReachedThroughChild) {
  const std::string_view names[] = {"Ventes.Export"};
  ASSERT_TRUE(file_.SetByNames("Categories", names, kLangFrench, "Export").ok());
  EXPECT_EQ(file_.Find("Categories", "Ventes.Export"), nullptr);
  const TranslationFile reloaded = Reload(file_);
  const auto item = reloaded.Section("Categories")->Child("Ventes.Export");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Text(kLangFrench), "Export");
  const std::string_view empty[] = {"Ventes", ""};
  EXPECT_EQ(file_.SetByNames("Categories", empty, kLangFrench, "x").code(),
            Status::Code::kInvalidArgument);
}

// ---------------------------------------------------------------------------
// Damaged files

TEST_F(TranslationFileTest, EveryTruncationIsCorruptAndKeepsTheContent) {
  const auto bytes = Bytes(file_);
  const auto original = Bytes(file_);
  for (size_t length = 0; length < bytes.size(); ++length) {
    SCOPED_TRACE(length);
    const Status status = file_.Parse(std::span<const uint8_t>(bytes.data(), length));
    EXPECT_EQ(status.code(), Status::Code::kCorrupt) << status.ToString();
    EXPECT_NE(status.message().find("at offset"), std::string::npos);
  }
  EXPECT_EQ(Bytes(file_), original);
}

TEST(TranslationFileIoTest, MissingFileAndUnwritablePath) {
  test::ScratchDir dir;
  TranslationFile file;
  EXPECT_EQ(file.Load(dir.File("none.newtrad")).code(), Status::Code::kNotFound);
  ASSERT_TRUE(file.Set("OXADico", "1", kLangFrench, "x").ok());
  EXPECT_EQ(file.Save(dir.File("no/such/dir.oxatrad")).code(), Status::Code::kIoError);
}

// ---------------------------------------------------------------------------
// Files larger than the read buffer

TEST(TranslationBufferTest, LargeFileLoadsAndTruncationsAtBufferEdgesFail) {
  TranslationFile file;
  for (uint32_t id = 1; id <= 20000; ++id) {
    ASSERT_TRUE(
        file.Set("OXADico", std::to_string(id), kLangFrench, "Objet " + std::to_string(id)).ok());
  }
  ASSERT_TRUE(file.Set("OXADico", "500", kLangGerman, std::string(10000, 'd')).ok());
  ASSERT_TRUE(file.Set("Categories", "Stock", kLangFrench, "Stock").ok());
  test::ScratchDir dir;
  const std::string path = dir.File("large.oxatrad");
  ASSERT_TRUE(file.Save(path).ok());

  TranslationFile loaded;
  ASSERT_TRUE(loaded.Load(path).ok());
  EXPECT_EQ(loaded.Section("OXADico")->children().size(), 20000u);
  EXPECT_EQ(loaded.Find("OXADico.19999")->Text(kLangFrench), "Objet 19999");
  EXPECT_EQ(loaded.Find("OXADico.500")->Text(kLangGerman), std::string(10000, 'd'));
  EXPECT_EQ(loaded.Find("Categories.Stock")->Text(kLangFrench), "Stock");

  auto bytes = file.Serialize();
  ASSERT_TRUE(bytes.ok());
  const size_t k = ArchiveReader::kBufferSize;
  const size_t edges[] = {k - 1, k, k + 1, 2 * k - 3, 2 * k, 2 * k + 2, bytes.value().size() - 1};
  for (size_t length : edges) {
    SCOPED_TRACE(length);
    test::WriteWholeFile(path, bytes.value(), length);
    EXPECT_EQ(loaded.Load(path).code(), Status::Code::kCorrupt);
  }
  EXPECT_EQ(loaded.Find("OXADico.19999")->Text(kLangFrench), "Objet 19999");
}

}  // namespace
}  // namespace tavelnor
