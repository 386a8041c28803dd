// Numbers and amounts in words in the three languages.
#include <gtest/gtest.h>

#include <cmath>

#include "foundation/locale_words.h"
#include "foundation/string_resources.h"

namespace tavelnor {
namespace {

struct WordsCase {
  uint64_t n;
  const char* text;  // Windows-1252
};

TEST(NumberInWordsTest, French) {
  const WordsCase cases[] = {
      {0, "z\351ro"}, {1, "un"}, {16, "seize"}, {17, "dix-sept"}, {21, "vingt et un"},
      {22, "vingt-deux"}, {70, "soixante-dix"}, {71, "soixante et onze"}, {77, "soixante-dix-sept"},
      {80, "quatre-vingts"}, {81, "quatre-vingt-un"}, {90, "quatre-vingt-dix"},
      {91, "quatre-vingt-onze"}, {99, "quatre-vingt-dix-neuf"}, {100, "cent"}, {101, "cent un"},
      {200, "deux cents"}, {201, "deux cent un"}, {280, "deux cent quatre-vingts"}, {1000, "mille"},
      {1001, "mille un"}, {2000, "deux mille"}, {80000, "quatre-vingt mille"},
      {200000, "deux cent mille"}, {1000000, "un million"}, {2000000, "deux millions"},
      {200000000, "deux cents millions"}, {1000000000, "un milliard"},
      {1234567, "un million deux cent trente-quatre mille cinq cent soixante-sept"},
      {999999999999999, "neuf cent quatre-vingt-dix-neuf billions neuf cent quatre-vingt-dix-neuf "
                        "milliards neuf cent quatre-vingt-dix-neuf millions neuf cent "
                        "quatre-vingt-dix-neuf mille neuf cent quatre-vingt-dix-neuf"},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(NumberInWords(c.n, kLangFrench), c.text) << c.n;
}

TEST(NumberInWordsTest, German) {
  const WordsCase cases[] = {
      {0, "null"}, {1, "eins"}, {12, "zw\366lf"}, {21, "einundzwanzig"}, {30, "dreissig"},
      {55, "f\374nfundf\374nfzig"}, {100, "einhundert"}, {101, "einhunderteins"},
      {1000, "eintausend"}, {2021, "zweitausendeinundzwanzig"}, {1000000, "eine Million"},
      {3000001, "drei Millionen eins"}, {2000000000, "zwei Milliarden"},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(NumberInWords(c.n, kLangGerman), c.text) << c.n;
}

TEST(NumberInWordsTest, English) {
  const WordsCase cases[] = {
      {0, "zero"}, {13, "thirteen"}, {40, "forty"}, {99, "ninety-nine"}, {100, "one hundred"},
      {115, "one hundred fifteen"}, {1000, "one thousand"}, {1000001, "one million one"},
      {1234567, "one million two hundred thirty-four thousand five hundred sixty-seven"},
      {5000000000000, "five trillion"},
  };
  for (const WordsCase& c : cases) EXPECT_EQ(NumberInWords(c.n, kLangEnglish), c.text) << c.n;
}

TEST(NumberInWordsTest, TooLargeIsEmpty) {
  EXPECT_EQ(NumberInWords(kMaxWordsNumber + 1, kLangFrench), "");
  EXPECT_EQ(NumberInWords(UINT64_MAX, kLangEnglish), "");
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
