// String resources: per-language lookup, fallback to French, the compiled
// tables and the TAVELNOR_LANG setting.
#include "foundation/string_resources.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/platform/process.h"

namespace tavelnor {
namespace {

class StringResources : public testing::Test {
 protected:
  void SetUp() override { saved_ = ResourceLanguage(); }
  void TearDown() override { SetResourceLanguage(saved_); }
  uint16_t saved_ = 0;
};

struct Expected {
  uint32_t id;
  const char* french;
  const char* german;
};

TEST_F(StringResources, KnownTextsInBothLanguages) {
  const Expected table[] = {
      {11952, "Syst\xE8me", "System"}, {11953, "Syst\xE8me", "System"},
      {11994, "Utilisateur", "Benutzer"}, {11996, "Page", "Seite"},
      {11997, "Heure", "Uhrzeit"},       {11998, "Date", "Datum"},
      {11999, "Version", "Version"},     {12000, "Produit", "Produkt"},
      {57344, "Tavelnor", "Tavelnor"},
  };
  for (const Expected& e : table) {
    SetResourceLanguage(kLangFrench);
    EXPECT_EQ(LoadResourceString(e.id), e.french) << e.id;
    SetResourceLanguage(kLangGerman);
    EXPECT_EQ(LoadResourceString(e.id), e.german) << e.id;
    EXPECT_EQ(LoadResourceString(e.id, kLangFrench), e.french) << e.id;
  }
}

TEST_F(StringResources, EveryFrenchNumberResolvesInGerman) {
  for (const StringResourceEntry& e : FrenchStringTable()) {
    EXPECT_FALSE(LoadResourceString(e.id, kLangGerman).empty()) << e.id;
  }
}

TEST(LanguageNames, MapToLanguageIds) {
  const std::pair<const char*, uint16_t> cases[] = {
      {"fr", kLangFrench},  {"de", kLangGerman},    {"DE", kLangGerman},
      {"de_CH", kLangGerman}, {"de-DE", kLangGerman}, {"en", kLangEnglish},
      {"en_US.UTF-8", kLangEnglish}, {"english", kLangFrench}, {"", kLangFrench},
      {"d", kLangFrench},   {"it", kLangFrench},
  };
  for (const auto& [name, id] : cases) EXPECT_EQ(LanguageFromName(name), id) << name;
}

// The variable is read at the first use in the process, so the check runs in a
// fresh copy of this test program.
TEST(LanguageFromEnvironment, ReadAtFirstUse) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const struct { const char* env; uint16_t lang; const char* page; } cases[] = {
      {"de", kLangGerman, "Seite"}, {"en", kLangEnglish, "Page"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(platform::SetEnv("TAVELNOR_LANG", c.env));
    EXPECT_EXIT(
        std::exit(ResourceLanguage() == c.lang && LoadResourceString(11996) == c.page ? 0 : 1),
        testing::ExitedWithCode(0), "")
        << c.env;
  }
  ASSERT_TRUE(platform::SetEnv("TAVELNOR_LANG", nullptr));
}

}  // namespace
}  // namespace tavelnor
