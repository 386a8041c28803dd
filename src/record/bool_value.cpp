// Boolean byte forms and text.
#include "record/bool_value.h"

#include "foundation/case_tables.h"
#include "foundation/locale.h"

namespace tavelnor::record {

bdBool bdBool::FromBytes(const uint8_t* bytes) {
  uint32_t v =
      bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (static_cast<uint32_t>(bytes[3]) << 24);
  return bdBool{static_cast<int32_t>(v)};
}

void bdBool::ToBytes(uint8_t* bytes) const {
  bytes[0] = value != 0 ? 1 : 0;
  bytes[1] = bytes[2] = bytes[3] = 0;
}

Chaine BoolToText(bool value) {
  const LocaleInfo& locale = CurrentLocale();
  return Chaine(value ? locale.true_word : locale.false_word);
}

bool BoolFromText(std::string_view text, bool* value) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (text.empty()) return false;
  const LocaleInfo& locale = CurrentLocale();
  for (bool result : {true, false}) {
    for (std::string_view word : result ? locale.true_words : locale.false_words) {
      if (CompareNoCase1252(text, word) == 0) {
        if (value) *value = result;
        return true;
      }
    }
  }
  return false;
}

}  // namespace tavelnor::record
