// Derived text codes: building and splitting.
#include "record/type_codes.h"

namespace tavelnor::record {

uint16_t MakeStringTypeCode(uint16_t base, bool no_case, bool upper_case) {
  if (base > TYPE_CHAINE || !HasDerivedTextForms(base)) return base;
  if (upper_case) return static_cast<uint16_t>(base + kUpperCaseOffset);
  if (no_case) return static_cast<uint16_t>(base + kNoCaseOffset);
  return base;
}

uint16_t SplitStringTypeCode(uint16_t code, bool* no_case, bool* upper_case) {
  bool nc = false;
  bool up = false;
  uint16_t low = code & 0xFF;
  uint16_t result = code;
  if (low >= kNoCaseOffset && HasDerivedTextForms(static_cast<uint16_t>(low - kNoCaseOffset))) {
    nc = true;
    result = static_cast<uint16_t>((code & 0xFF00) | (low - kNoCaseOffset));
  } else if (low >= kUpperCaseOffset &&
             HasDerivedTextForms(static_cast<uint16_t>(low - kUpperCaseOffset))) {
    up = true;
    result = static_cast<uint16_t>((code & 0xFF00) | (low - kUpperCaseOffset));
  }
  if (no_case) *no_case = nc;
  if (upper_case) *upper_case = up;
  return result;
}

}  // namespace tavelnor::record
