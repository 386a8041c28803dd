// Order-preserving key encoding (see key_codec.h for the table).
#include "btrieve/key_codec.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "foundation/case_tables.h"

namespace tavelnor::btrieve {

namespace {

// Appends `n` bytes of `p` in reverse order (little-endian to big-endian).
void AppendReversed(std::string* out, const uint8_t* p, size_t n) {
  for (size_t i = n; i > 0; --i) out->push_back(static_cast<char>(p[i - 1]));
}

uint64_t LoadLE(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = n; i > 0; --i) v = (v << 8) | p[i - 1];
  return v;
}

void AppendBE(std::string* out, uint64_t v, size_t n) {
  for (size_t i = n; i > 0; --i) out->push_back(static_cast<char>((v >> (8 * (i - 1))) & 0xFF));
}

void EncodeFloat(std::string* out, const uint8_t* p, size_t n) {
  uint64_t bits = LoadLE(p, n);
  const uint64_t sign = uint64_t{1} << (8 * n - 1);
  if (bits == sign) bits = 0;  // -0 orders as +0
  bits = (bits & sign) ? ~bits : (bits | sign);
  AppendBE(out, bits, n);
}

// Microsoft binary format: exponent in the last byte, sign in the top bit of
// the byte before it, mantissa below.
void EncodeBfloat(std::string* out, const uint8_t* p, size_t n) {
  const uint8_t exponent = p[n - 1];
  const bool negative = (p[n - 2] & 0x80) != 0;
  const uint64_t top = uint64_t{1} << (8 * n - 1);
  uint64_t mantissa = LoadLE(p, n - 1) & ((uint64_t{1} << (8 * (n - 1) - 1)) - 1);
  uint64_t magnitude = exponent == 0 ? 0 : ((uint64_t{exponent} << (8 * (n - 1) - 1)) | mantissa);
  uint64_t v = top | magnitude;
  if (negative && exponent != 0) v = ~v;
  AppendBE(out, v, n);
}

uint8_t AsciiDigit(uint8_t c) { return c >= '0' && c <= '9' ? static_cast<uint8_t>(c - '0') : 0; }

// Appends a signed digit string: a sign byte or nibble, then the digits (9-d
// when negative). `nibbles` packs two digits a byte, the sign taking the first.
void AppendSigned(std::string* out, bool negative, const std::vector<uint8_t>& digits,
                  bool nibbles) {
  bool zero = std::all_of(digits.begin(), digits.end(), [](uint8_t d) { return d == 0; });
  if (zero) negative = false;
  std::vector<uint8_t> units;
  units.push_back(negative ? 0 : (nibbles ? 0x8 : 0x80));
  for (uint8_t d : digits) units.push_back(negative ? static_cast<uint8_t>(9 - d) : d);
  if (units.size() < 2) units.push_back(0);  // no digit at all reads as a single zero
  if (!nibbles) {
    units[1] |= units[0];  // sign bit and first digit share the first byte
    units.erase(units.begin());
    out->append(units.begin(), units.end());
    return;
  }
  for (size_t i = 0; i + 1 < units.size(); i += 2) {
    out->push_back(static_cast<char>((units[i] << 4) | units[i + 1]));
  }
}

void EncodeDecimal(std::string* out, const uint8_t* p, size_t n) {
  std::vector<uint8_t> digits;
  for (size_t i = 0; i + 1 < 2 * n; ++i) {
    uint8_t nibble = (i % 2 == 0) ? (p[i / 2] >> 4) : (p[i / 2] & 0x0F);
    digits.push_back(nibble > 9 ? 9 : nibble);
  }
  uint8_t sign = p[n - 1] & 0x0F;
  AppendSigned(out, sign == 0x0D || sign == 0x0B, digits, true);
}

void EncodeNumeric(std::string* out, const uint8_t* p, size_t n) {
  std::vector<uint8_t> digits;
  for (size_t i = 0; i + 1 < n; ++i) digits.push_back(AsciiDigit(p[i]));
  uint8_t last = p[n - 1];
  bool negative = false;
  uint8_t d = 0;
  if (last >= '0' && last <= '9') {
    d = static_cast<uint8_t>(last - '0');
  } else if (last >= 'A' && last <= 'I') {
    d = static_cast<uint8_t>(last - 'A' + 1);
  } else if (last >= 'J' && last <= 'R') {
    d = static_cast<uint8_t>(last - 'J' + 1);
    negative = true;
  } else if (last == '}') {
    negative = true;
  }
  digits.push_back(d);
  AppendSigned(out, negative, digits, false);
}

void EncodeNumericSts(std::string* out, const uint8_t* p, size_t n) {
  std::vector<uint8_t> digits{0};  // a leading zero digit makes room for the sign byte
  for (size_t i = 0; i + 1 < n; ++i) digits.push_back(AsciiDigit(p[i]));
  AppendSigned(out, p[n - 1] == '-', digits, false);
}

void EncodeText(std::string* out, const FileSpec& spec, const Segment& seg, const uint8_t* p,
                size_t count, size_t width) {
  const uint8_t* map = nullptr;
  if ((seg.flags & kKeyAlternate) && seg.acs < spec.acs.size()) map = spec.acs[seg.acs].data() + 9;
  const bool nocase = !(seg.flags & kKeyAlternate) && (seg.flags & kKeyNoCase);
  for (size_t i = 0; i < count; ++i) {
    uint8_t c = p[i];
    if (map) {
      c = map[c];
    } else if (nocase) {
      c = ToUpper1252(c);
    }
    out->push_back(static_cast<char>(c));
  }
  out->append(width - count, '\0');
}

void EncodeSegment(std::string* out, const FileSpec& spec, const Segment& seg, const uint8_t* p) {
  const size_t n = seg.length;
  const size_t start = out->size();
  switch (seg.type) {
    case kTypeInteger:
    case kTypeCurrency:
      AppendReversed(out, p, n);
      (*out)[start] = static_cast<char>((*out)[start] ^ 0x80);
      break;
    case kTypeUnsignedBinary:
    case kTypeTimestamp:
      AppendReversed(out, p, n);
      break;
    case kTypeAutoIncrement: {
      uint64_t v = LoadLE(p, n);
      const uint64_t sign = uint64_t{1} << (8 * n - 1);
      if (v & sign) v = (n == 8 ? 0 : (uint64_t{1} << (8 * n))) - v;  // two's complement magnitude
      AppendBE(out, v, n);
      break;
    }
    case kTypeFloat:
      EncodeFloat(out, p, n);
      break;
    case kTypeDecimal:
    case kTypeMoney:
      EncodeDecimal(out, p, n);
      break;
    case kTypeNumeric:
      EncodeNumeric(out, p, n);
      break;
    case kTypeNumericSts:
      EncodeNumericSts(out, p, n);
      break;
    case kTypeBfloat:
      EncodeBfloat(out, p, n);
      break;
    case kTypeDate:
      out->push_back(static_cast<char>(p[3]));
      out->push_back(static_cast<char>(p[2]));
      out->push_back(static_cast<char>(p[1]));
      out->push_back(static_cast<char>(p[0]));
      break;
    case kTypeTime:
      AppendReversed(out, p, n);
      break;
    case kTypeZstring: {
      const void* nul = std::memchr(p, 0, n);
      size_t count = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : n;
      EncodeText(out, spec, seg, p, count, n);
      break;
    }
    case kTypeLstring: {
      size_t count = p[0] < n - 1 ? p[0] : n - 1;
      EncodeText(out, spec, seg, p + 1, count, n - 1);
      out->push_back(static_cast<char>(count));
      break;
    }
    default:
      EncodeText(out, spec, seg, p, n, n);
      break;
  }
  if (seg.flags & kKeyDescending) {
    for (size_t i = start; i < out->size(); ++i) (*out)[i] = static_cast<char>(~(*out)[i]);
  }
}

}  // namespace

std::string ExtractKey(const KeyDef& key, const uint8_t* record) {
  std::string out;
  out.reserve(key.length());
  for (const Segment& seg : key.segments) {
    out.append(reinterpret_cast<const char*>(record) + seg.position - 1, seg.length);
  }
  return out;
}

bool IsNullKey(const KeyDef& key, const uint8_t* key_bytes) {
  const uint16_t flags = key.flags();
  if (!(flags & (kKeyNullAll | kKeyNullAny))) return false;
  bool any = false;
  bool all = true;
  const uint8_t* p = key_bytes;
  for (const Segment& seg : key.segments) {
    bool null = true;
    for (size_t i = 0; i < seg.length; ++i) null = null && p[i] == seg.null_byte;
    any = any || null;
    all = all && null;
    p += seg.length;
  }
  return (flags & kKeyNullAny) ? any : all;
}

std::string EncodeKey(const FileSpec& spec, const KeyDef& key, const uint8_t* key_bytes) {
  std::string out;
  out.reserve(key.length() + kDupSuffixSize);
  const uint8_t* p = key_bytes;
  for (const Segment& seg : key.segments) {
    EncodeSegment(&out, spec, seg, p);
    p += seg.length;
  }
  return out;
}

uint64_t DecodeAutoIncrement(const std::string& entry, size_t width) {
  uint64_t v = 0;
  for (size_t i = 0; i < width && i < entry.size(); ++i) {
    v = (v << 8) | static_cast<uint8_t>(entry[i]);
  }
  return v;
}

}  // namespace tavelnor::btrieve
