// Numbers and amounts in words in the three languages.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/locale_words.h"
#include "foundation/string_resources.h"

namespace tavelnor {
namespace {

struct WordsCase {
  uint64_t n;
  uint16_t lang;
  const char* text;  // Windows-1252; empty: beyond the largest number in words
};

TEST(NumberInWordsTest, EachLanguage) {
  constexpr uint16_t F = kLangFrench, G = kLangGerman, E = kLangEnglish;
  const WordsCase cases[] = {
      {0, F, "z\351ro"}, {1, F, "un"}, {16, F, "seize"}, {17, F, "dix-sept"},
      {21, F, "vingt et un"}, {22, F, "vingt-deux"}, {71, F, "soixante et onze"},
      {77, F, "soixante-dix-sept"}, {80, F, "quatre-vingts"}, {81, F, "quatre-vingt-un"},
      {91, F, "quatre-vingt-onze"}, {101, F, "cent un"}, {200, F, "deux cents"},
      {201, F, "deux cent un"}, {280, F, "deux cent quatre-vingts"}, {1000, F, "mille"},
      {2000, F, "deux mille"}, {80000, F, "quatre-vingt mille"}, {200000, F, "deux cent mille"},
      {1000000, F, "un million"}, {200000000, F, "deux cents millions"},
      {1000000000, F, "un milliard"},
      {1234567, F, "un million deux cent trente-quatre mille cinq cent soixante-sept"},
      {999999999999999, F, "neuf cent quatre-vingt-dix-neuf billions neuf cent quatre-vingt-dix-"
                           "neuf milliards neuf cent quatre-vingt-dix-neuf millions neuf cent "
                           "quatre-vingt-dix-neuf mille neuf cent quatre-vingt-dix-neuf"},
      {0, G, "null"}, {1, G, "eins"}, {12, G, "zw\366lf"}, {21, G, "einundzwanzig"},
      {55, G, "f\374nfundf\374nfzig"}, {101, G, "einhunderteins"},
      {2021, G, "zweitausendeinundzwanzig"}, {1000000, G, "eine Million"},
      {3000001, G, "drei Millionen eins"}, {2000000000, G, "zwei Milliarden"},
      {0, E, "zero"}, {13, E, "thirteen"}, {99, E, "ninety-nine"},
      {115, E, "one hundred fifteen"}, {1000001, E, "one million one"},
      {1234567, E, "one million two hundred thirty-four thousand five hundred sixty-seven"},
      {5000000000000, E, "five trillion"}, {kMaxWordsNumber + 1, F, ""}, {UINT64_MAX, E, ""},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(NumberInWords(c.n, c.lang), c.text) << c.n;
}

struct AmountCase {
  double amount;
  uint16_t lang;
  const char* text;
};

TEST(AmountInWordsTest, CurrencyNamesAndCents) {
  const AmountCase cases[] = {
      {0.0, kLangFrench, "z\351ro euro"}, {1.0, kLangFrench, "un euro"},
      {12.5, kLangFrench, "douze euros et cinquante centimes"}, {0.01, kLangFrench, "un centime"},
      {-2.0, kLangFrench, "moins deux euros"}, {1000000.0, kLangFrench, "un million d'euros"},
      {1000001.0, kLangFrench, "un million un euros"}, {1.0, kLangGerman, "ein Franken"},
      {21.01, kLangGerman, "einundzwanzig Franken und ein Rappen"},
      {101.0, kLangGerman, "einhundertein Franken"}, {1.0, kLangEnglish, "one dollar"},
      {2.99, kLangEnglish, "two dollars and ninety-nine cents"},
      {-0.004, kLangEnglish, "zero dollars"}, {0.005, kLangEnglish, "one cent"},
      {-0.5, kLangEnglish, "minus fifty cents"},
  };
  for (const AmountCase& c : cases) {
    EXPECT_EQ(AmountInWords(c.amount, c.lang), c.text) << c.amount << " in " << c.lang;
  }
}

TEST(AmountInWordsTest, NonFiniteAndHugeAreEmpty) {
  EXPECT_EQ(AmountInWords(std::nan(""), kLangFrench), "");
  EXPECT_EQ(AmountInWords(HUGE_VAL, kLangFrench), "");
  EXPECT_EQ(AmountInWords(-1e16, kLangGerman), "");
  EXPECT_FALSE(AmountInWords(999999999999999.0, kLangEnglish).empty());
}

}  // namespace
}  // namespace tavelnor
