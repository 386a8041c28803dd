// Number-to-words rules per language.
#include "foundation/locale_words.h"

#include <cmath>
#include <utility>

#include "foundation/string_resources.h"

namespace tavelnor {
namespace {

// ---- French ---------------------------------------------------------------

constexpr const char* kFrUnits[20] = {"z\351ro", "un",    "deux",     "trois",    "quatre",
                                      "cinq",    "six",   "sept",     "huit",     "neuf",
                                      "dix",     "onze",  "douze",    "treize",   "quatorze",
                                      "quinze",  "seize", "dix-sept", "dix-huit", "dix-neuf"};
constexpr const char* kFrTens[10] = {
    "",          "dix",      "vingt",    "trente",       "quarante",
    "cinquante", "soixante", "soixante", "quatre-vingt", "quatre-vingt"};

// 1 to 99. `final`: nothing follows but a noun, so "quatre-vingts" takes its s.
std::string FrenchBelow100(int n, bool final) {
  if (n < 20) return kFrUnits[n];
  int tens = n / 10;
  int units = n % 10;
  if (tens == 7 || tens == 9) {
    // soixante-dix, soixante et onze, quatre-vingt-dix, quatre-vingt-onze
    std::string sep = (tens == 7 && units == 1) ? " et " : "-";
    return std::string(kFrTens[tens]) + sep + kFrUnits[10 + units];
  }
  if (units == 0) return std::string(kFrTens[tens]) + (tens == 8 && final ? "s" : "");
  if (units == 1 && tens != 8) return std::string(kFrTens[tens]) + " et un";
  return std::string(kFrTens[tens]) + "-" + kFrUnits[units];
}

// 1 to 999.
std::string FrenchBelow1000(int n, bool final) {
  int hundreds = n / 100;
  int rest = n % 100;
  std::string out;
  if (hundreds > 0) {
    if (hundreds > 1) out = std::string(kFrUnits[hundreds]) + " ";
    out += "cent";
    if (hundreds > 1 && rest == 0 && final) out += "s";
    if (rest > 0) out += " ";
  }
  if (rest > 0) out += FrenchBelow100(rest, final);
  return out;
}

std::string French(uint64_t n) {
  if (n == 0) return kFrUnits[0];
  struct Scale {
    uint64_t value;
    const char* singular;
    const char* plural;
  };
  static constexpr Scale kScales[] = {{1000000000000, "billion", "billions"},
                                      {1000000000, "milliard", "milliards"},
                                      {1000000, "million", "millions"}};
  std::string out;
  auto append = [&out](const std::string& word) {
    if (!out.empty()) out += ' ';
    out += word;
  };
  for (const Scale& s : kScales) {
    int count = static_cast<int>(n / s.value);
    n %= s.value;
    if (count > 0) append(FrenchBelow1000(count, true) + " " + (count > 1 ? s.plural : s.singular));
  }
  int thousands = static_cast<int>(n / 1000);
  n %= 1000;
  if (thousands == 1) append("mille");
  if (thousands > 1) append(FrenchBelow1000(thousands, false) + " mille");
  if (n > 0) append(FrenchBelow1000(static_cast<int>(n), true));
  return out;
}

// ---- German (Swiss spelling: ss for the sharp s) --------------------------

constexpr const char* kDeUnits[20] = {
    "null",     "eins",        "zwei",     "drei",     "vier",     "f\374nf",  "sechs",
    "sieben",   "acht",        "neun",     "zehn",     "elf",      "zw\366lf", "dreizehn",
    "vierzehn", "f\374nfzehn", "sechzehn", "siebzehn", "achtzehn", "neunzehn"};
constexpr const char* kDeTens[10] = {"",           "zehn",    "zwanzig", "dreissig", "vierzig",
                                     "f\374nfzig", "sechzig", "siebzig", "achtzig",  "neunzig"};

// 1 to 999 as one word; `alone`: a final 1 is "eins" rather than "ein".
std::string GermanBelow1000(int n, bool alone) {
  std::string out;
  int hundreds = n / 100;
  int rest = n % 100;
  if (hundreds > 0) out = std::string(hundreds == 1 ? "ein" : kDeUnits[hundreds]) + "hundert";
  if (rest == 1) {
    out += alone ? "eins" : "ein";
  } else if (rest > 0 && rest < 20) {
    out += kDeUnits[rest];
  } else if (rest >= 20) {
    int units = rest % 10;
    if (units > 0) out += std::string(units == 1 ? "ein" : kDeUnits[units]) + "und";
    out += kDeTens[rest / 10];
  }
  return out;
}

std::string German(uint64_t n) {
  if (n == 0) return kDeUnits[0];
  struct Scale {
    uint64_t value;
    const char* singular;
    const char* plural;
  };
  static constexpr Scale kScales[] = {{1000000000000, "Billion", "Billionen"},
                                      {1000000000, "Milliarde", "Milliarden"},
                                      {1000000, "Million", "Millionen"}};
  std::string out;
  for (const Scale& s : kScales) {
    int count = static_cast<int>(n / s.value);
    n %= s.value;
    if (count == 0) continue;
    if (!out.empty()) out += ' ';
    out += (count == 1 ? std::string("eine") : GermanBelow1000(count, false)) + " " +
           (count == 1 ? s.singular : s.plural);
  }
  int thousands = static_cast<int>(n / 1000);
  n %= 1000;
  std::string low;
  if (thousands > 0) low = GermanBelow1000(thousands, false) + "tausend";
  if (n > 0) low += GermanBelow1000(static_cast<int>(n), true);
  if (!low.empty()) {
    if (!out.empty()) out += ' ';
    out += low;
  }
  return out;
}

// ---- English (American usage, no "and") ----------------------------------

constexpr const char* kEnUnits[20] = {"zero",    "one",     "two",       "three",    "four",
                                      "five",    "six",     "seven",     "eight",    "nine",
                                      "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                                      "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
constexpr const char* kEnTens[10] = {"",      "ten",   "twenty",  "thirty", "forty",
                                     "fifty", "sixty", "seventy", "eighty", "ninety"};

std::string EnglishBelow1000(int n) {
  std::string out;
  int hundreds = n / 100;
  int rest = n % 100;
  if (hundreds > 0) out = std::string(kEnUnits[hundreds]) + " hundred";
  if (rest > 0 && !out.empty()) out += ' ';
  if (rest > 0 && rest < 20) out += kEnUnits[rest];
  if (rest >= 20) {
    out += kEnTens[rest / 10];
    if (rest % 10 != 0) out += std::string("-") + kEnUnits[rest % 10];
  }
  return out;
}

std::string English(uint64_t n) {
  if (n == 0) return kEnUnits[0];
  static constexpr std::pair<uint64_t, const char*> kScales[] = {{1000000000000, "trillion"},
                                                                 {1000000000, "billion"},
                                                                 {1000000, "million"},
                                                                 {1000, "thousand"},
                                                                 {1, ""}};
  std::string out;
  for (const auto& [value, name] : kScales) {
    int count = static_cast<int>(n / value);
    n %= value;
    if (count == 0) continue;
    if (!out.empty()) out += ' ';
    out += EnglishBelow1000(count);
    if (*name) out += std::string(" ") + name;
  }
  return out;
}

struct Currency {
  const char* unit;
  const char* units;
  const char* cent;
  const char* cents;
  const char* joiner;  // between the whole and the hundredths
  const char* minus;
};

}  // namespace

std::string NumberInWords(uint64_t n, uint16_t lang_id) {
  if (n > kMaxWordsNumber) return {};
  if (lang_id == kLangGerman) return German(n);
  if (lang_id == kLangEnglish) return English(n);
  return French(n);
}

std::string AmountInWords(double amount, uint16_t lang_id) {
  if (!std::isfinite(amount)) return {};
  double cents_total = std::round(std::fabs(amount) * 100.0);
  if (cents_total / 100.0 >= static_cast<double>(kMaxWordsNumber) + 1.0) return {};
  auto whole = static_cast<uint64_t>(cents_total / 100.0);
  auto cents = static_cast<int>(cents_total - static_cast<double>(whole) * 100.0);
  static constexpr Currency kFrench{"euro", "euros", "centime", "centimes", " et ", "moins "};
  static constexpr Currency kGerman{"Franken", "Franken", "Rappen", "Rappen", " und ", "minus "};
  static constexpr Currency kEnglish{"dollar", "dollars", "cent", "cents", " and ", "minus "};
  const Currency& c =
      lang_id == kLangGerman ? kGerman : (lang_id == kLangEnglish ? kEnglish : kFrench);
  bool german = lang_id == kLangGerman;
  auto words = [&](uint64_t n) {
    // German counts nouns with "ein", not the bare number "eins".
    if (german && n % 100 == 1 && n % 1000 != 11) {
      std::string w = NumberInWords(n, lang_id);
      return w.substr(0, w.size() - 1);
    }
    return NumberInWords(n, lang_id);
  };
  auto whole_part = [&]() {
    std::string w = words(whole);
    bool plural = whole >= 2 || (whole == 0 && lang_id == kLangEnglish);  // "zero dollars"
    // French: "un million d'euros", "deux milliards d'euros".
    if (!german && lang_id != kLangEnglish && whole >= 1000000 && whole % 1000000 == 0) {
      return w + " d'" + c.units;
    }
    return w + " " + (plural ? c.units : c.unit);
  };
  std::string out;
  if (whole > 0 || cents == 0) out = whole_part();
  if (cents > 0) {
    if (!out.empty()) out += c.joiner;
    out += words(static_cast<uint64_t>(cents)) + " " + (cents >= 2 ? c.cents : c.cent);
  }
  if (cents_total > 0 && amount < 0) out = c.minus + out;
  return out;
}

}  // namespace tavelnor
