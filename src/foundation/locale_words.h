// Numbers and amounts in words, in French, German (Swiss spelling) and
// English, for the amount-in-words option of the formatters.
//
// Texts are Windows-1252. Currency names follow the language's locale:
// French euros and centimes, Swiss German Franken and Rappen, English
// dollars and cents.
#pragma once

#include <cstdint>
#include <string>

namespace tavelnor {

// The largest whole number NumberInWords and AmountInWords spell out.
inline constexpr uint64_t kMaxWordsNumber = 999999999999999;

// The cardinal number `n` in words ("deux cent vingt et un", "zweihunderteinundzwanzig",
// "two hundred twenty-one"); empty above kMaxWordsNumber. Languages other
// than German and English read as French.
std::string NumberInWords(uint64_t n, uint16_t lang_id);

// An amount rounded to hundredths, with the currency names: "douze euros et
// cinquante centimes", "minus one dollar". Empty for NaN, infinities and
// magnitudes whose whole part exceeds kMaxWordsNumber.
std::string AmountInWords(double amount, uint16_t lang_id);

}  // namespace tavelnor
