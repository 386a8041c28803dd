// The exact decimal forms of the value decoder (see ddf_values.h).
#include "ddf/ddf_exact.h"

namespace tavelnor::ddf::internal {
namespace {

using Bytes = std::span<const uint8_t>;

// ASCII digits with leading blanks; the sign comes from elsewhere.
Status AsciiDigits(std::string_view type, Bytes b, std::string* digits) {
  bool leading = true;
  for (size_t i = 0; i < b.size(); ++i) {
    if (leading && b[i] == ' ') {
      digits->push_back('0');
      continue;
    }
    leading = false;
    if (b[i] < '0' || b[i] > '9') return Bad(type, "byte " + std::to_string(b[i]) + " is not a digit");
    digits->push_back(static_cast<char>(b[i]));
  }
  return Status::Ok();
}

}  // namespace

Status Bad(std::string_view type, const std::string& why) {
  return Status::Corrupt(std::string(type) + ": " + why);
}

DdfValue Exact(std::string digits, bool negative, uint8_t scale) {
  DdfValue v;
  v.kind = ValueKind::kExact;
  v.scale = scale;
  size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) {
    negative = false;
    digits.clear();
  } else {
    digits.erase(0, first);
  }
  v.negative = negative;
  v.exact_fits = digits.size() <= 19;
  if (v.exact_fits) {
    for (char c : digits) v.u = v.u * 10 + static_cast<uint64_t>(c - '0');
  }
  if (digits.size() <= scale) digits.insert(0, scale + 1 - digits.size(), '0');
  if (negative) v.text = "-";
  v.text.append(digits, 0, digits.size() - scale);
  if (scale > 0) {
    v.text += '.';
    v.text.append(digits, digits.size() - scale, std::string::npos);
  }
  return v;
}

Result<DdfValue> DecodePacked(std::string_view type, Bytes b, uint8_t scale) {
  std::string digits;
  digits.reserve(b.size() * 2);
  for (size_t i = 0; i < b.size(); ++i) {
    const unsigned hi = b[i] >> 4, lo = b[i] & 0x0F;
    if (hi > 9) return Bad(type, "nibble " + std::to_string(hi) + " at byte " + std::to_string(i));
    digits += static_cast<char>('0' + hi);
    if (i + 1 == b.size()) {
      if (lo == 0xD || lo == 0xB) return Exact(std::move(digits), true, scale);
      if (lo >= 0xA) return Exact(std::move(digits), false, scale);
      return Bad(type, "sign nibble " + std::to_string(lo));
    }
    if (lo > 9) return Bad(type, "nibble " + std::to_string(lo) + " at byte " + std::to_string(i));
    digits += static_cast<char>('0' + lo);
  }
  return Bad(type, "no bytes");
}

Result<DdfValue> DecodeNumeric(uint8_t code, Bytes b, uint8_t scale) {
  const std::string_view type = DdfTypeName(code);
  std::string digits;
  bool negative = false;
  Bytes body = b;
  uint8_t sign_byte = 0;
  switch (code) {
    case kDdfNumeric:
    case kDdfNumericSa: {
      body = b.first(b.size() - 1);
      const uint8_t last = b.back();
      char digit = 0;
      if (last >= '0' && last <= '9') {
        digit = static_cast<char>(last);
      } else if (code == kDdfNumericSa && last >= 0x70 && last <= 0x79) {
        digit = static_cast<char>(last - 0x40), negative = true;
      } else if (code == kDdfNumeric && (last == '{' || last == '}')) {
        digit = '0', negative = last == '}';
      } else if (code == kDdfNumeric && last >= 'A' && last <= 'I') {
        digit = static_cast<char>('1' + (last - 'A'));
      } else if (code == kDdfNumeric && last >= 'J' && last <= 'R') {
        digit = static_cast<char>('1' + (last - 'J')), negative = true;
      } else {
        return Bad(type, "last byte " + std::to_string(last) + " carries no digit and sign");
      }
      if (Status s = AsciiDigits(type, body, &digits); !s.ok()) return s;
      digits += digit;
      return Exact(std::move(digits), negative, scale);
    }
    case kDdfNumericSts:
    case kDdfNumericStb:
      body = b.first(b.size() - 1), sign_byte = b.back();
      break;
    default:  // leading sign
      body = b.subspan(1), sign_byte = b.front();
      break;
  }
  const bool blank_plus = code == kDdfNumericStb || code == kDdfNumericSlb || code == kDdfNumericSts;
  if (sign_byte == '-') {
    negative = true;
  } else if (sign_byte != '+' && !(blank_plus && sign_byte == ' ')) {
    return Bad(type, "sign byte " + std::to_string(sign_byte));
  }
  if (Status s = AsciiDigits(type, body, &digits); !s.ok()) return s;
  return Exact(std::move(digits), negative, scale);
}

}  // namespace tavelnor::ddf::internal
